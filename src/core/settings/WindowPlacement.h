#pragma once

namespace trelvo {

struct WindowRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Brings a stored window onto the screen: no larger than the screen, no
// smaller than nothing, and with no edge beyond it. The stored values may be
// anything a settings file holds.
WindowRect fitToScreen(WindowRect window, WindowRect screen);

// Each channel of the pixel becomes seven eighths of the face colour and one
// eighth of itself, with no carry between channels (0x00RRGGBB on both sides).
unsigned fadeTowardsFace(unsigned pixel, unsigned face);

}  // namespace trelvo

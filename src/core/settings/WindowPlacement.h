#pragma once

#include <vector>

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

// Brings a stored window onto one of several screens (the first is the
// primary one): it is fitted to the screen it overlaps most, so that a place
// on another monitor is kept, and pulled onto the primary screen only when it
// touches none. Without screens the window stays as it is.
WindowRect placeOnScreens(WindowRect window, const std::vector<WindowRect>& screens);

// Each channel of the pixel becomes seven eighths of the face colour and one
// eighth of itself, with no carry between channels (0x00RRGGBB on both sides).
unsigned fadeTowardsFace(unsigned pixel, unsigned face);

}  // namespace trelvo

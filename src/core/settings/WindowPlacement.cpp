#include "WindowPlacement.h"

namespace trelvo {

WindowRect fitToScreen(WindowRect w, int screenWidth, int screenHeight) {
    if (w.height > screenHeight) w.height = screenHeight;
    if (w.width > screenWidth) w.width = screenWidth;
    if (w.left + w.width > screenWidth) w.left = screenWidth - w.width;
    if (w.top + w.height > screenHeight) w.top = screenHeight - w.height;
    // A window left above or left of the screen (after a change of display)
    // would keep its caption out of reach.
    if (w.left < 0) w.left = 0;
    if (w.top < 0) w.top = 0;
    return w;
}

unsigned fadeTowardsFace(unsigned pixel, unsigned face) {
    return ((face >> 1) & 0x7F7F7F) + ((face >> 2) & 0x3F3F3F) + ((face >> 3) & 0x1F1F1F) +
           ((pixel >> 3) & 0x1F1F1F);
}

}  // namespace trelvo

#include "WindowPlacement.h"

#include <algorithm>
#include <cstdint>

namespace trelvo {

namespace {

// One axis: the length cut to the screen's, then the start moved so that
// both ends lie on the screen. A window left above or left of the screen
// (after a change of display) would keep its caption out of reach. In 64
// bits, where no sum of two ints can overflow.
void fitSpan(int& start, int& length, int screenStart, int screenLength) {
    const std::int64_t room = std::max(screenLength, 0);
    const std::int64_t fitted = std::clamp<std::int64_t>(length, 0, room);
    const std::int64_t first = screenStart;
    start = static_cast<int>(std::clamp<std::int64_t>(start, first, first + room - fitted));
    length = static_cast<int>(fitted);
}

}  // namespace

WindowRect fitToScreen(WindowRect w, WindowRect screen) {
    fitSpan(w.left, w.width, screen.left, screen.width);
    fitSpan(w.top, w.height, screen.top, screen.height);
    return w;
}

unsigned fadeTowardsFace(unsigned pixel, unsigned face) {
    return ((face >> 1) & 0x7F7F7F) + ((face >> 2) & 0x3F3F3F) + ((face >> 3) & 0x1F1F1F) +
           ((pixel >> 3) & 0x1F1F1F);
}

}  // namespace trelvo

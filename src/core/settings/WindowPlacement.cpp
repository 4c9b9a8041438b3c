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

// The length the spans [start, start + length) and [otherStart, otherStart
// + otherLength) share, in 64 bits; negative lengths count as empty.
std::int64_t overlap(int start, int length, int otherStart, int otherLength) {
    const std::int64_t first = std::max<std::int64_t>(start, otherStart);
    const std::int64_t last = std::min(std::int64_t{start} + std::max(length, 0),
                                       std::int64_t{otherStart} + std::max(otherLength, 0));
    return std::max<std::int64_t>(0, last - first);
}

}  // namespace

WindowRect placeOnScreens(WindowRect window, const std::vector<WindowRect>& screens) {
    if (screens.empty()) return window;
    const WindowRect* holder = &screens.front();
    std::int64_t most = 0;
    for (const WindowRect& screen : screens) {
        const std::int64_t area = overlap(window.left, window.width, screen.left, screen.width) *
                                  overlap(window.top, window.height, screen.top, screen.height);
        if (area > most) {
            most = area;
            holder = &screen;
        }
    }
    return fitToScreen(window, *holder);
}

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

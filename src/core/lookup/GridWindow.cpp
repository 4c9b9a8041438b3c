#include "GridWindow.h"

#include <algorithm>
#include <cstdint>

namespace trelvo {

bool GridWindow::refill(std::size_t currentPosition, std::size_t entryCount, int cursorRow, int topRowBefore,
                        Placement& placement) {
    const auto position = static_cast<std::int64_t>(currentPosition);
    if (!stale_ && static_cast<std::int64_t>(first_) + 50 <= position &&
        position <= static_cast<std::int64_t>(last_) - 50)
        return false;
    const std::size_t first = static_cast<std::size_t>(std::max<std::int64_t>(0, position - 100));
    const std::size_t last = std::min(first + rows, entryCount);
    // A window that already reaches the start or the end of the index stays.
    if (!stale_ && (first == first_ || last == last_)) return false;

    const int offset = std::max(0, cursorRow - topRowBefore);
    placement.cursorRow = static_cast<int>(currentPosition - first);
    placement.topRow = std::max(0, placement.cursorRow - offset);
    first_ = first;
    last_ = last;
    stale_ = false;
    return true;
}

}  // namespace trelvo

#pragma once

#include <cstddef>

namespace trelvo {

// The 200 grid rows as a window over the source index: positions first to
// last - 1 are loaded. The window moves only when the cursor comes within 50
// rows of an edge, and then puts the cursor about 100 rows from its start.
class GridWindow {
public:
    static constexpr int rows = 200;

    // Stale is a state of its own, so that no real window (of a dictionary
    // of any size) can be mistaken for it.
    bool stale() const { return stale_; }
    void markStale() { stale_ = true; }
    std::size_t first() const { return first_; }
    std::size_t last() const { return last_; }

    struct Placement {
        int cursorRow;
        int topRow;
    };

    // Moves the window around currentPosition when needed. Returns false when
    // the window stays; otherwise the caller loads the rows first()..last()-1
    // and puts the cursor and the top row where placement says, keeping the
    // cursor's distance from the top visible row.
    bool refill(std::size_t currentPosition, std::size_t entryCount, int cursorRow, int topRowBefore,
                Placement& placement);

private:
    bool stale_ = true;
    std::size_t first_ = 0;
    std::size_t last_ = 0;
};

}  // namespace trelvo

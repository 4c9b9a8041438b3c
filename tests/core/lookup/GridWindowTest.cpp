#include <gtest/gtest.h>

#include "core/lookup/GridWindow.h"

using trelvo::GridWindow;

namespace {

// Moves the cursor one row down at a time, as the arrow key does, and
// reports every reload.
struct Walker {
    GridWindow window;
    std::size_t entries;
    std::size_t position = 0;
    int cursorRow = 0;
    int topRow = 0;
    std::vector<std::size_t> reloadsAt;

    explicit Walker(std::size_t count, std::size_t start = 0) : entries(count), position(start) {
        GridWindow::Placement p{};
        window.refill(position, entries, 0, 0, p);
        cursorRow = p.cursorRow;
        topRow = p.topRow;
    }

    void down() {
        position = window.first() + static_cast<std::size_t>(cursorRow) + 1;
        GridWindow::Placement p{};
        // The grid asks while its cursor is still on the old row.
        if (window.refill(position, entries, cursorRow, topRow, p)) {
            reloadsAt.push_back(position);
            cursorRow = p.cursorRow;
            topRow = p.topRow;
        } else {
            ++cursorRow;
            if (cursorRow - topRow > 15) ++topRow;  // a grid of about 16 visible rows scrolls
        }
    }
};

}  // namespace

TEST(GridWindow, SteppingDownReloadsFirstAtPosition151) {
    Walker w(1000);
    EXPECT_EQ(w.window.first(), 0u);
    EXPECT_EQ(w.window.last(), 200u);
    while (w.position < 151) w.down();
    ASSERT_EQ(w.reloadsAt, std::vector<std::size_t>{151});
    EXPECT_EQ(w.window.first(), 51u);
    EXPECT_EQ(w.window.last(), 251u);
    EXPECT_EQ(w.cursorRow, 100);
    EXPECT_EQ(w.window.first() + static_cast<std::size_t>(w.cursorRow), 151u) << "same entry under the cursor";
    EXPECT_EQ(w.cursorRow - w.topRow, 15) << "the cursor keeps its distance from the top row";
    // On to the end: the window never passes the last entry.
    while (w.position < 999) w.down();
    EXPECT_EQ(w.window.last(), 1000u);
    EXPECT_EQ(w.window.first() + static_cast<std::size_t>(w.cursorRow), 999u);
}

TEST(GridWindow, TheSameWalkFarIntoALargeDictionary) {
    // The window 100000 ... 100199 is a real one, not a marker of staleness.
    Walker w(300'000, 100'100);
    EXPECT_EQ(w.window.first(), 100'000u);
    EXPECT_EQ(w.window.last(), 100'200u);
    EXPECT_EQ(w.cursorRow, 100);
    while (w.position < 100'300) {
        w.down();
        ASSERT_EQ(w.window.first() + static_cast<std::size_t>(w.cursorRow), w.position);
    }
    // Reloads come every 51 rows.
    EXPECT_EQ(w.reloadsAt, (std::vector<std::size_t>{100'151, 100'202, 100'253}));
    EXPECT_FALSE(w.window.stale());
}

TEST(GridWindow, EndAndHomeLoadTheEdgesOfTheIndex) {
    GridWindow window;
    GridWindow::Placement p{};
    ASSERT_TRUE(window.refill(0, 1000, 0, 0, p));
    ASSERT_TRUE(window.refill(999, 1000, 0, 0, p));
    EXPECT_EQ(window.first(), 899u);
    EXPECT_EQ(window.last(), 1000u);
    EXPECT_EQ(p.cursorRow, 100);
    // Already at the end: End again leaves the window.
    EXPECT_FALSE(window.refill(999, 1000, 100, 90, p));
    ASSERT_TRUE(window.refill(0, 1000, 100, 90, p));
    EXPECT_EQ(window.first(), 0u);
    EXPECT_EQ(p.cursorRow, 0);
    EXPECT_EQ(p.topRow, 0);
}

TEST(GridWindow, SmallDictionariesAndStaleWindows) {
    GridWindow window;
    GridWindow::Placement p{};
    ASSERT_TRUE(window.refill(0, 150, 0, 0, p));
    EXPECT_EQ(window.last(), 150u);
    EXPECT_FALSE(window.refill(149, 150, 149, 140, p)) << "the window holds the whole index";
    window.markStale();
    EXPECT_TRUE(window.refill(149, 150, 149, 140, p)) << "a stale window is always reloaded";
    EXPECT_EQ(window.first(), 49u);
    EXPECT_EQ(p.cursorRow, 100);
    EXPECT_EQ(p.topRow, 91);
    GridWindow empty;
    ASSERT_TRUE(empty.refill(0, 0, 0, 0, p));
    EXPECT_EQ(empty.last(), 0u);
}

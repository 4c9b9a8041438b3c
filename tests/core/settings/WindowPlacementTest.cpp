#include <gtest/gtest.h>

#include <climits>

#include "core/settings/WindowPlacement.h"

using trelvo::fadeTowardsFace;
using trelvo::fitToScreen;
using trelvo::WindowRect;

namespace {

bool same(WindowRect a, WindowRect b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

}  // namespace

TEST(WindowPlacement, WindowsAreBroughtOntoTheScreen) {
    EXPECT_TRUE(same(fitToScreen({10, 20, 626, 373}, {0, 0, 1024, 768}), {10, 20, 626, 373}));
    EXPECT_TRUE(same(fitToScreen({300, 200, 2000, 1500}, {0, 0, 1024, 768}), {0, 0, 1024, 768}));
    EXPECT_TRUE(same(fitToScreen({900, 700, 626, 373}, {0, 0, 1024, 768}), {1024 - 626, 768 - 373, 626, 373}));
    EXPECT_TRUE(same(fitToScreen({-300, -50, 626, 373}, {0, 0, 1024, 768}), {0, 0, 626, 373}));
    // A window exactly as large as the screen stays where the screen begins.
    EXPECT_TRUE(same(fitToScreen({5, 5, 1024, 768}, {0, 0, 1024, 768}), {0, 0, 1024, 768}));
}

TEST(WindowPlacement, ExtremeStoredValuesStillGiveAWindowOnTheScreen) {
    // Far right: left + width would pass INT_MAX.
    EXPECT_TRUE(same(fitToScreen({0x7FFFFD90, 20, 626, 373}, {0, 0, 1024, 768}), {1024 - 626, 20, 626, 373}));
    EXPECT_TRUE(same(fitToScreen({INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {0, 0, 1024, 768}), {0, 0, 1024, 768}));
    EXPECT_TRUE(same(fitToScreen({INT_MIN, INT_MIN, 626, 373}, {0, 0, 1024, 768}), {0, 0, 626, 373}));
    EXPECT_TRUE(same(fitToScreen({INT_MAX - 1, INT_MIN + 1, 1, 1}, {0, 0, 1024, 768}), {1023, 0, 1, 1}));
    // A size below nothing gives nothing, not a window reaching off the screen.
    EXPECT_TRUE(same(fitToScreen({10, 20, INT_MIN, -5}, {0, 0, 1024, 768}), {10, 20, 0, 0}));
    for (int left : {INT_MIN, INT_MIN + 1, -1, 0, INT_MAX - 700, INT_MAX})
        for (int width : {INT_MIN, -1, 0, 700, INT_MAX}) {
            WindowRect w = fitToScreen({left, 0, width, 100}, {0, 0, 1024, 768});
            EXPECT_GE(w.left, 0);
            EXPECT_GE(w.width, 0);
            EXPECT_LE(static_cast<long long>(w.left) + w.width, 1024) << left << " " << width;
        }
}

TEST(WindowPlacement, AScreenAwayFromTheOriginIsFilledLikeAnother) {
    const WindowRect left{-1280, -200, 1280, 1024};
    EXPECT_TRUE(same(fitToScreen({-900, -100, 626, 373}, left), {-900, -100, 626, 373}));
    EXPECT_TRUE(same(fitToScreen({100, 900, 626, 373}, left), {-626, 1024 - 200 - 373, 626, 373}));
    EXPECT_TRUE(same(fitToScreen({INT_MIN, INT_MAX, INT_MAX, 10}, left), {-1280, 1024 - 200 - 10, 1280, 10}));
    const WindowRect right{1024, 0, 800, 600};
    EXPECT_TRUE(same(fitToScreen({INT_MIN + 5, INT_MIN, 626, 373}, right), {1024, 0, 626, 373}));
}

TEST(WindowPlacement, FadeKeepsSevenEighthsOfTheFaceInEveryChannel) {
    const unsigned face = 0xF0F0F0;
    EXPECT_EQ(fadeTowardsFace(0x000000, face), 0xD2D2D2u);  // 120 + 60 + 30
    EXPECT_EQ(fadeTowardsFace(0xFFFFFF, face), 0xF1F1F1u);  // + 31
    // Channels do not carry into each other, whatever the bytes.
    EXPECT_EQ(fadeTowardsFace(0xFF0000, 0x00FF00), 0x1FDD00u);
    for (unsigned p : {0x123456u, 0xFFFFFFu, 0x80FF01u})
        for (unsigned f : {0xFFFFFFu, 0x000000u, 0xD4D0C8u})
            for (int shift : {0, 8, 16}) {
                unsigned channel = (fadeTowardsFace(p, f) >> shift) & 0xFF;
                unsigned fc = (f >> shift) & 0xFF, pc = (p >> shift) & 0xFF;
                EXPECT_EQ(channel, (fc >> 1) + (fc >> 2) + (fc >> 3) + (pc >> 3));
            }
}

TEST(WindowPlacement, AWindowStaysOnTheMonitorThatHoldsIt) {
    const std::vector<WindowRect> screens{{0, 0, 1024, 768}, {1024, -200, 1920, 1080}};
    // Wholly on the second monitor, which starts above the first: kept.
    EXPECT_TRUE(same(trelvo::placeOnScreens({1500, -150, 800, 600}, screens), {1500, -150, 800, 600}));
    // Mostly on the second and over its edge: fitted to the second, not to the primary.
    EXPECT_TRUE(same(trelvo::placeOnScreens({2600, 100, 800, 600}, screens), {2944 - 800, 100, 800, 600}));
    // Larger than the second monitor: as large as it.
    EXPECT_TRUE(same(trelvo::placeOnScreens({1100, 0, 3000, 2000}, screens), {1024, -200, 1920, 1080}));
    // On no screen (a monitor taken away): back onto the primary one.
    EXPECT_TRUE(same(trelvo::placeOnScreens({5000, 3000, 640, 400}, screens), {1024 - 640, 768 - 400, 640, 400}));
    EXPECT_TRUE(same(trelvo::placeOnScreens({INT_MIN, INT_MAX, INT_MAX, -5}, screens), {0, 768, 1024, 0}));
    EXPECT_TRUE(same(trelvo::placeOnScreens({1, 2, 3, 4}, {}), {1, 2, 3, 4}));
}

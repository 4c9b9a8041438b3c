#include <gtest/gtest.h>

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
    EXPECT_TRUE(same(fitToScreen({10, 20, 626, 373}, 1024, 768), {10, 20, 626, 373}));
    EXPECT_TRUE(same(fitToScreen({300, 200, 2000, 1500}, 1024, 768), {0, 0, 1024, 768}));
    EXPECT_TRUE(same(fitToScreen({900, 700, 626, 373}, 1024, 768), {1024 - 626, 768 - 373, 626, 373}));
    EXPECT_TRUE(same(fitToScreen({-300, -50, 626, 373}, 1024, 768), {0, 0, 626, 373}));
    // A window exactly as large as the screen stays where the screen begins.
    EXPECT_TRUE(same(fitToScreen({5, 5, 1024, 768}, 1024, 768), {0, 0, 1024, 768}));
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

#include <gtest/gtest.h>

#include "core/settings/ProgramPaths.h"

using trelvo::dayNumber;
using trelvo::joinPath;

TEST(ProgramPaths, JoinPathAddsOneSeparatorAndKeepsAbsoluteNames) {
    EXPECT_EQ(joinPath("/opt/trelvo", "upchar.dat"), "/opt/trelvo/upchar.dat");
    EXPECT_EQ(joinPath("/opt/trelvo/", "DSL"), "/opt/trelvo/DSL");
    EXPECT_EQ(joinPath("/opt/trelvo/", "/home/x/download.dsl"), "/home/x/download.dsl");
    EXPECT_EQ(joinPath("", "net.ini"), "/net.ini");
}

TEST(ProgramPaths, DayNumberCountsEveryMonthAs31Days) {
    EXPECT_EQ(dayNumber(2026, 1, 1), 2026 * 372);
    EXPECT_EQ(dayNumber(2026, 12, 8), 2026 * 372 + 11 * 31 + 7);
    // 28 February and 1 March are four day numbers apart.
    EXPECT_EQ(dayNumber(2026, 3, 1) - dayNumber(2026, 2, 28), 4);
    EXPECT_EQ(dayNumber(2027, 1, 1) - dayNumber(2026, 12, 31), 1);
}

TEST(ProgramPaths, ExecutableFolderEndsInASlash) {
    std::string folder = trelvo::executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder.front(), '/');
}

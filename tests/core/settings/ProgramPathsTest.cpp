#include <gtest/gtest.h>

#include <climits>

#include "core/settings/ProgramPaths.h"

using trelvo::dayNumber;
using trelvo::joinPath;
using trelvo::updateReminderDue;

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

TEST(ProgramPaths, ReminderIsDueAfterMoreThan186DaysEitherWay) {
    const int today = dayNumber(2026, 12, 8);
    EXPECT_FALSE(updateReminderDue(today, today));
    EXPECT_FALSE(updateReminderDue(today, today - 186));
    EXPECT_TRUE(updateReminderDue(today, today - 187));
    EXPECT_FALSE(updateReminderDue(today, today + 186));
    EXPECT_TRUE(updateReminderDue(today, today + 187));
    // Any stored day: the difference may not fit an int.
    EXPECT_TRUE(updateReminderDue(today, INT_MIN));
    EXPECT_TRUE(updateReminderDue(today, INT_MAX));
    EXPECT_TRUE(updateReminderDue(INT_MAX, INT_MIN));
    EXPECT_TRUE(updateReminderDue(INT_MIN, INT_MAX));
    EXPECT_TRUE(updateReminderDue(INT_MIN + 186, INT_MAX - 186));
    EXPECT_FALSE(updateReminderDue(INT_MAX, INT_MAX - 186));
    EXPECT_FALSE(updateReminderDue(INT_MIN, INT_MIN + 186));
}

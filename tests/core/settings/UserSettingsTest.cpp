#include <gtest/gtest.h>

#include <string>

#include "support/TemporaryFolder.h"
#include "core/settings/UserSettings.h"

using trelvo::UserSettings;
using trelvo::parseUserSettings;

namespace {

UserSettings parsed(std::string_view bytes) {
    UserSettings s;
    parseUserSettings(bytes, s);
    return s;
}

}  // namespace

TEST(UserSettingsTest, WrittenSettingsReadBackAndUnknownLinesArePassedOver) {
    trelvo::support::TemporaryFolder folder;
    UserSettings s;
    s.lastDictionaryFile = "Zabezpečovací technika.dsl";
    s.columnShares = std::array<int, 3>{400, 380, 220};
    s.matchListHidden = true;
    const std::string path = folder.file("trelvo.ini");
    ASSERT_TRUE(trelvo::writeUserSettings(path, s));
    UserSettings back;
    ASSERT_TRUE(trelvo::readUserSettings(path, back));
    EXPECT_EQ(back, s);

    EXPECT_EQ(parsed("# comment\r\nwindow-state=2\r\nlast-dictionary=a.dsl\r\n").lastDictionaryFile, "a.dsl");
    EXPECT_TRUE(parsed("match-list=hidden\r\n").matchListHidden);
    EXPECT_FALSE(parsed(std::string("match-list=hid\0den\n", 19)).matchListHidden) << "a NUL is no word of ours";
    UserSettings kept = s;
    EXPECT_FALSE(trelvo::readUserSettings(folder.file("missing.ini"), kept));
    EXPECT_EQ(kept, s);
    // Larger than any file the program writes: not read at all.
    const std::string big = folder.write("big.ini", "last-dictionary=b.dsl\n" + std::string(5000, '#'));
    EXPECT_FALSE(trelvo::readUserSettings(big, kept));
    EXPECT_EQ(kept.lastDictionaryFile, s.lastDictionaryFile);
}

TEST(UserSettingsTest, ValuesThatAreNotSoundAreNotTaken) {
    // A name must stay within the dictionary folder.
    for (const char* line : {"last-dictionary=../trelvo.cfg", "last-dictionary=/etc/passwd", "last-dictionary=..",
                             "last-dictionary=", "last-dictionary=a\x01.dsl"})
        EXPECT_EQ(parsed(line).lastDictionaryFile, "") << line;
    // Shares: three, each at least 20 thousandths, together no more than the whole.
    for (const char* line : {"column-shares=400,400", "column-shares=400,400,201", "column-shares=10,490,500",
                             "column-shares=400,400,200,1", "column-shares=-5,500,500", "column-shares=a,b,c",
                             "column-shares=400, 400,200", "column-shares=99999999999,1,1"})
        EXPECT_FALSE(parsed(line).columnShares) << line;
    EXPECT_EQ(parsed("column-shares=20,480,500").columnShares, (std::array<int, 3>{20, 480, 500}));
    // Nothing unsound is written either.
    UserSettings s;
    s.lastDictionaryFile = "../x.dsl";
    EXPECT_EQ(trelvo::serializeUserSettings(s), "");
}

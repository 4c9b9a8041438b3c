#include <gtest/gtest.h>

#include "core/settings/UserSettings.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;

TEST(UserSettingsTest, AChoiceIsKeptAndAnythingElseGivesTheDefaults) {
    support::TemporaryFolder folder;
    const std::string path = folder.file(UserSettings::fileName);
    EXPECT_FALSE(readUserSettings(path).matchListHidden) << "no file: the list shows";
    ASSERT_TRUE(writeUserSettings(path, UserSettings{true}));
    EXPECT_TRUE(readUserSettings(path).matchListHidden);
    ASSERT_TRUE(writeUserSettings(path, UserSettings{false}));
    EXPECT_FALSE(readUserSettings(path).matchListHidden);
    // Written by hand on another system, with lines it does not know.
    folder.write(UserSettings::fileName, "# mine\r\nfont=big\r\nmatchList=hidden\r\n");
    EXPECT_TRUE(readUserSettings(path).matchListHidden);
    folder.write(UserSettings::fileName, std::string("matchList=hid\0den\n", 18));
    EXPECT_FALSE(readUserSettings(path).matchListHidden);
    // A folder in its place is no settings file, and cannot be replaced by one.
    std::filesystem::create_directory(folder.file("folder.ini"));
    EXPECT_FALSE(readUserSettings(folder.file("folder.ini")).matchListHidden);
    EXPECT_FALSE(writeUserSettings(folder.file("missing/trelvo-user.ini"), UserSettings{true}));
}

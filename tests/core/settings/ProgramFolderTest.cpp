#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/settings/ProgramFolder.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using trelvo::ProgramFolder;
using trelvo::ProgramPlaces;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

using trelvo::support::readBytes;

// A scratch install: <root>/usr/bin with nothing beside the executable,
// <root>/usr/share/trelvo with the delivered data, and a user's home.
class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root / "usr/bin");
        writeFile(data() / "upchar.dat", "tables 1\n");
        writeFile(data() / "DSL/cs-en.dsl", "delivered cs-en");
        writeFile(data() / "net.ini", "127.0.0.1:8717/trelvo\n");
        writeFile(data() / "trelvo.html", "<html>help</html>");
        writeFile(data() / "trusted-keys", "KEY demo\n");
        fs::create_directories(root / "home");
    }

    fs::path data() const { return root / "usr/share/trelvo"; }
    fs::path user() const { return root / "home/.local/share/trelvo"; }
    ProgramFolder folder() const {
        return ProgramFolder(ProgramFolder::placesOf((root / "usr/bin").string(), nullptr, (root / "home").c_str()));
    }

    trelvo::support::TemporaryFolder temporary{"trelvo-folder"};
    fs::path root = temporary.path();
};

TEST(ProgramFolderPlaces, UserFolderFollowsXdgDataHomeElseHome) {
    ProgramPlaces p = ProgramFolder::placesOf("/opt/x/bin/", "/data", "/home/anna");
    EXPECT_EQ(p.besideExecutable, "/opt/x/bin/");
    EXPECT_EQ(p.userFolder, "/data/trelvo/");
    EXPECT_EQ(p.installedData, "/opt/x/share/trelvo/");
    EXPECT_EQ(ProgramFolder::placesOf("/opt/x/bin", nullptr, "/home/anna").userFolder,
              "/home/anna/.local/share/trelvo/");
    // A relative or empty XDG_DATA_HOME is ignored.
    EXPECT_EQ(ProgramFolder::placesOf("/opt/x/bin", "rel", "/home/anna").userFolder,
              "/home/anna/.local/share/trelvo/");
    EXPECT_EQ(ProgramFolder::placesOf("/opt/x/bin", "", "/home/anna").userFolder,
              "/home/anna/.local/share/trelvo/");
}

TEST_F(InstalledProgram, AFolderBesideTheExecutableWithTablesThatCanBeWrittenIsTheProgramFolder) {
    writeFile(root / "usr/bin/upchar.dat", "portable tables\n");
    EXPECT_TRUE(folder().portable());
    EXPECT_EQ(folder().prepare(), (root / "usr/bin/").string());
    EXPECT_FALSE(fs::exists(user()));

    // Without a single write bit it is read-only, even for root.
    fs::permissions(root / "usr/bin", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    EXPECT_FALSE(trelvo::folderCanBeWritten((root / "usr/bin").string()));
    EXPECT_FALSE(folder().portable());
    EXPECT_EQ(folder().prepare(), user().string() + "/");

    // The decision can be injected too.
    ProgramFolder told(ProgramFolder::placesOf((root / "usr/bin").string(), nullptr, (root / "home").c_str()),
                       [](const std::string&) { return true; });
    EXPECT_TRUE(told.portable());
}

TEST_F(InstalledProgram, FirstStartSeedsTheUsersFolder) {
    EXPECT_FALSE(folder().portable());
    EXPECT_EQ(folder().prepare(), user().string() + "/");
    EXPECT_EQ(readBytes(user() / "upchar.dat"), "tables 1\n");
    EXPECT_EQ(readBytes(user() / "DSL/cs-en.dsl"), "delivered cs-en");
    EXPECT_EQ(readBytes(user() / "net.ini"), "127.0.0.1:8717/trelvo\n");
    EXPECT_EQ(readBytes(user() / "trelvo.html"), "<html>help</html>");
    EXPECT_EQ(readBytes(user() / "trusted-keys"), "KEY demo\n");
    EXPECT_TRUE(fs::exists(user() / ProgramFolder::deliveredRecord));
}

TEST_F(InstalledProgram, ALaterStartKeepsTheUsersWorkAndAddsNewDictionaries) {
    folder().prepare();
    writeFile(user() / "DSL/cs-en.dsl", "the user's cs-en");
    writeFile(user() / "trelvo.cfg", "settings");
    writeFile(user() / "net.ini", "my.server/x\n");
    writeFile(user() / "trusted-keys", "KEY company\n");
    // A new edition of the program delivers a changed and a new dictionary.
    writeFile(data() / "DSL/cs-en.dsl", "delivered cs-en 2");
    writeFile(data() / "DSL/cs-de.dsl", "delivered cs-de");
    writeFile(data() / "net.ini", "other\n");

    folder().prepare();
    EXPECT_EQ(readBytes(user() / "DSL/cs-en.dsl"), "the user's cs-en");
    EXPECT_EQ(readBytes(user() / "DSL/cs-de.dsl"), "delivered cs-de");
    EXPECT_EQ(readBytes(user() / "trelvo.cfg"), "settings");
    EXPECT_EQ(readBytes(user() / "net.ini"), "my.server/x\n");
    EXPECT_EQ(readBytes(user() / "trusted-keys"), "KEY company\n");
}

TEST_F(InstalledProgram, NewTablesReplaceOnlyAnUnchangedDeliveredCopy) {
    folder().prepare();
    writeFile(data() / "upchar.dat", "tables 2\n");
    folder().prepare();
    EXPECT_EQ(readBytes(user() / "upchar.dat"), "tables 2\n");

    // The user's own tables stay, through this and every later edition.
    writeFile(user() / "upchar.dat", "my tables\n");
    writeFile(data() / "upchar.dat", "tables 3\n");
    folder().prepare();
    EXPECT_EQ(readBytes(user() / "upchar.dat"), "my tables\n");
    writeFile(data() / "upchar.dat", "tables 4\n");
    folder().prepare();
    EXPECT_EQ(readBytes(user() / "upchar.dat"), "my tables\n");

    // Tables without a record of what was delivered are the user's as well.
    fs::remove(user() / ProgramFolder::deliveredRecord);
    writeFile(user() / "upchar.dat", "tables 4\n");
    writeFile(data() / "upchar.dat", "tables 5\n");
    folder().prepare();
    EXPECT_EQ(readBytes(user() / "upchar.dat"), "tables 4\n");

    // Deleted tables come back from the installed data.
    fs::remove(user() / "upchar.dat");
    folder().prepare();
    EXPECT_EQ(readBytes(user() / "upchar.dat"), "tables 5\n");
}

TEST_F(InstalledProgram, ReadOnlyFilesAreFoundBesideThenInTheUsersFolderThenInTheInstalledData) {
    EXPECT_EQ(folder().locate("upchar.dat"), (data() / "upchar.dat").string());
    writeFile(user() / "upchar.dat", "mine");
    EXPECT_EQ(folder().locate("upchar.dat"), (user() / "upchar.dat").string());
    writeFile(root / "usr/bin/upchar.dat", "beside");
    EXPECT_EQ(folder().locate("upchar.dat"), (root / "usr/bin/upchar.dat").string());
    EXPECT_EQ(folder().locate("nothing.ini"), (root / "usr/bin/nothing.ini").string());
}

}  // namespace

// The settings are written soon after they change, so that a program killed
// outright keeps them, and a window dragged about writes them once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "PortableProgram.h"
#include "TestProgram.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/settings/ProgramConfiguration.h"
#include "core/settings/ProgramPaths.h"
#include "core/settings/UserSettings.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

ino_t inodeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

}  // namespace

TEST(SettingsKept, AProgramKilledOutrightKeepsTheSettingsItChanged) {
    const PortableProgram program;
    const fs::path& folder = program.folder();
    std::ofstream(folder / "net.ini") << "127.0.0.1:9/trelvo\n";
    fs::create_directory(folder / "DSL");
    for (const char* file : {"a.dsl", "b.dsl"}) {
        DictionaryHeader h;
        h.name = file;
        EntryList entries;
        entries.append("kolej", "track", "", 0);
        ASSERT_TRUE(writeDictionaryFile(h, entries, (folder / "DSL" / file).string()));
    }
    // The window off every screen, the first dictionary by number, the
    // second by its file name: the start moves the window onto the screen
    // and takes the second dictionary.
    ProgramConfiguration config;
    config.autoUpdate = false;
    config.lastDictionary = 0;
    config.left = config.top = 9000;
    config.width = 640;
    config.height = 400;
    config.lastUpdateDay = todayDayNumber();
    const std::string cfg = (folder / "trelvo.cfg").string();
    ASSERT_TRUE(writeConfiguration(cfg, config));
    UserSettings user;
    user.lastDictionaryFile = "b.dsl";
    ASSERT_TRUE(writeUserSettings((folder / "trelvo.ini").string(), user));
    const ino_t written = inodeOf(cfg);

    const pid_t child = program.start();
    ASSERT_GT(child, 0);
    int status = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (inodeOf(cfg) == written && waitpid(child, &status, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // Killed as a crash or a power cut would end it: nothing runs at its end.
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the program ended before it was killed";

    ProgramConfiguration kept;
    kept.left = kept.top = -1;
    ASSERT_TRUE(readConfiguration(cfg, kept));
    EXPECT_EQ(kept.lastDictionary, 1);
    EXPECT_LT(kept.left, 9000);
    EXPECT_LT(kept.top, 9000);
    EXPECT_EQ(kept.width, 640);
    EXPECT_FALSE(kept.autoUpdate);
    EXPECT_EQ(kept.lastUpdateDay, config.lastUpdateDay);
    // A write the kill cut short may have left its temporary file, which the
    // next start removes; the file itself is whole.
}

class SettingsKeptWindow : public TestProgram {};

TEST_F(SettingsKeptWindow, AWindowDraggedAboutWritesItsPlaceOnceItRests) {
    dictionary("a.dsl", "První");
    settings(today, 0, QRect(50, 60, 640, 400));
    TForm1Probe w = start();
    w.window().show();
    const std::string cfg = dir_ + "trelvo.cfg";
    // What the start changed is written once, after it.
    QTest::qWait(1500);
    ino_t last = inodeOf(cfg);
    // A drag: many small moves, each a moment after the last.
    std::set<ino_t> seen;
    for (int step = 1; step <= 100; ++step) {
        w.window().move(50 + step, 60 + step / 2);
        QApplication::processEvents();
        seen.insert(inodeOf(cfg));
    }
    EXPECT_LT(seen.size(), 5u) << "every saved settings file is a new file";
    ASSERT_TRUE(QTest::qWaitFor([&] { return inodeOf(cfg) != last; }, 10000));
    last = inodeOf(cfg);
    ProgramConfiguration kept;
    ASSERT_TRUE(readConfiguration(cfg, kept));
    EXPECT_EQ(kept.left, 150);
    EXPECT_EQ(kept.top, 110);
    EXPECT_EQ(kept.lastDictionary, 0);

    // Settings as they were written are not written again.
    w.window().move(151, 110);
    QApplication::processEvents();
    w.window().move(150, 110);
    QTest::qWait(1500);
    EXPECT_EQ(inodeOf(cfg), last);
}

// A save of a million-entry dictionary killed at any moment must leave the
// old file or the new one on disk, never a mixture or a cut-off file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryStore.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

using trelvo::support::readBytes;

EntryList millionEntries() {
    EntryList entries;
    char term[32], translation[32];
    for (int i = 0; i < 1000000; ++i) {
        std::snprintf(term, sizeof term, "v\xFDhybka %07d", i);
        std::snprintf(translation, sizeof translation, "points %07d", i);
        entries.append(term, translation, i % 7 == 0 ? "pozn\xE1mka" : "", i % 3 == 0 ? 2u : 0u);
    }
    return entries;
}

// The temporary file a save writes beside the dictionary, if one is there.
std::optional<fs::path> saveInProgress(const fs::path& folder, const std::string& dictionaryName) {
    for (const auto& item : fs::directory_iterator(folder)) {
        const std::string name = item.path().filename().string();
        if (name.rfind("." + dictionaryName + ".trelvo-", 0) == 0) return item.path();
    }
    return std::nullopt;
}

class InterruptedSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = folder_ / "velky.dsl";
        store_.header.name = "Velký slovník";
        store_.header.languageCharset = {238, 0};
        store_.header.filePath = path_.string();
        store_.entries = millionEntries();
        ASSERT_TRUE(store_.saveDictionary());
        oldBytes_ = readBytes(path_);
        // The edition being saved: an edited entry, a deleted one and a new one.
        store_.entries.setText(500000, 1, "signal");
        store_.entries.remove(17);
        store_.entries.append("p\xF8" "ejezd", "level crossing", "", 0);
        newBytes_ = serializeDictionary(store_.header, store_.entries);
        ASSERT_NE(oldBytes_.size(), 0u);
    }

    // Starts a save in a child process and returns its pid.
    pid_t startSave() {
        pid_t child = fork();
        if (child == 0) _exit(store_.saveDictionary() ? 0 : 1);
        return child;
    }
    void restoreOldFile() {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << oldBytes_;
        for (const auto& item : fs::directory_iterator(folder_))
            if (item.path() != path_) fs::remove(item.path());
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-interrupted"};
    fs::path folder_ = temporary_.path();
    fs::path path_;
    DictionaryStore store_;
    std::string oldBytes_;
    std::string newBytes_;
};

TEST_F(InterruptedSaveTest, KilledWhileWritingLeavesTheOldFile) {
    pid_t child = startSave();
    ASSERT_GT(child, 0);
    // Wait until the new edition is partly on disk, then kill without warning.
    bool caught = false;
    for (int tries = 0; tries < 200000 && !caught; ++tries) {
        if (auto temp = saveInProgress(folder_, "velky.dsl")) {
            std::error_code error;
            auto size = fs::file_size(*temp, error);
            if (!error && size > 0 && size < newBytes_.size()) {
                kill(child, SIGKILL);
                caught = true;
                break;
            }
        }
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            child = 0;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    if (child > 0) waitpid(child, nullptr, 0);
    ASSERT_TRUE(caught) << "the save ended before it could be interrupted";
    EXPECT_TRUE(readBytes(path_) == oldBytes_);
    DictionaryHeader header;
    EntryList entries;
    EXPECT_TRUE(readDictionaryFile(path_.string(), header, entries));
    EXPECT_EQ(entries.size(), 1000000u);

    // No save holds the killed one's temporary file any more: a catalogue
    // scan removes it at once.
    const std::optional<fs::path> left = saveInProgress(folder_, "velky.dsl");
    ASSERT_TRUE(left);
    DictionaryStore scan;
    scan.scanCatalogue(folder_.string());
    EXPECT_FALSE(fs::exists(*left));
    EXPECT_EQ(scan.cataloguePaths, (std::vector<std::string>{path_.string()}));
}

TEST_F(InterruptedSaveTest, KilledAtAnyMomentLeavesOldOrNew) {
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 8; ++round) {
        restoreOldFile();
        pid_t child = startSave();
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(40 + 90 * round));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string bytes = readBytes(path_);
        const bool isOld = bytes == oldBytes_;
        const bool isNew = bytes == newBytes_;
        EXPECT_TRUE(isOld || isNew) << "round " << round << ": " << bytes.size() << " bytes";
        sawOld += isOld;
        sawNew += isNew;
    }
    // Both outcomes are possible; which ones happened depends on the machine.
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}

}  // namespace

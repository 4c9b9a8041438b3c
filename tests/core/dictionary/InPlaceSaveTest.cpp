// A dictionary that keeps its inode when saved (it has other hard links, or
// its folder takes no new file) is overwritten in place. A save killed at any
// moment, or one that meets a full disk, must leave the old contents or the
// new ones under every name, byte for byte, once the dictionary is next opened.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/dictionary/SaveJournal.h"
#include "SmallDisk.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

using trelvo::support::writeBytes;

constexpr uid_t nobody = 65534;

std::string bytesOf(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

EntryList entriesOf(int count, const char* translation) {
    EntryList entries;
    char term[32], text[48];
    for (int i = 0; i < count; ++i) {
        std::snprintf(term, sizeof term, "v\xFDhybka %07d", i);
        std::snprintf(text, sizeof text, "%s %07d", translation, i);
        entries.append(term, text, i % 7 == 0 ? "pozn\xE1mka" : "", i % 3 == 0 ? 2u : 0u);
    }
    return entries;
}

// Files a save leaves in folder: temporary files and journals.
std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& item : fs::recursive_directory_iterator(folder, ignored)) {
        const std::string name = item.path().filename().string();
        if (name.find(".trelvo-") != std::string::npos) names.push_back(item.path().string());
    }
    return names;
}

class InPlaceSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/trelvo-inplace-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
        // A child that runs as another user must reach its files.
        fs::permissions(root_, fs::perms(0755));
        folder_ = root_ / "DSL";
        data_ = root_ / "data";
        fs::create_directories(folder_);
        fs::create_directories(data_);
        fs::permissions(data_, fs::perms(0777));
        // Journals that cannot lie beside the dictionary go to the user's data
        // folder, here one of the test's own.
        const char* before = std::getenv("XDG_DATA_HOME");
        savedDataHome_ = before ? std::optional<std::string>(before) : std::nullopt;
        ::setenv("XDG_DATA_HOME", data_.c_str(), 1);
        path_ = folder_ / "velky.dsl";
    }
    void TearDown() override {
        if (savedDataHome_) ::setenv("XDG_DATA_HOME", savedDataHome_->c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
        fs::permissions(folder_, fs::perms(0755));
        fs::remove_all(root_);
    }

    // Two editions of a dictionary large enough that a save takes a while.
    void makeEditions(int entries) {
        store_.header.name = "Velký slovník";
        store_.header.languageCharset = {238, 0};
        store_.header.filePath = path_.string();
        first_ = entriesOf(entries, "points");
        second_ = entriesOf(entries + entries / 10, "switch");
        firstBytes_ = serializeDictionary(store_.header, first_);
        secondBytes_ = serializeDictionary(store_.header, second_);
        writeBytes(path_, firstBytes_);
    }

    // A child that saves the two editions by turns until it is killed,
    // running as another user when asUser is set and the tests run as root.
    pid_t startSaving(bool asUser) {
        pid_t child = fork();
        if (child == 0) {
            if (asUser && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
                _exit(2);
            for (bool second = true;; second = !second) {
                store_.entries = second ? second_ : first_;
                if (!store_.saveDictionary()) _exit(3);
            }
        }
        return child;
    }

    // Kills a saving child at random moments, each time checking what the
    // next opening finds under every name.
    void killAtRandomMoments(const std::vector<fs::path>& names, bool asUser) {
        std::mt19937 random(20261209);
        // The length of one save here, so that the moments spread over saves.
        const auto begin = std::chrono::steady_clock::now();
        store_.entries = second_;
        ASSERT_TRUE(store_.saveDictionary());
        writeBytes(path_, firstBytes_);
        const auto oneSave = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin);
        std::uniform_int_distribution<long> moment(1000, std::max<long>(2000, 2 * oneSave.count()));
        std::uniform_int_distribution<long> soonAfter(0, std::max<long>(1000, oneSave.count() / 8));
        int finished = 0;
        for (int round = 0; round < 16; ++round) {
            const auto unchanged = fs::last_write_time(path_);
            const auto unchangedSize = fs::file_size(path_);
            pid_t child = startSaving(asUser);
            ASSERT_GT(child, 0);
            if (round % 2 == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
            } else {
                // Every other round the moment falls soon after the file
                // itself begins to change, where a cut would show.
                const auto giveUp = std::chrono::steady_clock::now() + 20 * oneSave;
                while (fs::last_write_time(path_) == unchanged && fs::file_size(path_) == unchangedSize &&
                       std::chrono::steady_clock::now() < giveUp) {
                }
                std::this_thread::sleep_for(std::chrono::microseconds(soonAfter(random)));
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, WNOHANG), 0) << "the saving child ended by itself: " << status;
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            finished += saveLeftUnfinished(path_.string());
            // The next opening finishes a cut save first.
            DictionaryStore next;
            ASSERT_TRUE(next.openEntries(path_.string())) << "round " << round;
            for (const fs::path& name : names) {
                const std::string bytes = bytesOf(name);
                EXPECT_TRUE(bytes == firstBytes_ || bytes == secondBytes_)
                    << "round " << round << ", " << name << ": " << bytes.size() << " bytes";
            }
            EXPECT_FALSE(saveLeftUnfinished(path_.string()));
            EXPECT_TRUE(fs::equivalent(names.front(), names.back())) << "the names stay one file";
            next.scanCatalogue(folder_.string());
            next.scanCatalogue(data_.string() + "/trelvo");
        }
        RecordProperty("finished_from_journal", finished);
    }

    fs::path root_, folder_, data_, path_;
    std::optional<std::string> savedDataHome_;
    DictionaryStore store_;
    EntryList first_, second_;
    std::string firstBytes_, secondBytes_;
};

}  // namespace

TEST_F(InPlaceSaveTest, AHardLinkedDictionaryKilledAtAnyMomentIsOldOrNewUnderBothNames) {
    makeEditions(400000);
    fs::create_hard_link(path_, root_ / "odkaz.dsl");
    killAtRandomMoments({path_, root_ / "odkaz.dsl"}, false);
    EXPECT_TRUE(leftovers(root_).empty()) << leftovers(root_).front();
}

TEST_F(InPlaceSaveTest, ADictionaryInAFolderThatTakesNoNewFileKilledAtAnyMomentIsOldOrNew) {
    makeEditions(400000);
    // The user's own dictionary, which the user may write.
    if (geteuid() == 0) {
        ASSERT_EQ(::chown(path_.c_str(), nobody, nobody), 0);
    }
    fs::permissions(path_, fs::perms(0666));
    fs::permissions(folder_, fs::perms(0555));
    killAtRandomMoments({path_}, true);
    EXPECT_TRUE(leftovers(root_).empty()) << leftovers(root_).front();
    // The journals went to the user's data folder, the only place left.
    EXPECT_TRUE(fs::exists(data_ / "trelvo"));
}

TEST_F(InPlaceSaveTest, AFullDiskWithoutFallocateLeavesBothNamesAsTheyWere) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a loop image needs root";
    SmallDisk disk(root_ / "disk.img", root_ / "disk", 2048);
    if (!disk.mounted()) GTEST_SKIP() << "no loop mount of ext2 here";
    const fs::path first = root_ / "disk" / "a.dsl", second = root_ / "disk" / "b.dsl";
    EntryList entries = entriesOf(3000, "signal");
    store_.header.name = "Plný disk";
    store_.header.filePath = first.string();
    store_.entries = entries;
    ASSERT_TRUE(store_.saveDictionary());
    fs::create_hard_link(first, second);
    const std::string old = bytesOf(first);
    // Twice as many entries, on a disk with room for half of what they add.
    store_.entries = entriesOf(6000, "signal");
    const std::string next = serializeDictionary(store_.header, store_.entries);
    disk.fill(static_cast<off_t>(next.size() - old.size()) / 2);
    const struct stat before = [&] {
        struct stat info {};
        ::stat(first.c_str(), &info);
        return info;
    }();

    // What the window reports as "the original file is unchanged" is so.
    EXPECT_EQ(store_.saveGuarded([] { return false; }, std::chrono::milliseconds(1000)),
              DictionaryStore::SaveOutcome::failed);
    EXPECT_TRUE(bytesOf(first) == old);
    EXPECT_TRUE(bytesOf(second) == old);
    struct stat after {};
    ::stat(first.c_str(), &after);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << "the file shows unchanged to whoever compares";
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_TRUE(leftovers(root_).empty()) << leftovers(root_).front();

    // With room for what the file grows by, the journal lies on another disk
    // and the save goes through.
    disk.fill(static_cast<off_t>(next.size() - old.size()) + 64 * 1024);
    EXPECT_EQ(store_.saveGuarded([] { return false; }, std::chrono::milliseconds(1000)),
              DictionaryStore::SaveOutcome::saved);
    EXPECT_TRUE(bytesOf(first) == next);
    EXPECT_TRUE(bytesOf(second) == next);
    EXPECT_TRUE(leftovers(root_).empty()) << leftovers(root_).front();
}

TEST_F(InPlaceSaveTest, HolesInTheOldFileDoNotCutItOnAFullDisk) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a loop image needs root";
    SmallDisk disk(root_ / "disk.img", root_ / "disk", 2048);
    if (!disk.mounted()) GTEST_SKIP() << "no loop mount of ext2 here";
    const fs::path first = root_ / "disk" / "a.dsl", second = root_ / "disk" / "b.dsl";
    // A file copied sparsely: its zeros take no room until written over.
    {
        int fd = ::open(first.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_EQ(::pwrite(fd, "DSL", 3, 0), 3);
        ASSERT_EQ(::pwrite(fd, "end", 3, 600 * 1024), 3);
        ::close(fd);
    }
    fs::create_hard_link(first, second);
    const std::string old = bytesOf(first);
    disk.fill(16 * 1024);
    EXPECT_EQ(replaceFile(first.string(), [](const ByteSink& put) { return put(std::string(500 * 1024, 'n')); }),
              ReplaceOutcome::unchanged);
    EXPECT_TRUE(bytesOf(first) == old);
    EXPECT_TRUE(bytesOf(second) == old);
    EXPECT_FALSE(saveLeftUnfinished(first.string()));
}

TEST_F(InPlaceSaveTest, AJournalIsAppliedOnlyToTheFileItWasMadeFor) {
    makeEditions(2000);
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    // A complete journal as a save leaves it, for the file of the given inode
    // that had the given size before.
    auto leaveJournal = [&](std::uint64_t inode, std::uint64_t oldSize) {
        std::string record = path_.string();
        for (std::uint64_t n : {std::uint64_t{path_.string().size()}, oldSize, std::uint64_t(info.st_dev), inode,
                                std::uint64_t{0x4c4e524a4f564c54ull}})
            for (int i = 0; i < 8; ++i) record.push_back(static_cast<char>(n >> (8 * i)));
        const fs::path journal = folder_ / ".trelvo-save-1-2";
        writeBytes(journal, secondBytes_ + record);
        // The file was written after the journal was complete.
        ::utimensat(AT_FDCWD, path_.c_str(), nullptr, 0);
        return journal;
    };
    // Another file has the name now: the journal goes, the file stays.
    fs::path journal = leaveJournal(info.st_ino + 1000000, firstBytes_.size());
    removeStaleTemporaryFiles(folder_.string());
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_TRUE(bytesOf(path_) == firstBytes_);
    // The same file, but of a size the save cannot have left it at: another
    // program has written it since.
    journal = leaveJournal(info.st_ino, firstBytes_.size() + secondBytes_.size());
    writeBytes(path_, firstBytes_ + secondBytes_ + "more");
    removeStaleTemporaryFiles(folder_.string());
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_EQ(bytesOf(path_).size(), firstBytes_.size() + secondBytes_.size() + 4);
    // The file the save was cutting is finished.
    const std::string cut = secondBytes_.substr(0, 100) + firstBytes_.substr(100);
    writeBytes(path_, cut);
    journal = leaveJournal(info.st_ino, firstBytes_.size());
    removeStaleTemporaryFiles(folder_.string());
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_TRUE(bytesOf(path_) == secondBytes_);

    // But not from a journal another user made: anyone may put one in /tmp.
    if (geteuid() != 0) return;
    writeBytes(path_, cut);
    journal = leaveJournal(info.st_ino, firstBytes_.size());
    ASSERT_EQ(::chown(journal.c_str(), nobody, nobody), 0);
    DictionaryStore opened;
    opened.openEntries(path_.string());
    EXPECT_TRUE(bytesOf(path_) == cut);
    EXPECT_TRUE(fs::exists(journal));
    EXPECT_FALSE(saveLeftUnfinished(path_.string()));
}

TEST_F(InPlaceSaveTest, ASaveMeetingAnotherOneWritingTheFileLeavesItToThatOne) {
    makeEditions(400000);
    fs::create_hard_link(path_, root_ / "odkaz.dsl");
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    char name[64];
    std::snprintf(name, sizeof name, ".trelvo-save-%llx-%llx", static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    const fs::path journal = folder_ / name;
    // Another program's save, stopped while it writes the file from its journal.
    pid_t child = fork();
    if (child == 0) _exit(replaceFileAtomically(path_.string(), secondBytes_) ? 0 : 1);
    bool stopped = false;
    for (int tries = 0; tries < 2000000 && !stopped; ++tries)
        if (fs::exists(journal)) stopped = kill(child, SIGSTOP) == 0;
    ASSERT_TRUE(stopped) << "the other save ended before it could be stopped";
    waitpid(child, nullptr, WUNTRACED);
    if (!fs::exists(journal)) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        GTEST_SKIP() << "the other save had just ended";
    }
    const std::string meanwhile = bytesOf(path_);
    EXPECT_EQ(replaceFile(path_.string(), [](const ByteSink& put) { return put("mine"); }),
              ReplaceOutcome::unchanged);
    EXPECT_TRUE(bytesOf(path_) == meanwhile) << "nothing written beside the other save";
    kill(child, SIGCONT);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(bytesOf(path_) == secondBytes_);
    EXPECT_TRUE(bytesOf(root_ / "odkaz.dsl") == secondBytes_);
}

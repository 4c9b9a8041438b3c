#include "core/dictionary/DictionaryBackups.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryStore.h"
#include "SmallDisk.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace trelvo;
using trelvo::support::readBytes;

namespace {

constexpr std::time_t noon = 1765364400;  // 10 December 2025, about noon

class DictionaryBackupsTest : public ::testing::Test {
protected:
    // A dictionary of count entries named name, as the file name in the folder.
    std::string write(const std::string& file, std::size_t count, const std::string& name = "Návěstidla") {
        DictionaryHeader h;
        h.name = name;
        EntryList entries;
        for (std::size_t i = 0; i < count; ++i) entries.append("term" + std::to_string(i), "překlad", "", 0);
        EXPECT_TRUE(writeDictionaryFile(h, entries, temporary_.file(file)));
        return temporary_.file(file);
    }

    std::string backupName(const std::string& stem, std::time_t t, const std::string& sequence = "") const {
        std::tm local{};
        ::localtime_r(&t, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        return (folder_ / ".trelvo-backups" / (stem + "." + stamp + sequence + ".dsl")).string();
    }

    static std::vector<std::string> paths(const std::vector<DictionaryBackup>& backups) {
        std::vector<std::string> out;
        for (const DictionaryBackup& b : backups) out.push_back(b.path);
        return out;
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-backups"};
    fs::path folder_ = temporary_.path();
};

}  // namespace

TEST_F(DictionaryBackupsTest, KeepsTheNewestFiveOfEachDictionaryWithTheirCountsAndDates) {
    const std::string signals = write("signals.dsl", 3);
    const std::string other = write("signals.old.DSL", 2);
    ASSERT_EQ(backUpDictionary(other, noon - 100).outcome, BackupOutcome::made);
    for (int i = 0; i < 7; ++i) {
        write("signals.dsl", 10 + static_cast<std::size_t>(i));
        const BackupResult made = backUpDictionary(signals, noon + i * 61);
        ASSERT_EQ(made.outcome, BackupOutcome::made);
        EXPECT_EQ(made.path, backupName("signals", noon + i * 61));
        EXPECT_EQ(readBytes(made.path), readBytes(signals));
    }
    const std::vector<DictionaryBackup> kept = listBackups(signals);
    ASSERT_EQ(kept.size(), keptBackups);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const std::time_t t = noon + static_cast<std::time_t>(6 - i) * 61;
        EXPECT_EQ(kept[i].path, backupName("signals", t));
        EXPECT_EQ(kept[i].entryCount, 16 - i);
        std::tm local{};
        ::localtime_r(&t, &local);
        EXPECT_EQ(std::make_tuple(kept[i].year, kept[i].month, kept[i].day, kept[i].hour, kept[i].minute,
                                  kept[i].second),
                  std::make_tuple(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                                  local.tm_sec));
    }
    // The other dictionary's backup, whose name begins like these, is its own and stays.
    const std::vector<DictionaryBackup> others = listBackups(other);
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0].path, backupName("signals.old", noon - 100));
    EXPECT_EQ(others[0].entryCount, 2u);
}

TEST_F(DictionaryBackupsTest, ACopyInTheSameSecondGetsTheNextNumberAndOverwritesNothing) {
    const std::string signals = write("signals.dsl", 1);
    const std::string first = readBytes(signals);
    ASSERT_EQ(backUpDictionary(signals, noon).path, backupName("signals", noon));
    write("signals.dsl", 2);
    ASSERT_EQ(backUpDictionary(signals, noon).path, backupName("signals", noon, "-2"));
    write("signals.dsl", 3);
    ASSERT_EQ(backUpDictionary(signals, noon).path, backupName("signals", noon, "-3"));
    EXPECT_EQ(readBytes(backupName("signals", noon)), first);
    const std::vector<DictionaryBackup> listed = listBackups(signals);
    EXPECT_EQ(paths(listed), (std::vector<std::string>{backupName("signals", noon, "-3"), backupName("signals", noon, "-2"),
                                                       backupName("signals", noon)}));
    EXPECT_EQ(listed[0].sequence, 3u);
    EXPECT_EQ(listed[0].entryCount, 3u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / ".trelvo-backups"), fs::directory_iterator()), 3);
}

TEST_F(DictionaryBackupsTest, SymlinksInTheBackupFolderAreNeitherFollowedListedNorRemoved) {
    const std::string signals = write("signals.dsl", 4);
    const std::string victim = temporary_.write("victim.txt", "keep me");
    fs::create_directory(folder_ / ".trelvo-backups");
    // Names the next copies would take, and an old one that rotation would remove.
    fs::create_symlink(victim, backupName("signals", noon));
    fs::create_symlink(victim, backupName("signals", noon - 3600));
    fs::create_directory(backupName("signals", noon - 7200));
    for (int i = 0; i < 7; ++i) ASSERT_EQ(backUpDictionary(signals, noon).outcome, BackupOutcome::made);
    EXPECT_EQ(readBytes(victim), "keep me");
    EXPECT_TRUE(fs::is_symlink(backupName("signals", noon)));
    EXPECT_TRUE(fs::is_symlink(backupName("signals", noon - 3600)));
    EXPECT_TRUE(fs::is_directory(backupName("signals", noon - 7200)));
    const std::vector<DictionaryBackup> listed = listBackups(signals);
    EXPECT_EQ(paths(listed).front(), backupName("signals", noon, "-8"));
    EXPECT_EQ(paths(listed).back(), backupName("signals", noon, "-4"));
    EXPECT_EQ(listed.size(), keptBackups);
}

TEST_F(DictionaryBackupsTest, ABackupFolderThatIsALinkOrAFileIsRefused) {
    const std::string signals = write("signals.dsl", 4);
    const fs::path elsewhere = folder_ / "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, folder_ / ".trelvo-backups");
    const BackupResult linked = backUpDictionary(signals, noon);
    EXPECT_EQ(linked.outcome, BackupOutcome::failed);
    EXPECT_NE(linked.error, 0);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_TRUE(listBackups(signals).empty());

    fs::remove(folder_ / ".trelvo-backups");
    temporary_.write(".trelvo-backups", "a file");
    EXPECT_EQ(backUpDictionary(signals, noon).outcome, BackupOutcome::failed);
    EXPECT_TRUE(listBackups(signals).empty());
    // A dictionary never saved has nothing to keep.
    EXPECT_EQ(backUpDictionary(temporary_.file("new.dsl"), noon).outcome, BackupOutcome::nothingToCopy);
}

TEST_F(DictionaryBackupsTest, ABrokenBackupIsListedAsUnreadable) {
    const std::string signals = write("signals.dsl", 30);
    ASSERT_EQ(backUpDictionary(signals, noon).outcome, BackupOutcome::made);
    const std::string bytes = readBytes(signals);
    const std::size_t headSize = readBytes(write("empty.dsl", 0)).size();
    fs::create_directories(folder_ / ".trelvo-backups");
    // Cut inside the header, a header that claims more entries than the file
    // can hold, and no dictionary at all.
    support::writeBytes(backupName("signals", noon + 1), bytes.substr(0, 20));
    support::writeBytes(backupName("signals", noon + 2), bytes.substr(0, headSize + 30 * 10 - 1));
    support::writeBytes(backupName("signals", noon + 3), "");
    const std::vector<DictionaryBackup> listed = listBackups(signals);
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[0].entryCount, std::nullopt);
    EXPECT_EQ(listed[1].entryCount, std::nullopt);
    EXPECT_EQ(listed[2].entryCount, std::nullopt);
    EXPECT_EQ(listed[3].entryCount, 30u);
}

TEST_F(DictionaryBackupsTest, TheCatalogueDoesNotListBackups) {
    const std::string signals = write("signals.dsl", 2);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(backUpDictionary(signals, noon + i).outcome, BackupOutcome::made);
    DictionaryStore store;
    store.scanCatalogue(folder_.string());
    EXPECT_EQ(store.cataloguePaths, std::vector<std::string>{signals});
}

TEST_F(DictionaryBackupsTest, ABackupKeepsTheDictionarysPermissions) {
    const std::string signals = write("signals.dsl", 2);
    ::chmod(signals.c_str(), 0600);
    const BackupResult made = backUpDictionary(signals, noon);
    struct stat info {};
    ASSERT_EQ(::stat(made.path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST_F(DictionaryBackupsTest, ACopyThatFindsTheDiskFullLeavesNothingAndKeepsTheOlderBackups) {
    SmallDisk disk(folder_ / "disk.img", folder_ / "disk", 2048);
    if (!disk.mounted()) GTEST_SKIP() << "no loop mount of ext2 here (needs root)";
    DictionaryHeader h;
    EntryList entries;
    for (int i = 0; i < 20000; ++i) entries.append("term" + std::to_string(i), "translation", "", 0);
    const std::string signals = (folder_ / "disk" / "signals.dsl").string();
    ASSERT_TRUE(writeDictionaryFile(h, entries, signals));
    ASSERT_EQ(backUpDictionary(signals, noon).outcome, BackupOutcome::made);
    const std::string first = readBytes(listBackups(signals).at(0).path);
    disk.fill(static_cast<off_t>(readBytes(signals).size() / 2));
    const BackupResult full = backUpDictionary(signals, noon + 1);
    EXPECT_EQ(full.outcome, BackupOutcome::failed);
    EXPECT_EQ(full.error, ENOSPC);
    const std::vector<DictionaryBackup> kept = listBackups(signals);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(readBytes(kept[0].path) == first);
    // Nothing half written is left to take the room.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "disk" / ".trelvo-backups"), fs::directory_iterator()),
              1);
}

TEST_F(DictionaryBackupsTest, NamesThatOnlyLookLikeBackupsAreNeitherListedNorRemoved) {
    const std::string signals = write("signals.dsl", 1);
    fs::create_directory(folder_ / ".trelvo-backups");
    const std::vector<std::string> nearMisses = {
        "signals.20251210-110000-.dsl", "signals.20251210-110000-0.dsl", "signals.20251210-110000-02.dsl",
        "signals.20251210-110000-1.dsl", "signals.2025121-110000.dsl",  "signals.20251210_110000.dsl",
        "signals.20251210-110000.DSL",   "signals.20251210-11000a.dsl",  "signals.20251210-110000-123456.dsl",
        "signalsx20251210-110000.dsl",   ".signals.20251210-110000.dsl"};
    for (const std::string& name : nearMisses) temporary_.write(".trelvo-backups/" + name, "DSL");
    for (int i = 0; i < 7; ++i) ASSERT_EQ(backUpDictionary(signals, noon + i).outcome, BackupOutcome::made);
    EXPECT_EQ(listBackups(signals).size(), keptBackups);
    for (const std::string& name : nearMisses) EXPECT_TRUE(fs::exists(folder_ / ".trelvo-backups" / name)) << name;
}

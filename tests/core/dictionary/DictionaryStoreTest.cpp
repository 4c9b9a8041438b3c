#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryLock.h"
#include "core/dictionary/DictionaryStore.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

class DictionaryStoreTest : public ::testing::Test {
protected:

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    std::string write(const std::string& file, const std::string& name, const EntryList& entries = {},
                      std::array<std::int32_t, 2> charsets = {238, 0}) {
        DictionaryHeader h;
        h.name = name;
        h.languageCharset = charsets;
        EXPECT_TRUE(writeDictionaryFile(h, entries, path(file)));
        return path(file);
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-store"};
    fs::path folder_ = temporary_.path();
};

std::vector<std::uint32_t> order(const DictionaryIndex& index) {
    std::vector<std::uint32_t> numbers;
    for (std::size_t i = 0; i < index.size(); ++i) numbers.push_back(index.entryNumber(i));
    return numbers;
}

}  // namespace

TEST_F(DictionaryStoreTest, CatalogueListsDictionaryFilesByName) {
    write("b.DSL", "Druhý");
    write("a.dsl", "První");
    write("c.dsl", "První");  // the same name twice is listed twice
    std::ofstream(path("d.dsl")) << "not a dictionary";
    std::ofstream(path("e.txt")) << "DSL";
    write("f.dsl.bak", "Záloha");
    fs::create_directory(path("g.dsl"));
    DictionaryStore store;
    store.scanCatalogue(folder_.string());
    EXPECT_EQ(store.catalogueNames, (std::vector<std::string>{"První", "Druhý", "První"}));
    EXPECT_EQ(store.cataloguePaths, (std::vector<std::string>{path("a.dsl"), path("b.DSL"), path("c.dsl")}));
    store.scanCatalogue(path("missing"));
    EXPECT_TRUE(store.catalogueNames.empty());
    EXPECT_TRUE(store.cataloguePaths.empty());
}

TEST_F(DictionaryStoreTest, TheScanRemovesOnlyStaleTemporaryFilesOfSaves) {
    const std::string dictionary = write("a.dsl", "První");
    // The time of the name itself, not of what a link names.
    auto makeOld = [](const std::string& file) {
        const timespec twoDaysAgo{std::time(nullptr) - 2 * 24 * 60 * 60, 0};
        const timespec times[2] = {twoDaysAgo, twoDaysAgo};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << file;
    };
    auto make = [&](const std::string& name, bool old) {
        std::ofstream(path(name)) << "DSL";
        if (old) makeOld(path(name));
    };
    make(".a.dsl.trelvo-Ab12Cd", false);      // a save is writing it: it holds its lock
    make(".a.dsl.trelvo-Fr3sh1", false);      // left by a killed save a moment ago
    make(".a.dsl.trelvo-zZ09xy", true);       // left by a killed save
    make(".a.dsl.lang.trelvo-Q1w2E3", true);  // of a side file
    // The user's files of similar names stay, however old.
    const std::vector<std::string> similar = {
        "a.dsl.trelvo-Ab12Cd", ".a.dsl.trelvo-Ab12C", ".a.dsl.trelvo-Ab12Cde", ".a.dsl.trelvo-Ab12C_",
        ".trelvo-Ab12Cd", ".a.dsl.trelvo_Ab12Cd", "a.dsl.Ab12Cd", ".a.dsl.Trelvo-Ab12Cd"};
    for (const std::string& name : similar) make(name, true);
    // So do a folder and a link of the very pattern, and the file the link names.
    fs::create_directory(path(".b.dsl.trelvo-Dir123"));
    makeOld(path(".b.dsl.trelvo-Dir123"));
    make("cil.txt", true);
    fs::create_symlink("cil.txt", path(".c.dsl.trelvo-Ln4kLn"));
    makeOld(path(".c.dsl.trelvo-Ln4kLn"));

    const int saving = ::open(path(".a.dsl.trelvo-Ab12Cd").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(saving, LOCK_EX), 0);

    DictionaryStore store;
    store.scanCatalogue(folder_.string());
    EXPECT_EQ(store.cataloguePaths, (std::vector<std::string>{dictionary}));
    EXPECT_TRUE(fs::exists(path(".a.dsl.trelvo-Ab12Cd")));
    EXPECT_FALSE(fs::exists(path(".a.dsl.trelvo-Fr3sh1")));
    EXPECT_FALSE(fs::exists(path(".a.dsl.trelvo-zZ09xy")));
    EXPECT_FALSE(fs::exists(path(".a.dsl.lang.trelvo-Q1w2E3")));
    for (const std::string& name : similar) EXPECT_TRUE(fs::exists(path(name))) << name;
    EXPECT_TRUE(fs::is_directory(path(".b.dsl.trelvo-Dir123")));
    EXPECT_TRUE(fs::is_symlink(path(".c.dsl.trelvo-Ln4kLn")));
    EXPECT_TRUE(fs::exists(path("cil.txt")));
    ::close(saving);
    store.scanCatalogue(folder_.string());
    EXPECT_FALSE(fs::exists(path(".a.dsl.trelvo-Ab12Cd"))) << "its save has ended without it";
}

TEST_F(DictionaryStoreTest, OpeningADictionaryAnywhereRemovesTheLeftoversBesideIt) {
    fs::create_directory(path("elsewhere"));
    const std::string dictionary = write("elsewhere/a.dsl", "Jinde");
    std::ofstream(path("elsewhere/.a.dsl.trelvo-K1ll3d")) << "DSL";
    std::ofstream(path("elsewhere/.b.txt.trelvo-K1ll3d")) << "text";
    std::ofstream(path("elsewhere/b.txt")) << "the user's";
    DictionaryStore store;
    ASSERT_TRUE(store.openEntries(dictionary));
    EXPECT_FALSE(fs::exists(path("elsewhere/.a.dsl.trelvo-K1ll3d")));
    EXPECT_FALSE(fs::exists(path("elsewhere/.b.txt.trelvo-K1ll3d")));
    EXPECT_TRUE(fs::exists(path("elsewhere/b.txt")));
}

TEST_F(DictionaryStoreTest, OpeningKeysEachLanguageWithItsOwnTable) {
    EntryList entries;
    entries.append("b", "\xC1", "", 0);  // 0xC1: Á in 1250, А in 1251
    entries.append("a", "\xC2", "", 0);
    entries.append("c", "\xC0", "", 0);
    std::string file = write("x.dsl", "X", entries, {238, 204});
    CharacterTables tables;
    // Only the Cyrillic table folds and orders those bytes, the other way round.
    tables.loadCharacterTablesFromText("sr 2\n\xC2\n\xC1\n\xC0\n/sr\n");
    DictionaryStore store;
    ASSERT_TRUE(store.openFile(file, tables));
    EXPECT_EQ(store.header.filePath, file);
    EXPECT_EQ(order(store.indexes[0]), (std::vector<std::uint32_t>{1, 0, 2}));
    EXPECT_EQ(order(store.indexes[1]), (std::vector<std::uint32_t>{1, 0, 2}));
    EXPECT_EQ(store.tableOf(1), 2);
}

TEST_F(DictionaryStoreTest, FailedOpenKeepsTheActiveDictionary) {
    EntryList entries;
    entries.append("term", "překlad", "", 0);
    std::string good = write("good.dsl", "Dobrý", entries);
    std::ofstream(path("bad.dsl")) << "DSL\x05\x00garbage";
    CharacterTables tables;
    DictionaryStore store;
    ASSERT_TRUE(store.openFile(good, tables));
    EXPECT_FALSE(store.openFile(path("bad.dsl"), tables));
    EXPECT_FALSE(store.openFile(path("missing.dsl"), tables));
    EXPECT_EQ(store.header.filePath, good);
    EXPECT_EQ(store.header.name, "Dobrý");
    EXPECT_EQ(store.entryCount(), 1u);
    EXPECT_EQ(store.indexes[0].size(), 1u);
}

TEST_F(DictionaryStoreTest, RemovingEntryThreeOfTenRenumbersBothIndexes) {
    EntryList entries;
    for (int n = 0; n < 10; ++n) entries.append("t" + std::to_string(9 - n), "u" + std::to_string(n), "", 0);
    CharacterTables tables;
    DictionaryStore store;
    ASSERT_TRUE(store.openFile(write("x.dsl", "X", entries), tables));
    store.removeEntry(3);
    EXPECT_EQ(store.entryCount(), 9u);
    EXPECT_EQ(order(store.indexes[0]), (std::vector<std::uint32_t>{8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(order(store.indexes[1]), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(store.findIndexPosition(0, 9), store.indexes[0].size());
    EXPECT_EQ(store.entries.term(3), "t5");
}

TEST_F(DictionaryStoreTest, AddedEntryIsIndexedBehindEqualKeys) {
    CharacterTables tables;
    EntryList entries;
    entries.append("vlak", "train", "", 0);
    DictionaryStore store;
    ASSERT_TRUE(store.openFile(write("x.dsl", "X", entries), tables));
    std::uint32_t n = store.appendEntry("Vlak", "train set", "", efUserModified);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(store.insertIndexRecord(0, tables.makeCollationKey("Vlak", store.tableOf(0)), n), 1u);
    EXPECT_EQ(store.findIndexPosition(0, 1), 1u);
    store.removeIndexRecord(0, 0);
    EXPECT_EQ(store.findIndexPosition(0, 0), store.indexes[0].size());
}

TEST_F(DictionaryStoreTest, SavingWritesTheFileAndNeedsAnOpenDictionary) {
    DictionaryStore store;
    EXPECT_FALSE(store.saveDictionary());
    CharacterTables tables;
    std::string file = write("x.dsl", "X");
    ASSERT_TRUE(store.openFile(file, tables));
    store.appendEntry("návěstidlo", "signal", "", efUserModified);
    ASSERT_TRUE(store.saveDictionary());
    DictionaryStore again;
    ASSERT_TRUE(again.openFile(file, tables));
    EXPECT_EQ(again.entries, store.entries);
    fs::remove_all(folder_);
    EXPECT_FALSE(store.saveDictionary()) << "the folder is gone";
}

TEST_F(DictionaryStoreTest, ASaveOverAFileAnotherProgramWroteIsAskedForFirst) {
    CharacterTables tables;
    EntryList theirs;
    theirs.append("kolej", "track", "", 0);
    const std::string file = write("x.dsl", "X");
    DictionaryStore store;
    ASSERT_TRUE(store.openFile(file, tables));
    store.appendEntry("návěstidlo", "signal", "", efUserModified);
    int asked = 0;
    auto answer = [&asked](bool overwrite) {
        return [&asked, overwrite] {
            ++asked;
            return overwrite;
        };
    };
    auto entriesOnDisk = [&] {
        DictionaryStore disk;
        EXPECT_TRUE(disk.openFile(file, tables));
        return disk.entries;
    };
    constexpr std::chrono::milliseconds wait{0};

    ASSERT_EQ(store.saveGuarded(answer(false), wait), DictionaryStore::SaveOutcome::saved);
    EXPECT_EQ(asked, 0) << "the file is the one opened";
    write("x.dsl", "X", theirs);  // another program's save
    EXPECT_EQ(store.saveGuarded(answer(false), wait), DictionaryStore::SaveOutcome::declined);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(entriesOnDisk(), theirs) << "their change stays";
    EXPECT_EQ(store.entryCount(), 1u) << "and so do ours, unsaved";
    ASSERT_EQ(store.saveGuarded(answer(true), wait), DictionaryStore::SaveOutcome::saved);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(entriesOnDisk(), store.entries);
    ASSERT_EQ(store.saveGuarded(answer(false), wait), DictionaryStore::SaveOutcome::saved);
    EXPECT_EQ(asked, 2) << "our own save is no change by another";

    // A write in place keeps the inode and may keep the size: the time tells.
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    const timespec times[2] = {info.st_atim, {info.st_mtim.tv_sec - 60, info.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(store.saveGuarded(answer(false), wait), DictionaryStore::SaveOutcome::declined);
    EXPECT_EQ(asked, 3);

    // So does a file that vanished; Ano writes it again.
    fs::remove(file);
    ASSERT_EQ(store.saveGuarded(answer(true), wait), DictionaryStore::SaveOutcome::saved);
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(entriesOnDisk(), store.entries);
}

TEST_F(DictionaryStoreTest, ASaveWaitsForTheDictionarysLockAndGivesUpBusy) {
    CharacterTables tables;
    const std::string file = write("x.dsl", "X");
    DictionaryStore store;
    ASSERT_TRUE(store.openFile(file, tables));
    store.appendEntry("návěstidlo", "signal", "", efUserModified);
    DictionaryLock otherProgram;
    ASSERT_EQ(otherProgram.lock(file, std::chrono::milliseconds(0)), DictionaryLock::Outcome::locked);
    const auto before = fs::file_size(file);
    EXPECT_EQ(store.saveGuarded([] { return true; }, std::chrono::milliseconds(20)),
              DictionaryStore::SaveOutcome::busy);
    EXPECT_EQ(fs::file_size(file), before) << "nothing written";
    otherProgram.release();
    EXPECT_EQ(store.saveGuarded([] { return true; }, std::chrono::milliseconds(0)),
              DictionaryStore::SaveOutcome::saved);
    DictionaryStore closed;
    EXPECT_EQ(closed.saveGuarded([] { return true; }, std::chrono::milliseconds(0)),
              DictionaryStore::SaveOutcome::failed);
}

TEST_F(DictionaryStoreTest, RebuildDoesNothingWithoutAnOpenDictionary) {
    DictionaryStore store;
    store.appendEntry("a", "b", "", 0);
    store.rebuildIndexes(CharacterTables{});
    EXPECT_TRUE(store.indexes[0].empty());
}

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <zlib.h>

#include "core/editing/RecoveryJournal.h"
#include "core/dictionary/SmallDisk.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;
using support::readBytes;
using support::writeBytes;
namespace fs = std::filesystem;

namespace {

DictionaryChange edit(std::uint32_t n, const std::string& before, const std::string& after) {
    DictionaryChange change;
    change.kind = ChangeKind::edited;
    change.removed.append(before, "points", "", efDefault);
    change.removedNumbers = {n};
    change.added.append(after, "points", "pozn.", efUserModified);
    change.addedNumbers = {n};
    return change;
}

DictionaryChange properties() {
    DictionaryChange change;
    change.kind = ChangeKind::properties;
    DictionaryHeader before, after;
    before.name = "Stary";
    after.name = "Novy";
    after.languageCharset = {238, 204};
    after.languageImage[0] = std::string("BM\0\xff", 4);
    change.headerBefore = before;
    change.headerAfter = after;
    return change;
}

DictionaryChange import(int count) {
    DictionaryChange change;
    change.kind = ChangeKind::imported;
    for (int i = 0; i < count; ++i) {
        change.added.append("term" + std::to_string(i), std::string(300, 'x'), "", efImported);
        change.addedNumbers.push_back(static_cast<std::uint32_t>(1000 + i));
    }
    return change;
}

// Changes are equal when they write the same record: the record holds every field.
void expectSame(const std::vector<DictionaryChange>& expected, const std::vector<DictionaryChange>& got) {
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(journalRecord(got[i]), journalRecord(expected[i])) << i;
}

class RecoveryJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* before = std::getenv("XDG_DATA_HOME");
        savedDataHome_ = before ? std::optional<std::string>(before) : std::nullopt;
        fs::create_directories(folder_.path() / "data");
        ::setenv("XDG_DATA_HOME", folder_.file("data").c_str(), 1);
        fs::create_directories(folder_.path() / "DSL");
        dictionary_ = fs::canonical(folder_.path()).string() + "/DSL/slovnik.dsl";
        writeBytes(dictionary_, "not read here");
    }
    void TearDown() override {
        if (savedDataHome_) ::setenv("XDG_DATA_HOME", savedDataHome_->c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
    }

    support::TemporaryFolder folder_{"trelvo-recovery"};
    std::optional<std::string> savedDataHome_;
    std::string dictionary_;
    std::vector<DictionaryChange> changes_{edit(3, "vyhybka", "výhybka"), properties(), import(3), {}};
};

}  // namespace

TEST_F(RecoveryJournalTest, ChangesLeftByAWindowThatEndedAreFoundBesideTheFileWithItsState) {
    const FileIdentity identity = FileIdentity::of(dictionary_);
    {
        RecoveryJournal journal;
        journal.begin(dictionary_, identity);
        EXPECT_TRUE(journal.file().empty()) << "no file before the first change";
        for (const DictionaryChange& change : changes_) EXPECT_TRUE(journal.append(change));
        journal.sync();
        EXPECT_EQ(journal.file(), fs::path(dictionary_).parent_path().string() + "/.slovnik.dsl.trelvo-journal");
        EXPECT_EQ(journal.size(), changes_.size());
        expectSame(changes_, journal.changes());
        EXPECT_TRUE(leftJournals(dictionary_).empty()) << "a journal in use is no leftover";
    }
    const std::vector<LeftJournal> left = leftJournals(dictionary_);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].contents.dictionaryPath, dictionary_);
    EXPECT_TRUE(left[0].contents.identity == identity);
    EXPECT_FALSE(left[0].contents.cut);
    expectSame(changes_, left[0].contents.changes);
    // Through a link the same file, and the same journal.
    fs::create_symlink(dictionary_, folder_.file("odkaz.dsl"));
    EXPECT_EQ(leftJournals(folder_.file("odkaz.dsl")).size(), 1u);
    removeLeftJournal(left[0].file);
    EXPECT_TRUE(leftJournals(dictionary_).empty());
}

TEST_F(RecoveryJournalTest, ASaveOrANewBeginningRemovesTheJournalAndASecondWindowKeepsItsOwn) {
    RecoveryJournal first, second;
    first.begin(dictionary_, FileIdentity::of(dictionary_));
    second.begin(dictionary_, FileIdentity::of(dictionary_));
    first.append(changes_[0]);
    second.append(changes_[1]);
    EXPECT_NE(first.file(), second.file());
    expectSame({changes_[0]}, first.changes());
    expectSame({changes_[1]}, second.changes());
    const std::string firstFile = first.file();
    first.discard();
    EXPECT_FALSE(fs::exists(firstFile));
    EXPECT_EQ(first.size(), 0u);
    EXPECT_TRUE(fs::exists(second.file())) << "the other window's journal stays";
    // After a save the journal starts again from the saved state.
    second.begin(dictionary_, FileIdentity::of(dictionary_));
    EXPECT_EQ(second.size(), 0u);
    EXPECT_TRUE(second.changes().empty());
    for (const auto& item : fs::directory_iterator(fs::path(dictionary_).parent_path()))
        EXPECT_EQ(item.path().filename().string().find("journal"), std::string::npos) << item.path();
}

TEST_F(RecoveryJournalTest, ChangesMergedIntoAnotherSaveApplyToThatSaveFromThenOn) {
    FileIdentity saved;
    {
        RecoveryJournal journal;
        journal.begin(dictionary_, FileIdentity::of(dictionary_));
        journal.append(changes_[0]);
        journal.append(changes_[1]);
        writeBytes(dictionary_, "another program's save");
        saved = FileIdentity::of(dictionary_);
        journal.rebase(saved);
        journal.append(changes_[2]);
        expectSame({changes_[0], changes_[1], changes_[2]}, journal.changes());
    }
    const std::vector<LeftJournal> left = leftJournals(dictionary_);
    ASSERT_EQ(left.size(), 1u) << "the journal of the old state is gone";
    EXPECT_TRUE(left[0].contents.identity == saved);
    expectSame({changes_[0], changes_[1], changes_[2]}, left[0].contents.changes);
}

TEST_F(RecoveryJournalTest, AJournalCutAtAnyByteKeepsTheWholeRecordsBeforeTheCut) {
    const std::string beginning = journalBeginning(dictionary_, FileIdentity::of(dictionary_));
    std::string bytes = beginning;
    std::vector<std::size_t> ends;  // where each record ends
    for (const DictionaryChange& change : changes_) {
        bytes += journalRecord(change);
        ends.push_back(bytes.size());
    }
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        const std::optional<RecoveryJournalContents> contents = parseRecoveryJournal(bytes.substr(0, length));
        if (length < beginning.size()) {
            EXPECT_FALSE(contents) << length;
            continue;
        }
        ASSERT_TRUE(contents) << length;
        std::size_t whole = 0;
        while (whole < ends.size() && ends[whole] <= length) ++whole;
        ASSERT_EQ(contents->changes.size(), whole) << length;
        EXPECT_EQ(contents->cut, length != beginning.size() && (whole == 0 || ends[whole - 1] != length)) << length;
    }
    // A journal cut in the file is found with what it kept.
    const std::string journal = fs::path(dictionary_).parent_path().string() + "/.slovnik.dsl.trelvo-journal";
    writeBytes(journal, bytes.substr(0, ends[1] + 5));
    ::chmod(journal.c_str(), 0600);
    const std::vector<LeftJournal> left = leftJournals(dictionary_);
    ASSERT_EQ(left.size(), 1u);
    expectSame({changes_[0], changes_[1]}, left[0].contents.changes);
}

TEST_F(RecoveryJournalTest, DamagedRecordsAbsurdLengthsAndCountsEndTheJournalCleanly) {
    const std::string beginning = journalBeginning(dictionary_, FileIdentity::of(dictionary_));
    const std::string first = journalRecord(changes_[0]);
    const std::string second = journalRecord(changes_[2]);
    auto parsedCount = [&](const std::string& rest) {
        const auto contents = parseRecoveryJournal(beginning + first + rest);
        EXPECT_TRUE(contents && contents->cut);
        return contents ? contents->changes.size() : 99;
    };
    // A byte of the record changed: the checksum tells.
    std::string flipped = second;
    flipped[flipped.size() / 2] ^= 0x20;
    EXPECT_EQ(parsedCount(flipped + first), 1u);
    // A length near 4 GiB, and near the end of the bytes.
    EXPECT_EQ(parsedCount(std::string("\xf0\xff\xff\xff\0\0\0\0", 8) + second), 1u);
    // Bodies whose checksums fit (CRC-32, as zlib takes it) but whose entry
    // counts or text lengths are absurd.
    auto withChecksum = [](const std::string& body) {
        std::string record;
        const auto sum = static_cast<std::uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                            static_cast<uInt>(body.size())));
        for (std::uint32_t n : {static_cast<std::uint32_t>(body.size()), sum})
            for (int i = 0; i < 4; ++i) record.push_back(static_cast<char>(n >> (8 * i)));
        return record + body;
    };
    DictionaryChange nothingAdded;
    nothingAdded.kind = ChangeKind::added;
    ASSERT_EQ(withChecksum(std::string(10, '\0')), journalRecord(nothingAdded)) << "the checksum is CRC-32";
    EXPECT_EQ(parsedCount(withChecksum(std::string("\x07\x00\xff\xff\xff\xff", 6)) + second), 1u);
    EXPECT_EQ(parsedCount(withChecksum(std::string("\x07\x00\x01\0\0\0\0\0\0\0\0\0\0\0\xff\xff\xff\x7f", 18))), 1u);
    // Bytes left behind a whole change.
    EXPECT_EQ(parsedCount(withChecksum(std::string(10, '\0') + "x")), 1u);
    EXPECT_EQ(parsedCount(std::string("garbage!") + second), 1u);
    EXPECT_EQ(parsedCount(std::string(200, '\xff')), 1u);
    // An unknown kind of change, or headers said to follow that do not.
    std::string unknown = journalRecord(changes_[0]);
    EXPECT_EQ(parsedCount(unknown.substr(0, 8) + "\x63" + unknown.substr(9)), 1u);
    // Not a journal at all.
    EXPECT_FALSE(parseRecoveryJournal("garbage"));
    EXPECT_FALSE(parseRecoveryJournal(std::string(64, '\0')));
    EXPECT_FALSE(parseRecoveryJournal("TRELVOJ1" + std::string(8, '\xff')));
}

TEST_F(RecoveryJournalTest, AJournalOfAnotherFileOrOfAnotherUserIsLeftAlone) {
    const std::string journal = fs::path(dictionary_).parent_path().string() + "/.slovnik.dsl.trelvo-journal";
    // Another file's journal under this file's name, as a copied folder leaves it.
    writeBytes(journal, journalBeginning("/elsewhere/slovnik.dsl", FileIdentity::of(dictionary_)) +
                            journalRecord(changes_[0]));
    ::chmod(journal.c_str(), 0600);
    EXPECT_TRUE(leftJournals(dictionary_).empty());
    removeLeftJournal(journal);  // nothing that leftJournals did not find is asked for; it is the caller's
    writeBytes(journal, journalBeginning(dictionary_, FileIdentity::of(dictionary_)) + journalRecord(changes_[0]));
    ::chmod(journal.c_str(), 0622);
    EXPECT_TRUE(leftJournals(dictionary_).empty()) << "one that others could write into";
    ::chmod(journal.c_str(), 0600);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(journal.c_str(), 65534, 65534), 0);
        EXPECT_TRUE(leftJournals(dictionary_).empty()) << "another user's";
        ASSERT_EQ(::chown(journal.c_str(), 0, 0), 0);
    }
    fs::remove(journal);
    fs::create_symlink(folder_.file("data"), journal);
    EXPECT_TRUE(leftJournals(dictionary_).empty()) << "a link at the name";
    EXPECT_TRUE(leftJournals(folder_.file("none.dsl")).empty());
}

TEST_F(RecoveryJournalTest, AFullDiskSendsTheJournalToTheUserFolderOrKeepsTheChangesInMemory) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small disk needs root";
    SmallDisk disk(folder_.file("disk.img"), folder_.path() / "disk", 512);
    if (!disk.mounted()) GTEST_SKIP() << "no loop device to mount a small disk on";
    const std::string path = fs::canonical(folder_.path() / "disk").string() + "/plny.dsl";
    writeBytes(path, "x");
    disk.fill(0);
    {
        RecoveryJournal journal;
        journal.begin(path, FileIdentity::of(path));
        EXPECT_TRUE(journal.append(changes_[0]));
        EXPECT_EQ(fs::path(journal.file()).parent_path(), fs::path(folder_.file("data")) / "trelvo");
        EXPECT_NE(journal.file().find(".plny.dsl."), std::string::npos);
    }
    ASSERT_EQ(leftJournals(path).size(), 1u);
    removeLeftJournal(leftJournals(path)[0].file);

    // The journal beside the file, on a disk that fills up while it grows.
    writeBytes(path, "");
    disk.fill(8 * 1024);
    RecoveryJournal journal;
    journal.begin(path, FileIdentity::of(path));
    ASSERT_TRUE(journal.append(changes_[0]));
    EXPECT_EQ(fs::path(journal.file()).parent_path(), fs::path(path).parent_path());
    EXPECT_FALSE(journal.append(import(100)));
    EXPECT_FALSE(journal.append(changes_[1])) << "what follows a change that could not be written waits too";
    expectSame({changes_[0], import(100), changes_[1]}, journal.changes());
    const std::string left = readBytes(journal.file());
    const auto contents = parseRecoveryJournal(left);
    ASSERT_TRUE(contents);
    EXPECT_FALSE(contents->cut) << "the file keeps whole records only";
    expectSame({changes_[0]}, contents->changes);
    journal.discard();
}

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/dictionary/DictionaryFile.h"
#include "core/editing/ChangeReplay.h"
#include "core/exchange/TextImport.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;
namespace fs = std::filesystem;

namespace {

class ChangeReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        header_.name = "Zkusebni";
        header_.languageName = {"Cestina", "Anglictina"};
        header_.languageCharset = {238, 0};
        for (int i = 0; i < 1000; ++i)
            entries_.append("term" + std::to_string(i), "word" + std::to_string(i), "", efDefault);
        path_ = folder_.file("slovnik.dsl");
        ASSERT_TRUE(writeDictionaryFile(header_, entries_, path_));
        ASSERT_TRUE(store_.openFile(path_, tables_));
        store_.catalogueNames = {"Zkusebni"};
        store_.cataloguePaths = {path_};
    }

    // Changes as the window makes them: each applied at once and kept.
    void edit(std::uint32_t n, const std::string& term) {
        const DictionaryEntry before = store_.entries.entry(n);
        store_.entries.setText(n, 0, term);
        store_.entries.setFlags(n, efUserModified);
        changes_.push_back(DictionaryChange::entryEdited(store_, n, before));
        store_.rebuildIndexes(tables_);
    }
    void remove(std::uint32_t n) {
        const DictionaryEntry before = store_.entries.entry(n);
        store_.removeEntry(n);
        changes_.push_back(DictionaryChange::entryDeleted(n, before));
    }
    void add(const std::string& term) {
        const std::uint32_t n = store_.appendEntry(term, "new", "", efUserModified);
        store_.rebuildIndexes(tables_);
        changes_.push_back(DictionaryChange::entryAdded(store_, n));
    }
    std::size_t count(const EntryList& entries, const std::string& term) const {
        std::size_t found = 0;
        for (std::size_t n = 0; n < entries.size(); ++n) found += entries.term(n) == term;
        return found;
    }

    support::TemporaryFolder folder_{"trelvo-replay"};
    CharacterTables tables_;
    DictionaryHeader header_;
    EntryList entries_;
    std::string path_;
    DictionaryStore store_;
    std::vector<DictionaryChange> changes_;
};

}  // namespace

TEST_F(ChangeReplayTest, AMergeTakesTheOtherSaveAndReplaysThisWindowsChangesKeepingBothVersionsOfAConflict) {
    edit(10, "vyhybka");
    remove(20);  // term20
    add("navestidlo");
    edit(600, "kolej");

    // Meanwhile another program saves its own changes to the file.
    EntryList other = entries_;
    other.setText(601, 0, "kolejnice");  // the same entry: this window deleted one before it
    other.remove(500);
    other.append("prejezd", "crossing", "", efUserModified);
    ASSERT_TRUE(writeDictionaryFile(header_, other, path_));

    const std::optional<ReplayCounts> counts = mergeOntoFile(store_, changes_, tables_);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->changes, 4u);
    EXPECT_EQ(counts->conflicts, 1u) << "term601 changed on both sides";
    const EntryList& merged = store_.entries;
    EXPECT_EQ(merged.size(), 1000u - 1 - 1 + 1 + 1 + 1);
    EXPECT_EQ(count(merged, "vyhybka"), 1u);
    EXPECT_EQ(count(merged, "term10"), 0u);
    EXPECT_EQ(count(merged, "term20"), 0u);
    EXPECT_EQ(count(merged, "term601"), 0u);
    EXPECT_EQ(count(merged, "term500"), 0u) << "the other program's deletion stays";
    EXPECT_EQ(count(merged, "prejezd"), 1u);
    EXPECT_EQ(count(merged, "navestidlo"), 1u);
    EXPECT_EQ(count(merged, "kolejnice"), 1u) << "the other program's version stays";
    ASSERT_EQ(count(merged, "kolej"), 1u) << "and this window's is beside it";
    for (std::size_t n = 0; n < merged.size(); ++n)
        if (merged.term(n) == "kolej") {
            EXPECT_EQ(merged.flags(n), efUserModified);
        }
    EXPECT_TRUE(store_.fileIdentity == FileIdentity::of(path_));
    EXPECT_EQ(store_.header.filePath, path_);
    EXPECT_EQ(store_.cataloguePaths.size(), 1u) << "the catalogue stays";
    // The indexes, built once behind the last change, are those of the merged entries.
    DictionaryStore rebuilt;
    rebuilt.header = store_.header;
    rebuilt.entries = merged;
    rebuilt.rebuildIndexes(tables_);
    for (std::size_t k = 0; k < 2; ++k) {
        ASSERT_EQ(store_.indexes[k].size(), merged.size());
        for (std::size_t i = 0; i < merged.size(); ++i)
            ASSERT_EQ(store_.indexes[k].entryNumber(i), rebuilt.indexes[k].entryNumber(i)) << k << " " << i;
    }

    // A file that can no longer be read leaves the window as it was.
    const EntryList before = store_.entries;
    fs::remove(path_);
    EXPECT_FALSE(mergeOntoFile(store_, changes_, tables_));
    EXPECT_TRUE(store_.entries == before);
    EXPECT_EQ(store_.header.filePath, path_);
}

TEST_F(ChangeReplayTest, TheEntriesPutInAreThoseNotTakenOutAgainAndTheImportReadsThemBack) {
    add("A");
    edit(store_.entryCount() - 1, "B");  // A is edited to B
    add("C");
    remove(static_cast<std::uint32_t>(store_.entryCount() - 1));  // C deleted again
    edit(5, "Y");
    remove(7);
    const EntryList put = entriesPutIn(changes_);
    ASSERT_EQ(put.size(), 2u);
    EXPECT_EQ(put.term(0), "B");
    EXPECT_EQ(put.term(1), "Y");

    const std::string saved = saveForImport(store_.header, put);
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(fs::path(saved).parent_path(), folder_.path());
    EXPECT_EQ(fs::path(saved).extension(), ".csv");
    const std::string second = saveForImport(store_.header, put);
    EXPECT_NE(second, saved) << "a file left from before is not overwritten";

    DictionaryStore fresh;
    fresh.header = store_.header;
    const std::string bytes = support::readBytes(saved);
    const ImportResult result = importFile(fresh, tables_, saved, bytes, [](std::size_t) { return true; });
    EXPECT_EQ(result.outcome, ImportOutcome::imported);
    ASSERT_EQ(fresh.entryCount(), 2u);
    EXPECT_EQ(fresh.entries.term(0), "B");
    EXPECT_EQ(fresh.entries.translation(1), "word5");
}

TEST_F(ChangeReplayTest, ChangesThatWouldPassTheLimitsAreReplayedAllOrNone) {
    add("A");
    add("B");
    remove(3);
    add("C");
    const std::vector<DictionaryChange> changes = changes_;
    DictionaryStore fresh;
    ASSERT_TRUE(fresh.openFile(path_, tables_));
    const EntryList before = fresh.entries;

    // Each change may be beyond the limit on the way: the result alone counts.
    fresh.limits.entryCount = 1002;
    ReplayCounts counts = replayChanges(fresh, changes, tables_);
    EXPECT_FALSE(counts.tooLarge);
    EXPECT_EQ(counts.changes, 4u);
    EXPECT_TRUE(fresh.entries == store_.entries);
    ASSERT_EQ(fresh.indexes[0].size(), fresh.entryCount()) << "indexed again";

    fresh.entries = before;
    fresh.rebuildIndexes(tables_);
    fresh.limits.entryCount = 1001;
    counts = replayChanges(fresh, changes, tables_);
    EXPECT_TRUE(counts.tooLarge);
    EXPECT_EQ(counts.changes, 0u);
    EXPECT_TRUE(fresh.entries == before);
    EXPECT_EQ(fresh.indexes[0].size(), before.size());

    // A merge that would pass them leaves the window and the file as they were.
    store_.limits.fileSize = storedSize(header_, entries_) + 10;
    const EntryList mine = store_.entries;
    const std::string file = support::readBytes(path_);
    const std::optional<ReplayCounts> merged = mergeOntoFile(store_, changes, tables_);
    ASSERT_TRUE(merged);
    EXPECT_TRUE(merged->tooLarge);
    EXPECT_TRUE(store_.entries == mine);
    EXPECT_EQ(store_.cataloguePaths.size(), 1u);
    EXPECT_EQ(support::readBytes(path_), file);
    EXPECT_NE(tooLargeReplayMessage(path_, store_.limits).find("nic se nezměnilo"), std::string::npos);
}

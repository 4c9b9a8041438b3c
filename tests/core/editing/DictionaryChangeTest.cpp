#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/dictionary/DictionaryFile.h"
#include "core/editing/DictionaryChange.h"
#include "core/editing/EntryEditing.h"

using namespace trelvo;

namespace {

constexpr std::size_t entryCount = 1200;

// Everything of a store that a change may touch, for comparing two stores byte for byte.
struct Snapshot {
    DictionaryHeader header;
    EntryList entries;
    std::vector<std::pair<std::string, std::uint32_t>> records[2];

    explicit Snapshot(const DictionaryStore& store) : header(store.header), entries(store.entries) {
        for (std::size_t k = 0; k < 2; ++k)
            for (std::size_t i = 0; i < store.indexes[k].size(); ++i)
                records[k].emplace_back(store.indexes[k].key(i), store.indexes[k].entryNumber(i));
    }
    bool operator==(const Snapshot& other) const {
        return header == other.header && entries == other.entries && records[0] == other.records[0] &&
               records[1] == other.records[1];
    }
};

class DictionaryChangeTest : public ::testing::Test {
protected:
    void SetUp() override { fill(store); }

    // Terms repeat every 400 entries, and every 100th entry has a twin equal in all.
    void fill(DictionaryStore& s) const {
        s.header.filePath = "/memory.dsl";
        s.header.name = "Zab\xE9zpe\xE8" "en\xED";
        for (std::size_t n = 0; n < entryCount; ++n) {
            const std::size_t t = n % 100 == 1 ? n - 1 : n;
            s.entries.append("term" + std::to_string(t % 400), "translation" + std::to_string(t % 7),
                             t % 3 ? "" : "note" + std::to_string(t), t % 5 ? efDefault : efImported);
        }
        s.rebuildIndexes(tables);
    }

    // After a change the indexes hold what a build from the entries gives.
    void expectIndexesBuilt(const DictionaryStore& s) const {
        DictionaryStore built;
        built.header = s.header;
        built.entries = s.entries;
        built.rebuildIndexes(tables);
        EXPECT_TRUE(Snapshot(s) == Snapshot(built));
    }

    // Undoing change (made from `before` to the store now) gives `before` back
    // exactly; doing it again gives the changed entries.
    void expectRoundTrip(const Snapshot& before, const DictionaryChange& change) {
        const Snapshot after(store);
        const ChangeApplication back = applyChange(store, change.inverse(), tables);
        EXPECT_EQ(back.conflicts, 0u);
        EXPECT_TRUE(Snapshot(store) == before);
        const ChangeApplication again = applyChange(store, change, tables);
        EXPECT_EQ(again.conflicts, 0u);
        EXPECT_TRUE(store.entries == after.entries);
        EXPECT_TRUE(store.header == after.header);
        expectIndexesBuilt(store);
    }

    DictionaryStore store;
    CharacterTables tables;
};

}  // namespace

TEST_F(DictionaryChangeTest, EachKindOfEntryChangeIsTakenBackExactly) {
    EntryEditing editing(store, tables, 0, 1);
    {
        const Snapshot before(store);
        std::size_t position = 0;
        ASSERT_TRUE(editing.addEntry("term17", "novy", position));
        const auto n = static_cast<std::uint32_t>(store.entryCount() - 1);
        const DictionaryChange change = DictionaryChange::entryAdded(store, n);
        const ChangeApplication undone = applyChange(store, change.inverse(), tables);
        EXPECT_TRUE(Snapshot(store) == before);
        EXPECT_EQ(undone.focus, n - 1) << "the entry now where the added one was";
        EXPECT_EQ(applyChange(store, change, tables).focus, n);
        EXPECT_EQ(store.entries.translation(n), "novy");
        applyChange(store, change.inverse(), tables);
    }
    {
        // Entry 200 has a twin at 201, and equal terms at 600 and 1000.
        const Snapshot before(store);
        const std::size_t position = store.indexes[0].find(200);
        const DictionaryEntry old = store.entries.entry(200);
        ASSERT_TRUE(editing.commitCellEdit(0, position, "aaa"));
        const DictionaryChange change = DictionaryChange::entryEdited(store, 200, old);
        EXPECT_EQ(change.kind, ChangeKind::edited);
        expectRoundTrip(before, change);
        EXPECT_EQ(store.entries.term(200), "aaa");
        EXPECT_EQ(store.entries.flags(200), efUserModified);
        EXPECT_EQ(applyChange(store, change.inverse(), tables).focus, 200u);
    }
    {
        const Snapshot before(store);
        const DictionaryEntry old = store.entries.entry(201);
        editing.deleteEntry(store.indexes[0].find(201));
        const DictionaryChange change = DictionaryChange::entryDeleted(201, old);
        expectRoundTrip(before, change);
        EXPECT_EQ(store.entryCount(), entryCount - 1);
        EXPECT_EQ(applyChange(store, change.inverse(), tables).focus, 201u);
        EXPECT_TRUE(Snapshot(store) == before) << "the twin back at its own number";
    }
}

TEST_F(DictionaryChangeTest, ChangesOfManyEntriesKeepOnlyWhatDiffers) {
    {
        const Snapshot before(store);
        EntryEditing(store, tables, 0, 1).clearTranslations();
        const DictionaryChange change = DictionaryChange::between(ChangeKind::clearedTranslations, before.entries,
                                                                  store.entries);
        EXPECT_EQ(change.removed.size(), entryCount);
        EXPECT_EQ(change.removedNumbers, change.addedNumbers);
        expectRoundTrip(before, change);
    }
    {
        const Snapshot before(store);
        EntryEditing(store, tables, 0, 1).clearNotes();
        const DictionaryChange change = DictionaryChange::between(ChangeKind::clearedNotes, before.entries,
                                                                  store.entries);
        EXPECT_LT(change.removed.size(), entryCount / 2) << "entries without a note stay out";
        EXPECT_EQ(change.removedNumbers.front(), 0u);
        EXPECT_EQ(change.removedNumbers.back(), 1197u);
        expectRoundTrip(before, change);
    }
    {
        // Entries taken out of the middle and one put in further on: those alone.
        const Snapshot before(store);
        EntryList after;
        for (std::size_t n = 0; n < entryCount; ++n) {
            if (n == 500) after.append("vlozeny", "inserted", "", efImported);
            if (n < 300 || n > 310) after.append(store.entries.entry(n));
        }
        const DictionaryChange change = DictionaryChange::between(ChangeKind::synchronised, store.entries, after);
        EXPECT_EQ(change.removedNumbers.front(), 300u);
        EXPECT_EQ(change.removed.size(), 11u);
        EXPECT_EQ(change.addedNumbers, std::vector<std::uint32_t>{489});
        applyChange(store, change, tables);
        EXPECT_TRUE(store.entries == after);
        expectRoundTrip(before, change);
    }
    {
        const Snapshot before(store);
        const auto from = static_cast<std::uint32_t>(store.entryCount());
        for (int i = 0; i < 150; ++i) store.appendEntry("term" + std::to_string(i), "imp", "", efImported);
        store.rebuildIndexes(tables);
        const DictionaryChange change = DictionaryChange::appended(ChangeKind::imported, store.entries, from);
        EXPECT_EQ(change.added.size(), 150u);
        EXPECT_TRUE(change.removed.empty());
        expectRoundTrip(before, change);
    }
}

TEST_F(DictionaryChangeTest, HeaderChangesKeepThePathAndResortTheIndexes) {
    const Snapshot before(store);
    DictionaryHeader after = store.header;
    after.name = "Jin\xFD";
    after.languageCharset = {204, 1};
    after.filePath = "/elsewhere.dsl";
    const DictionaryChange change = DictionaryChange::headerChanged(store.header, after);
    applyChange(store, change, tables);
    EXPECT_EQ(store.header.name, "Jin\xFD");
    EXPECT_EQ(store.header.filePath, "/memory.dsl");
    expectIndexesBuilt(store);
    applyChange(store, change.inverse(), tables);
    EXPECT_TRUE(Snapshot(store) == before);
    EXPECT_FALSE(change.empty());
    EXPECT_TRUE(DictionaryChange{}.empty());
}

TEST_F(DictionaryChangeTest, EntriesChangedOrDeletedByAnotherProgramAreConflictsThatKeepBoth) {
    const DictionaryEntry old = store.entries.entry(750);
    DictionaryStore mine;
    fill(mine);
    EntryEditing(mine, tables, 0, 1).commitCellEdit(1, mine.indexes[0].find(750), "moje");
    const DictionaryChange edit = DictionaryChange::entryEdited(mine, 750, old);
    const DictionaryChange removal = DictionaryChange::entryDeleted(750, old);

    // The other program changed the same entry.
    store.entries.setText(750, 1, "jejich");
    store.rebuildIndexes(tables);
    ChangeApplication outcome = applyChange(store, edit, tables);
    EXPECT_EQ(outcome.conflicts, 1u);
    ASSERT_EQ(store.entryCount(), entryCount + 1);
    EXPECT_EQ(store.entries.translation(750), "moje");
    EXPECT_EQ(store.entries.flags(750), efUserModified);
    EXPECT_EQ(store.entries.translation(751), "jejich");
    expectIndexesBuilt(store);

    // A deletion of an entry changed elsewhere deletes nothing.
    outcome = applyChange(store, removal, tables);
    EXPECT_EQ(outcome.conflicts, 1u);
    EXPECT_EQ(outcome.applied, 0u);
    EXPECT_EQ(store.entryCount(), entryCount + 1);

    // The other program deleted it: the edit puts the user's version in.
    DictionaryStore deleted;
    fill(deleted);
    deleted.removeEntry(750);
    outcome = applyChange(deleted, edit, tables);
    EXPECT_EQ(outcome.conflicts, 1u);
    EXPECT_EQ(deleted.entryCount(), entryCount);
    EXPECT_EQ(deleted.entries.translation(750), "moje");
}

TEST_F(DictionaryChangeTest, EntriesThatMovedAreFoundByTheirContent) {
    // Another program put 250 entries in front: numbers no longer fit.
    DictionaryStore mine;
    fill(mine);
    const Snapshot before(mine);
    EntryEditing(mine, tables, 0, 1).clearNotes();
    const DictionaryChange many = DictionaryChange::between(ChangeKind::clearedNotes, before.entries, mine.entries);
    const DictionaryEntry old = mine.entries.entry(900);
    mine.entries.setText(900, 0, "presunuty");
    const DictionaryChange one = DictionaryChange::entryEdited(mine, 900, old);

    EntryList front;
    for (int i = 0; i < 250; ++i) front.append("cizi" + std::to_string(i), "foreign", "pozn", efDefault);
    store.entries.prepend(front);
    store.rebuildIndexes(tables);
    ChangeApplication outcome = applyChange(store, many, tables);
    EXPECT_EQ(outcome.conflicts, 0u);
    EXPECT_EQ(outcome.applied, 2 * many.removed.size());
    EXPECT_EQ(store.entryCount(), entryCount + 250);
    for (std::size_t n = 250; n < store.entryCount(); ++n) ASSERT_EQ(store.entries.note(n), "") << n;
    EXPECT_EQ(store.entries.note(0), "pozn") << "the other program's entries are not this change's";

    outcome = applyChange(store, one, tables);
    EXPECT_EQ(outcome.conflicts, 0u);
    EXPECT_EQ(store.entries.term(1150), "presunuty");
    EXPECT_EQ(store.entryCount(), entryCount + 250);
}

TEST_F(DictionaryChangeTest, OnePassOverTheListGivesWhatStepByStepGives) {
    // 100 edits, 100 deletions and 100 insertions as one change go the one-pass way; each as a
    // change of its own goes step by step.
    DictionaryStore stepwise;
    fill(stepwise);
    std::vector<DictionaryChange> steps;
    EntryList after;
    for (std::size_t n = 0; n < entryCount; ++n) {
        if (n % 12 == 5) after.append("vlozeny" + std::to_string(n), "new", "", efUserModified);
        if (n % 12 == 7) continue;
        if (n % 12 == 9) {
            DictionaryEntry edited = store.entries.entry(n);
            edited.translation() += "!";
            edited.flags = efUserModified;
            after.append(edited);
        } else {
            after.append(store.entries.entry(n));
        }
    }
    // The same as one change that keeps in-place edits apart: edits, then deletions, then insertions.
    DictionaryChange edits, deletions, insertions;
    for (std::size_t n = 9; n < entryCount; n += 12) {
        const DictionaryEntry old = store.entries.entry(n);
        DictionaryEntry edited = old;
        edited.translation() += "!";
        edited.flags = efUserModified;
        edits.removed.append(old);
        edits.removedNumbers.push_back(static_cast<std::uint32_t>(n));
        edits.added.append(edited);
        edits.addedNumbers.push_back(static_cast<std::uint32_t>(n));
        DictionaryChange step;
        step.removed.append(old);
        step.removedNumbers.push_back(static_cast<std::uint32_t>(n));
        step.added.append(edited);
        step.addedNumbers.push_back(static_cast<std::uint32_t>(n));
        steps.push_back(step);
    }
    for (std::size_t n = 7; n < entryCount; n += 12) {
        deletions.removed.append(store.entries.entry(n));
        deletions.removedNumbers.push_back(static_cast<std::uint32_t>(n));
    }
    for (std::size_t i = steps.size(); i-- > 0;) {  // the highest number first keeps the lower ones valid
        const std::size_t n = 7 + 12 * i;
        steps.push_back(DictionaryChange::entryDeleted(static_cast<std::uint32_t>(n), store.entries.entry(n)));
    }
    // After the deletions entry 12i + 5 stands at 11i + 5, and the i insertions before it move it back to 12i + 5.
    for (std::size_t n = 5; n < entryCount; n += 12) {
        const auto at = static_cast<std::uint32_t>(n);
        insertions.added.append("vlozeny" + std::to_string(n), "new", "", efUserModified);
        insertions.addedNumbers.push_back(at);
        DictionaryChange step;
        step.added.append("vlozeny" + std::to_string(n), "new", "", efUserModified);
        step.addedNumbers.push_back(at);
        steps.push_back(step);
    }
    for (const DictionaryChange* change : {&edits, &deletions, &insertions}) {
        ASSERT_GT(change->removed.size() + change->added.size(), 64u);
        EXPECT_EQ(applyChange(store, *change, tables).conflicts, 0u);
    }
    for (const DictionaryChange& step : steps) ASSERT_EQ(applyChange(stepwise, step, tables).conflicts, 0u);
    EXPECT_TRUE(store.entries == after);
    EXPECT_TRUE(Snapshot(store) == Snapshot(stepwise));
}

TEST_F(DictionaryChangeTest, EntriesMovedAheadStayOutOfTheChange) {
    // As a synchronisation leaves them: the user's entries (here every fourth) ahead of
    // the edition's, of which a few changed.
    const Snapshot before(store);
    EntryList after;
    for (std::size_t n = 0; n < entryCount; ++n)
        if (store.entries.flags(n) == efImported) after.append(store.entries.entry(n));
    for (std::size_t n = 0; n < entryCount; ++n) {
        if (store.entries.flags(n) == efImported) continue;
        DictionaryEntry e = store.entries.entry(n);
        if (n % 50 == 7) e.translation() = "nove";
        after.append(e);
    }
    const DictionaryChange change = DictionaryChange::between(ChangeKind::synchronised, store.entries, after);
    EXPECT_LT(change.removed.size(), entryCount / 3) << "the moved entries and the changed ones, not all";
    applyChange(store, change, tables);
    EXPECT_TRUE(store.entries == after);
    expectRoundTrip(before, change);
}

TEST_F(DictionaryChangeTest, AnyEditOfTheListIsDoneAndUndoneExactly) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        DictionaryStore s;
        s.header.filePath = "/memory.dsl";
        const std::size_t size = 20 + random() % 200;
        for (std::size_t n = 0; n < size; ++n)
            s.entries.append("t" + std::to_string(random() % 30), "x", "", efDefault);  // many equal entries
        s.rebuildIndexes(tables);
        const Snapshot before(s);
        // Entries taken out, put in, changed and moved, a few or many.
        EntryList after;
        std::vector<DictionaryEntry> moved;
        const unsigned rate = 2 + random() % 40;
        for (std::size_t n = 0; n < size; ++n) {
            DictionaryEntry e = s.entries.entry(n);
            const unsigned dice = random() % rate;
            if (dice == 0) continue;
            if (dice == 1) after.append("new" + std::to_string(random() % 5), "y", "", efUserModified);
            if (dice == 2) e.note() = "edited";
            if (dice == 3) moved.push_back(e);
            else after.append(e);
        }
        for (const DictionaryEntry& e : moved) after.append(e);
        DictionaryChange change = DictionaryChange::between(ChangeKind::merged, s.entries, after);
        applyChange(s, change, tables);
        ASSERT_TRUE(s.entries == after) << "round " << round;
        expectIndexesBuilt(s);
        change.invert();
        EXPECT_EQ(applyChange(s, change, tables).conflicts, 0u);
        ASSERT_TRUE(Snapshot(s) == before) << "round " << round;
    }
}

TEST_F(DictionaryChangeTest, ManySmallChangesReplayedOntoMovedEntriesGiveWhatOneAfterAnotherGives) {
    // Changes made in one window: entries put in, taken out and edited, many
    // equal, more places shifted than the replay's table follows before it is
    // made anew.
    std::mt19937 random(11);
    DictionaryStore mine;
    fill(mine);
    mine.indexed = false;
    std::vector<DictionaryChange> changes;
    for (int i = 0; i < 9000; ++i) {
        const auto n = static_cast<std::uint32_t>(random() % mine.entryCount());
        switch (random() % 3) {
            case 0:
                mine.insertEntry(n, {"novy" + std::to_string(random() % 50), "y", "", efUserModified});
                changes.push_back(DictionaryChange::entryAdded(mine, n));
                break;
            case 1: {
                const DictionaryEntry before = mine.entries.entry(n);
                mine.removeEntry(n);
                changes.push_back(DictionaryChange::entryDeleted(n, before));
                break;
            }
            default: {
                const DictionaryEntry before = mine.entries.entry(n);
                mine.entries.setText(n, 2, "upraveno" + std::to_string(random() % 9));
                changes.push_back(DictionaryChange::entryEdited(mine, n, before));
            }
        }
    }
    // Another program put entries in front and took some out: most numbers no longer fit.
    DictionaryStore other;
    fill(other);
    EntryList front;
    for (int i = 0; i < 37; ++i) front.append("cizi" + std::to_string(i), "foreign", "", efDefault);
    other.entries.prepend(front);
    for (std::uint32_t n = 900; n > 100; n -= 97) other.entries.remove(n);
    other.indexed = false;
    DictionaryStore oneByOne;
    oneByOne.header = other.header;
    oneByOne.entries = other.entries;
    oneByOne.indexed = false;

    const ChangeApplication replayed = applyChanges(other, changes, tables);
    std::size_t conflicts = 0;
    for (const DictionaryChange& change : changes) conflicts += applyChange(oneByOne, change, tables).conflicts;
    EXPECT_GT(conflicts, 0u);
    EXPECT_EQ(replayed.conflicts, conflicts);
    EXPECT_TRUE(other.entries == oneByOne.entries);
}

TEST_F(DictionaryChangeTest, AChangeThatWouldPassTheLimitsChangesNothing) {
    const Snapshot before(store);
    store.limits.entryCount = entryCount;
    store.insertEntry(3, {"navic", "extra", "", efUserModified});
    store.rebuildIndexes(tables);
    const DictionaryChange added = DictionaryChange::entryAdded(store, 3);
    store.removeEntry(3);
    ChangeApplication outcome = applyChange(store, added, tables);
    EXPECT_TRUE(outcome.tooLarge);
    EXPECT_TRUE(Snapshot(store) == before);
    // Taking an entry out makes room, whatever the limits.
    const DictionaryChange deleted = DictionaryChange::entryDeleted(5, store.entries.entry(5));
    EXPECT_FALSE(applyChange(store, deleted, tables).tooLarge);
    EXPECT_EQ(store.entryCount(), entryCount - 1);
    EXPECT_FALSE(applyChange(store, deleted.inverse(), tables).tooLarge);

    // The file's size: an edit that lengthens a text, or a longer name, would pass it; shorter ones do not.
    store.limits.fileSize = storedSize(store.header, store.entries);
    const Snapshot full(store);
    const DictionaryEntry old = store.entries.entry(7);
    DictionaryStore edited = store;
    edited.entries.setText(7, 1, std::string(old.translation()) + "!");
    const DictionaryChange longer = DictionaryChange::entryEdited(edited, 7, old);
    outcome = applyChange(store, longer, tables);
    EXPECT_TRUE(outcome.tooLarge);
    EXPECT_EQ(outcome.applied, 0u);
    EXPECT_TRUE(Snapshot(store) == full);
    DictionaryHeader renamed = store.header;
    renamed.name += "!";
    EXPECT_TRUE(applyChange(store, DictionaryChange::headerChanged(store.header, renamed), tables).tooLarge);
    EXPECT_TRUE(Snapshot(store) == full);
    edited = store;
    edited.entries.setText(7, 1, "");
    EXPECT_FALSE(applyChange(store, DictionaryChange::entryEdited(edited, 7, old), tables).tooLarge) << "shorter";
    EXPECT_EQ(store.entries.translation(7), "");
}

#include <gtest/gtest.h>

#include "core/editing/EntryEditing.h"

using namespace trelvo;

namespace {

class EntryEditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.header.filePath = "/memory.dsl";
        for (auto [term, translation] : {std::pair{"kolej", "track"}, {"navest", "aspect"}, {"vyhybka", "points"}})
            store.entries.append(term, translation, "pozn", efDefault);
        store.rebuildIndexes(tables);
    }

    std::vector<std::string> order(int side) const {
        std::vector<std::string> texts;
        const DictionaryIndex& index = store.indexes[static_cast<std::size_t>(side)];
        for (std::size_t i = 0; i < index.size(); ++i)
            texts.emplace_back(store.entries.text(index.entryNumber(i), side));
        return texts;
    }

    DictionaryStore store;
    CharacterTables tables;
};

}  // namespace

TEST_F(EntryEditingTest, AddedTermsGoBehindEqualOnesInBothLanguages) {
    EntryEditing editing(store, tables, 1, 0);  // the direction reversed: English first
    std::size_t position = 99;
    ASSERT_TRUE(editing.addEntry("points", "vyhybka", position));
    EXPECT_EQ(store.entries.term(3), "vyhybka");
    EXPECT_EQ(store.entries.translation(3), "points");
    EXPECT_EQ(store.entries.flags(3), efUserModified);
    EXPECT_EQ(position, 2u) << "behind the existing points";
    EXPECT_EQ(store.indexes[1].entryNumber(2), 3u);
    EXPECT_EQ(order(0), (std::vector<std::string>{"kolej", "navest", "vyhybka", "vyhybka"}));
}

TEST_F(EntryEditingTest, TypedAndPastedTextsKeepNoTabsOrLineBreaks) {
    EntryEditing editing(store, tables, 0, 1);
    std::size_t position = 99;
    EXPECT_FALSE(editing.addEntry("", "x", position)) << "no entry without a term";
    EXPECT_FALSE(editing.addEntry(" \t\r\n ", "x", position));
    EXPECT_EQ(store.entryCount(), 3u);
    EXPECT_EQ(position, 99u);

    ASSERT_TRUE(editing.addEntry("\tzabezpecovaci\t\tzarizeni\r\n", "interlocking\n\x01system", position));
    EXPECT_EQ(store.entries.term(3), "zabezpecovaci zarizeni");
    EXPECT_EQ(store.entries.translation(3), "interlocking system");
    EXPECT_EQ(store.indexes[0].key(position), tables.makeCollationKey("zabezpecovaci zarizeni", 0));

    EXPECT_FALSE(editing.commitCellEdit(1, 0, "track\r\n")) << "the same text once cleaned";
    ASSERT_TRUE(editing.commitCellEdit(2, 0, "zkr.\tjen\vtak"));
    EXPECT_EQ(store.entries.note(0), "zkr. jen tak");
}

TEST_F(EntryEditingTest, NothingIsAddedWithoutAnOpenDictionary) {
    DictionaryStore closed;
    EntryEditing editing(closed, tables, 0, 1);
    std::size_t position = 0;
    EXPECT_FALSE(editing.addEntry("a", "b", position));
    EXPECT_EQ(closed.entryCount(), 0u);
}

TEST_F(EntryEditingTest, EditsReKeyOnlyTheLanguageThatChanged) {
    EntryEditing editing(store, tables, 0, 1);
    EXPECT_FALSE(editing.commitCellEdit(1, 0, "track")) << "the same text changes nothing";
    EXPECT_EQ(store.entries.flags(0), efDefault);
    ASSERT_TRUE(editing.commitCellEdit(1, 0, "zz rail"));
    EXPECT_EQ(order(0), (std::vector<std::string>{"kolej", "navest", "vyhybka"}));
    EXPECT_EQ(order(1).back(), "zz rail");
    EXPECT_EQ(store.entries.flags(0), efUserModified);
    ASSERT_TRUE(editing.commitCellEdit(0, 0, "zavora"));
    EXPECT_EQ(order(0), (std::vector<std::string>{"navest", "vyhybka", "zavora"}));
    // Position 0 of the source index is now navest (entry 1).
    ASSERT_TRUE(editing.commitCellEdit(2, 0, "nova"));
    EXPECT_EQ(store.entries.note(1), "nova");
    EXPECT_EQ(order(0), (std::vector<std::string>{"navest", "vyhybka", "zavora"})) << "notes are not indexed";
    EXPECT_FALSE(editing.commitCellEdit(0, 3, "x")) << "no entry there";
}

TEST_F(EntryEditingTest, DeletingAndClearing) {
    EntryEditing editing(store, tables, 0, 1);
    EXPECT_TRUE(editing.deleteEntry(2));
    EXPECT_FALSE(editing.deleteEntry(2)) << "the position after the last entry";
    EXPECT_EQ(order(1), (std::vector<std::string>{"aspect", "track"}));
    editing.clearNotes();
    EXPECT_EQ(store.entries.note(0), "");
    EXPECT_EQ(store.entries.flags(0), efDefault) << "clearing notes keeps the marks";
    editing.clearTranslations();
    EXPECT_EQ(order(1), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(store.indexes[1].entryNumber(0), 1u) << "records keep their order";
    EXPECT_EQ(store.indexes[1].key(0), "");
    EXPECT_EQ(store.entries.flags(1), efUserModified);
}

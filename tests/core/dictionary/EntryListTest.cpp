#include <gtest/gtest.h>

#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/EntryList.h"

using namespace trelvo;

TEST(EntryList, TextsAreCutAtNulAndAtTheFileLimit) {
    EntryList list;
    list.append(std::string("ab\0cd", 5), std::string(maxTextLength + 5, 'x'), "", efImported);
    EXPECT_EQ(list.term(0), "ab");
    EXPECT_EQ(list.translation(0).size(), maxTextLength);
    EXPECT_EQ(list.flags(0), efImported);
    list.setText(0, 2, std::string("p\0q", 3));
    EXPECT_EQ(list.note(0), "p");
}

TEST(EntryList, SettingATextFromItsOwnStorageKeepsIt) {
    EntryList list;
    list.append("kolejový obvod", "track circuit", "", 0);
    // Copying text 0 over text 1 appends to the storage it is read from.
    for (int i = 0; i < 200; ++i) list.setText(0, 1, list.text(0, 0));
    EXPECT_EQ(list.translation(0), "kolejový obvod");
    EXPECT_EQ(list.term(0), "kolejový obvod");
}

namespace {

// Entries t0/u0 ... as a dictionary file gives them: over the file's bytes.
EntryList readBack(int count) {
    EntryList written;
    for (int i = 0; i < count; ++i) written.append("t" + std::to_string(i), "u" + std::to_string(i), "", 0);
    DictionaryHeader h;
    EntryList list;
    EXPECT_TRUE(parseDictionary(serializeDictionary(h, written), h, list));
    return list;
}

}  // namespace

TEST(EntryList, RemovingMovesLaterEntriesDownAndReadEntriesStayEditable) {
    EntryList list = readBack(10);
    ASSERT_EQ(list.size(), 10u);
    list.remove(3);
    ASSERT_EQ(list.size(), 9u);
    EXPECT_EQ(list.term(3), "t4");
    EXPECT_EQ(list.term(8), "t9");
    list.setText(8, 0, "nový");
    list.append("přidaný", "added", "pozn.", efUserModified);
    EXPECT_EQ(list.term(8), "nový");
    EXPECT_EQ(list.translation(8), "u9");
    EXPECT_EQ(list.entry(9), (DictionaryEntry{{"přidaný", "added", "pozn."}, efUserModified}));
}

TEST(EntryList, EqualityComparesContentNotStorage) {
    EntryList a, b;
    a.append("x", "y", "z", 1);
    b.append("q", "y", "z", 1);
    EXPECT_FALSE(a == b);
    b.setText(0, 0, "x");
    EXPECT_TRUE(a == b);
    b.setFlags(0, 2);
    EXPECT_FALSE(a == b);
}

TEST(EntryList, KeptEntriesOfAReadFileTakeCopiesInFront) {
    EntryList written;
    for (int i = 0; i < 6; ++i) written.append("t" + std::to_string(i), "u" + std::to_string(i), "n", efDefault);
    DictionaryHeader h;
    EntryList list;
    ASSERT_TRUE(parseDictionary(serializeDictionary(h, written), h, list));
    EntryList front;
    front.append("vlastní", "own", "", efUserModified);
    front.append("", "", "", efImported);
    list.keepOnly({4, 1, 1});
    list.prepend(front);
    front.setText(0, 0, "změněno");  // the copies are the list's own
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list.entry(0), (DictionaryEntry{{"vlastní", "own", ""}, efUserModified}));
    EXPECT_EQ(list.entry(1), (DictionaryEntry{{"", "", ""}, efImported}));
    EXPECT_EQ(list.term(2), "t4");
    EXPECT_EQ(list.translation(3), "u1");
    EXPECT_EQ(list.note(4), "n");
    list.append("další", "next", "", 0);
    EXPECT_EQ(list.term(5), "další");
}

TEST(EntryList, TruncatingDropsTheLastEntriesAndKeepsTextsSetAnew) {
    EntryList list = readBack(4);
    const EntryList before = list;
    for (int i = 0; i < 3; ++i) list.append("new" + std::to_string(i), "x", "n", efImported);
    list.truncate(4);
    EXPECT_EQ(list, before);
    list.truncate(9);  // past the end: nothing to drop
    EXPECT_EQ(list, before);

    // A text set after the dropped ones were appended lies behind them and stays.
    list.append("dropped", "d", "", efImported);
    list.setText(1, 0, "set anew");
    list.truncate(4);
    list.append("after", "a", "", efImported);
    EXPECT_EQ(list.term(1), "set anew");
    EXPECT_EQ(list.term(4), "after");
    EXPECT_EQ(list.size(), 5u);
}

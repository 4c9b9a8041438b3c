#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "core/exchange/TextImport.h"

using namespace trelvo;

namespace {

using Pairs = std::vector<ImportedPair>;

std::string utf16(std::u16string_view text, bool mark) {
    std::string bytes = mark ? "\xFF\xFE" : "";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

Pairs read8(std::string_view bytes) { return readImportLines(bytes, 1250, 1250); }

std::vector<std::pair<std::string_view, std::uint32_t>> records(const DictionaryIndex& index) {
    std::vector<std::pair<std::string_view, std::uint32_t>> all;
    for (std::size_t i = 0; i < index.size(); ++i) all.emplace_back(index.key(i), index.entryNumber(i));
    return all;
}

}  // namespace

namespace trelvo {
void PrintTo(const ImportedPair& pair, std::ostream* out) {
    *out << '{' << testing::PrintToString(pair.term) << ", " << testing::PrintToString(pair.translation) << '}';
}
}  // namespace trelvo

TEST(TextImport, LineRulesAndLineEnds) {
    EXPECT_EQ(read8("\tskipped translation\n"
                    "  word\n"
                    "term\t\t  trans\tmore  \n"
                    "  \t \n"
                    "\n"
                    "two words \t x \r\n"
                    "last"),
              (Pairs{{"word", ""}, {"term", "trans more"}, {"two words", "x"}, {"last", ""}}))
        << "a later tab stays in the translation, as a space";
    // 8-bit text is the dictionary's own bytes: nothing is converted.
    EXPECT_EQ(read8("\xE8\xE1ra\t\x9A\n"), (Pairs{{"\xE8\xE1ra", "\x9A"}}));
    // A NUL ends the line's text, as it would in a line buffer.
    EXPECT_EQ(read8(std::string("ab\tc\0d\tz\ne\tf", 12)), (Pairs{{"ab", "c"}, {"e", "f"}}));
    EXPECT_EQ(read8("a\tb\nc\td\n"), read8("a\tb\r\nc\td\r\n"));
    // Only a carriage return right before the line feed belongs to the line
    // end; another one, or any control character, is no part of an entry.
    EXPECT_EQ(read8("a\tb\r\r\n"), (Pairs{{"a", "b"}}));
    EXPECT_EQ(read8("a\rb\x01\x02" "c\tx\ry\n\x7F\t\n\x03\t\x04\n"), (Pairs{{"a b c", "x y"}, {"\x7F", ""}}))
        << "a term of control characters alone is no term";
}

TEST(TextImport, LongLinesAreCutAndTheirRestDropped) {
    const std::string term(997, 't');
    const Pairs pairs = read8(term + "\tz\n" + term + "\tzz\r\n" + std::string(1500, 'a') + "\tb\nnext\tn");
    ASSERT_EQ(pairs.size(), 4u);
    EXPECT_EQ(pairs[0], (ImportedPair{term, "z"}));  // exactly 999 bytes: whole
    EXPECT_EQ(pairs[1], (ImportedPair{term, "z"}));
    EXPECT_EQ(pairs[2], (ImportedPair{std::string(999, 'a'), ""}));
    EXPECT_EQ(pairs[3], (ImportedPair{"next", "n"}));
}

TEST(TextImport, Utf16WithAndWithoutMark) {
    const std::u16string text = u"j\u00EDzda\tjourney\r\n  n\u00E1v\u011Bst\t\tsignal\tx\n";
    const Pairs expected{{"j\xEDzda", "journey"}, {"n\xE1v\xECst", "signal x"}};
    EXPECT_EQ(readImportLines(utf16(text, true), 1250, 1250), expected);
    EXPECT_EQ(readImportLines(utf16(text, false), 1250, 1250), expected);
    // Only offsets 3 to 21 are looked at: a zero at 21 makes it UTF-16, zeros
    // at 1 and 23 leave it 8-bit (and the NUL at 1 ends the line).
    const std::u16string cyrillic(9, u'\u0432');
    EXPECT_EQ(readImportLines(utf16(u"a" + cyrillic + u"\tk", false), 1251, 1251),
              (Pairs{{"a" + std::string(9, '\xE2'), "k"}}));
    EXPECT_EQ(readImportLines(utf16(u"a" + cyrillic + u"\u0432\tk", false), 1251, 1251), (Pairs{{"a", ""}}));
    EXPECT_EQ(read8(std::string("abcdefghijklmnopqrstuvw\0", 24)), (Pairs{{"abcdefghijklmnopqrstuvw", ""}}));
    EXPECT_EQ(read8(std::string("abcd\0f\tg", 8)), (Pairs{{"abcd", ""}}));  // a zero at an even offset
}

TEST(TextImport, Utf16SidesUseTheirOwnCodePages) {
    DictionaryHeader header;
    header.languageCharset = {204, 0};
    const std::string file = utf16(u"\u0432\u043E\u043A\u0437\u0430\u043B\tgare \u00E0 \u00F1\u00E8 \u0432\n", true);
    EXPECT_EQ(readImportLines(file, header), (Pairs{{"\xE2\xEE\xEA\xE7\xE0\xEB", "gare \xE0 \xF1\xE8 ?"}}));

    DictionaryStore store;
    store.header = header;
    CharacterTables tables;
    ASSERT_EQ(importPairs(store, tables, readImportLines(file, header), {}), 1u);
    EXPECT_EQ(store.entries.translation(0), "gare \xE0 \xF1\xE8 ?");
}

TEST(TextImport, DuplicatesAgainstTheDictionaryBeforeTheImport) {
    DictionaryStore store;
    store.header.filePath = "test.dsl";
    CharacterTables tables;
    store.entries.append("vlak", "train", "a note", efDefault);
    store.entries.append("n\xE1v\xECst", "signal", "", efUserModified);
    store.rebuildIndexes(tables);

    const Pairs pairs{{"vlak", "train"},       {"vlak", "locomotive"}, {"Vlak", "train"},
                      {"n\xE1v\xECst", "signal"}, {"kolej", "track"},     {"kolej", "track"}};
    ASSERT_EQ(importPairs(store, tables, pairs, {}), 4u);
    ASSERT_EQ(store.entries.size(), 6u);
    const Pairs added{{"vlak", "locomotive"}, {"Vlak", "train"}, {"kolej", "track"}, {"kolej", "track"}};
    for (std::size_t i = 0; i < added.size(); ++i)
        EXPECT_EQ(store.entries.entry(2 + i), (DictionaryEntry{{added[i].term, added[i].translation, ""}, efImported}));
    EXPECT_EQ(importPairs(store, tables, pairs, {}), 0u);  // all present now
}

TEST(TextImport, IndexMergeMatchesOneByOneInsertion) {
    // Languages with different tables, many equal keys (also across letter
    // case and the digraph), and old records not in entry-number order. Enough
    // lines that an unstable sort of the new records would show.
    CharacterTables tables;
    tables.loadCharacterTablesFromText("sr 0\nA\nB\nC\nH\nCH\nI\n/sr\nsr 3\nI\nH\nC\nB\nA\n/sr\n");
    DictionaryStore store;
    store.header.languageCharset = {1, 0};
    std::mt19937 random(11);
    const std::vector<std::string> stems{"a", "A", "ch", "Ch", "h", "abcdefgh", "abcdefghi", "ABCDEFGHIJ", "ci"};
    auto pick = [&] { return stems[random() % stems.size()]; };
    std::vector<std::uint32_t> shuffled;
    for (std::uint32_t n = 0; n < 400; ++n) {
        store.entries.append(pick(), pick(), "", efDefault);
        shuffled.push_back(n);
    }
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    for (std::uint32_t n : shuffled)
        for (int k = 0; k < 2; ++k)
            store.insertIndexRecord(k, tables.makeCollationKey(store.entries.text(n, k), store.tableOf(k)), n);
    Pairs pairs;
    for (int i = 0; i < 2000; ++i) pairs.push_back({pick(), pick()});

    DictionaryStore expected = store;
    std::set<std::pair<std::string, std::string>> present;
    for (std::size_t n = 0; n < store.entries.size(); ++n)
        present.emplace(store.entries.term(n), store.entries.translation(n));
    for (const ImportedPair& pair : pairs) {
        if (present.contains({pair.term, pair.translation})) continue;
        std::uint32_t n = expected.appendEntry(pair.term, pair.translation, "", efImported);
        for (int k = 0; k < 2; ++k)
            expected.insertIndexRecord(k, tables.makeCollationKey(expected.entries.text(n, k), expected.tableOf(k)),
                                       n);
    }

    std::vector<std::size_t> calls;
    const std::size_t count = importPairs(store, tables, pairs, [&calls](std::size_t done) { calls.push_back(done); });
    EXPECT_EQ(count, expected.entries.size() - 400);
    EXPECT_EQ(store.entries, expected.entries);
    EXPECT_EQ(records(store.indexes[0]), records(expected.indexes[0]));
    EXPECT_EQ(records(store.indexes[1]), records(expected.indexes[1]));
    // Every 100 items, the entries and the lines counted together.
    std::vector<std::size_t> everyHundred;
    for (std::size_t done = 0; done < 2400; done += 100) everyHundred.push_back(done);
    EXPECT_EQ(calls, everyHundred);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "CollectedPairs.h"

using namespace trelvo;

namespace {

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
    *out << '{' << testing::PrintToString(pair.term) << ", " << testing::PrintToString(pair.translation);
    if (!pair.note.empty()) *out << ", " << testing::PrintToString(pair.note);
    *out << '}';
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

TEST(TextImport, Utf8WithOrWithoutItsMarkIsConvertedPerLanguage) {
    const std::string czech = "n\xC3\xA1v\xC4\x9Bstidlo\tsignal\r\n\xC5\xBElut\xC3\xA1\tyellow\n";
    const Pairs expected{{"n\xE1v\xECstidlo", "signal"}, {"\x9Elut\xE1", "yellow"}};
    ImportReading reading;
    EXPECT_EQ(readImportLines(czech, 1250, 1252, &reading), expected);
    EXPECT_EQ(reading.encoding, TextEncoding::utf8);
    EXPECT_EQ(readImportLines("\xEF\xBB\xBF" + czech, 1250, 1252), expected) << "the mark is no part of the term";
    // A mark before plain ASCII still says UTF-8; without it, ASCII is just the code page.
    EXPECT_EQ(readImportLines("\xEF\xBB\xBFkolej\ttrack", 1250, 1252, &reading), (Pairs{{"kolej", "track"}}));
    EXPECT_EQ(reading.encoding, TextEncoding::utf8);
    EXPECT_EQ(readImportLines("kolej\ttrack", 1250, 1252, &reading), (Pairs{{"kolej", "track"}}));
    EXPECT_EQ(reading.encoding, TextEncoding::codePages);

    // Russian into a side of charset 204, and characters the code pages lack counted.
    DictionaryHeader header;
    header.languageCharset = {238, 204};
    const std::string russian = "hlavn\xC3\xAD kolej\t\xD0\xB3\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xBD\xD1\x8B\xD0\xB9 "
                                "\xD0\xBF\xD1\x83\xD1\x82\xD1\x8C \xE2\x9C\x93\n"
                                "\xE2\x9C\x93\xE2\x9C\x93 ?\t\xC3\xA9\n";
    EXPECT_EQ(readImportLines(russian, header, &reading),
              (Pairs{{"hlavn\xED kolej", "\xE3\xEB\xE0\xE2\xED\xFB\xE9 \xEF\xF3\xF2\xFC ?"}, {"?? ?", "?"}}));
    EXPECT_EQ(reading.replacedCharacters, 4u) << "three check marks and an é the Cyrillic side lacks; a typed ? is none";
}

TEST(TextImport, EightBitTextIsUtf8OnlyWhenItsBytesAreValidUtf8) {
    // Typical Czech in code page 1250 has letters whose bytes cannot be UTF-8.
    EXPECT_FALSE(isUtf8Text("n\xE1v\xECstidlo\tsignal"));
    EXPECT_FALSE(isUtf8Text("\xC3"));                   // cut short
    EXPECT_FALSE(isUtf8Text("\xC0\xAF"));               // an overlong slash
    EXPECT_FALSE(isUtf8Text("\xED\xA0\x80"));           // a surrogate
    EXPECT_FALSE(isUtf8Text("\xF4\x90\x80\x80"));       // past U+10FFFF
    EXPECT_FALSE(isUtf8Text("ascii only"));
    EXPECT_TRUE(isUtf8Text("\xF0\x9F\x9A\x86 vlak"));
    // By chance "ČŠ" in 1250 (C8 8A) is also the UTF-8 of U+020A: such a list
    // is read as UTF-8, and the box counts the character it could not keep.
    ImportReading reading;
    EXPECT_EQ(readImportLines("\xC8\x8A\tx", 1250, 1252, &reading), (Pairs{{"?", "x"}}));
    EXPECT_EQ(reading.encoding, TextEncoding::utf8);
    EXPECT_EQ(reading.replacedCharacters, 1u);
}

TEST(TextImport, Utf16SidesUseTheirOwnCodePages) {
    DictionaryHeader header;
    header.languageCharset = {204, 0};
    const std::string file = utf16(u"\u0432\u043E\u043A\u0437\u0430\u043B\tgare \u00E0 \u00F1\u00E8 \u0432\n", true);
    EXPECT_EQ(readImportLines(file, header), (Pairs{{"\xE2\xEE\xEA\xE7\xE0\xEB", "gare \xE0 \xF1\xE8 ?"}}));

    DictionaryStore store;
    store.header = header;
    CharacterTables tables;
    ASSERT_EQ(importPairs(store, tables, readImportLines(file, header)), 1u);
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
    ASSERT_EQ(importPairs(store, tables, pairs), 4u);
    ASSERT_EQ(store.entries.size(), 6u);
    const Pairs added{{"vlak", "locomotive"}, {"Vlak", "train"}, {"kolej", "track"}, {"kolej", "track"}};
    for (std::size_t i = 0; i < added.size(); ++i)
        EXPECT_EQ(store.entries.entry(2 + i), (DictionaryEntry{{added[i].term, added[i].translation, ""}, efImported}));
    EXPECT_EQ(importPairs(store, tables, pairs), 0u);  // all present now
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

    std::string file;
    for (const ImportedPair& pair : pairs) file += pair.term + "\t" + pair.translation + "\n";
    std::vector<std::size_t> calls;
    const ImportResult result = importFile(store, tables, "list.txt", file, [&calls](std::size_t done) {
        calls.push_back(done);
        return true;
    });
    EXPECT_EQ(result.outcome, ImportOutcome::imported);
    EXPECT_EQ(result.read, 2000u);
    EXPECT_EQ(result.added, expected.entries.size() - 400);
    EXPECT_EQ(store.entries, expected.entries);
    EXPECT_EQ(records(store.indexes[0]), records(expected.indexes[0]));
    EXPECT_EQ(records(store.indexes[1]), records(expected.indexes[1]));
    // Every 100 pairs read.
    std::vector<std::size_t> everyHundred;
    for (std::size_t done = 0; done < 2000; done += 100) everyHundred.push_back(done);
    EXPECT_EQ(calls, everyHundred);
}

TEST(TextImport, Utf16InEitherOrderWithItsMark) {
    const std::u16string text = u"n\u00E1v\u011Bst\tsignal\r\nkolej\ttrack";
    std::string bigEndian = "\xFE\xFF";
    for (char16_t unit : text) {
        bigEndian += static_cast<char>(unit >> 8);
        bigEndian += static_cast<char>(unit & 0xFF);
    }
    ImportReading reading;
    EXPECT_EQ(readImportLines(bigEndian, 1250, 1250, &reading), readImportLines(utf16(text, true), 1250, 1250));
    EXPECT_EQ(reading.encoding, TextEncoding::utf16);
    EXPECT_EQ(readImportLines(bigEndian, 1250, 1250).size(), 2u);
    // Without a mark the zero bytes decide, as little-endian; a text that
    // begins with U+00FF is no mark.
    EXPECT_EQ(readImportLines(utf16(u"\u00FFab\tc", false), 1252, 1252), (Pairs{{"\xFF" "ab", "c"}}));
}

namespace {

// Stores of three entries and the word list that adds pairs to them.
struct ImportCase {
    ImportCase() {
        store.header.filePath = "test.dsl";
        for (const char* term : {"vlak", "kolej", "n\xE1v\xECst"}) store.appendEntry(term, "x", "", efDefault);
        store.rebuildIndexes(tables);
    }
    std::vector<std::pair<std::string_view, std::uint32_t>> index(int k) const {
        return records(store.indexes[static_cast<std::size_t>(k)]);
    }
    CharacterTables tables;
    DictionaryStore store;
};

std::string wordList(std::size_t lines) {
    std::string file;
    for (std::size_t i = 0; i < lines; ++i) file += "term" + std::to_string(i) + "\tt\n";
    return file;
}

}  // namespace

TEST(TextImport, AnImportPastTheLimitsIsRefusedAndChangesNothing) {
    ImportCase c;
    const EntryList entries = c.store.entries;
    const auto index0 = c.index(0), index1 = c.index(1);
    c.store.limits.entryCount = 6;
    // Pairs the dictionary holds count for nothing: six entries are allowed.
    const std::string present = "vlak\tx\nkolej\tx\n";
    ImportResult result = importFile(c.store, c.tables, "a.txt", present + wordList(4) + present, {});
    EXPECT_EQ(result.outcome, ImportOutcome::tooLarge);
    EXPECT_EQ(result.read, 6u) << "the reading stops at the pair that passes the limit";
    EXPECT_EQ(c.store.entries, entries);
    EXPECT_EQ(c.index(0), index0);
    EXPECT_EQ(c.index(1), index1);

    result = importFile(c.store, c.tables, "a.txt", present + wordList(3) + present, {});
    EXPECT_EQ(result.outcome, ImportOutcome::imported);
    EXPECT_EQ(result.added, 3u);
    EXPECT_EQ(c.store.entries.size(), 6u);

    // The size of the file it would make counts as well.
    ImportCase small;
    small.store.limits.fileSize = serializeDictionary(small.store.header, small.store.entries).size() + 40;
    EXPECT_EQ(importFile(small.store, small.tables, "a.txt", "a\tb\n" + std::string(50, 'c'), {}).outcome,
              ImportOutcome::tooLarge);
    EXPECT_EQ(small.store.entries.size(), 3u);
    EXPECT_EQ(importFile(small.store, small.tables, "a.txt", "a\tb\n", {}).added, 1u);
}

TEST(TextImport, ACancelledImportTakesOutWhatItAdded) {
    ImportCase c;
    const EntryList entries = c.store.entries;
    const auto index0 = c.index(0);
    std::size_t calls = 0;
    const ImportResult result =
        importFile(c.store, c.tables, "a.txt", wordList(1000), [&calls](std::size_t) { return ++calls < 3; });
    EXPECT_EQ(result.outcome, ImportOutcome::cancelled);
    EXPECT_EQ(result.read, 200u);
    EXPECT_EQ(c.store.entries, entries);
    EXPECT_EQ(c.index(0), index0);
}

TEST(TextImport, EveryReaderStopsWhenTheSinkHasEnough) {
    std::string tbx = "<martif><text><body>";
    for (int i = 0; i < 5; ++i)
        tbx += "<termEntry><langSet xml:lang=\"cs\"><tig><term>t" + std::to_string(i) +
               "</term></tig></langSet></termEntry>";
    tbx += "</body></text></martif>";
    DictionaryHeader header;
    header.languageName = {"\xC8" "e\x9Atina", "English"};
    const std::string list = "a\tb\nc\td\ne\tf\ng\th\n";
    const std::string files[][2] = {{"a.txt", list},
                                    {"a.txt", utf16(u"a\tb\nc\td\ne\tf\ng\th\n", true)},
                                    {"a.txt", "\xC3\xA1\tb\nc\td\ne\tf\n"},
                                    {"a.csv", "a,b\nc,d\ne,f\n"},
                                    {"a.tbx", tbx}};
    for (const auto& [name, bytes] : files) {
        int calls = 0;
        readImportFile(name, bytes, header, [&calls](std::string_view, std::string_view, std::string_view) {
            return ++calls < 2;
        });
        EXPECT_EQ(calls, 2) << name;
    }
}

TEST(TextImport, BlanksBesideRemovedControlCharactersGoWithThem) {
    // Trimmed after the control characters went, the blanks before them
    // stayed: "vlak " beside "vlak" passed the duplicate test.
    EXPECT_EQ(read8("vlak \x01\ttrain\x0E \x02\n"), (Pairs{{"vlak", "train"}}));
    EXPECT_EQ(read8(" \x7F\x02 a \x03 b  c\t d \x1F\n"), (Pairs{{"\x7F a b  c", "d"}}))
        << "typed runs of spaces stay; a run with a control character becomes one space";
    EXPECT_EQ(read8("\x01 \x02\tx\n"), Pairs{}) << "no term is left";
    EXPECT_EQ(importedText("  \t"), "");

    ImportCase c;
    const ImportResult result = importFile(c.store, c.tables, "a.txt", "vlak \x01\tx\x0E \x02\n", {});
    EXPECT_EQ(result.added, 0u);
    DictionaryHeader header;
    EXPECT_EQ(readCsv("\"vlak \x01\",\" x\x0E\",\"\x02 note \"\n", header), (Pairs{{"vlak", "x", "note"}}));
}

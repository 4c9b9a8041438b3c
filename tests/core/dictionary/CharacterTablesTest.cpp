#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/dictionary/CharacterTables.h"
#include "support/TemporaryFolder.h"

using trelvo::CharacterTables;

namespace {

std::vector<int> keyOf(const CharacterTables& tables, std::string_view text, int t) {
    std::string key = tables.makeCollationKey(text, t);
    std::vector<int> result;
    for (char c : key) result.push_back(static_cast<unsigned char>(c));
    return result;
}

std::vector<int> bytes(std::initializer_list<int> list) { return list; }

CharacterTables loaded(std::string_view text) {
    CharacterTables tables;
    tables.loadCharacterTablesFromText(text);
    return tables;
}

// Compares as the indexes do: unsigned bytes.
bool before(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

}  // namespace

TEST(CharacterTables, DefaultsFoldOnlyBasicLatinAndRankByCode) {
    CharacterTables tables;
    for (int t = 0; t < CharacterTables::tableCount; ++t) {
        EXPECT_EQ(tables.makeCollationKey("Abc-9z", t), "ABC-9Z");
        // 0xE1 (á in 1250) is not folded without an upper-case section.
        EXPECT_EQ(keyOf(tables, "\xE1\xC1", t), bytes({0xE1, 0xC1}));
    }
}

TEST(CharacterTables, CharsetCodesSelectTables) {
    EXPECT_EQ(CharacterTables::tableOfCharset(1), 0);
    EXPECT_EQ(CharacterTables::tableOfCharset(238), 1);
    EXPECT_EQ(CharacterTables::tableOfCharset(204), 2);
    EXPECT_EQ(CharacterTables::tableOfCharset(0), 3);
    EXPECT_EQ(CharacterTables::tableOfCharset(186), 4);
    EXPECT_EQ(CharacterTables::tableOfCharset(162), 5);
    EXPECT_EQ(CharacterTables::tableOfCharset(77), 0);
    EXPECT_EQ(CharacterTables::tableOfCharset(-1), 0);
}

TEST(CharacterTables, ExampleDigraphDoesNotSwallowItsSecondCharacter) {
    CharacterTables tables = loaded("sr 0\nA\nB\nC\nCH\nD\n/sr\n");
    // C H A: the pair C H at 0 has the digraph's rank, H is ranked on its own
    // (unlisted: its code), A by its rank.
    EXPECT_EQ(keyOf(tables, "cha", 0), bytes({131, 'H', 128}));
    EXPECT_EQ(keyOf(tables, "c", 0), bytes({130}));
    EXPECT_EQ(keyOf(tables, "dc", 0), bytes({132, 130}));
}

// A search keys its text in the text's own string: digraphs read the next
// byte before it is overwritten, and a NUL or an over-long text shortens it.
TEST(CharacterTables, KeyingInPlaceGivesTheKeyOfTheText) {
    CharacterTables tables = loaded("sr 0\nA\nB\nC\nCH\nD\n/sr\n");
    const std::string longText(CharacterTables::maxKeyLength + 40, 'c');
    for (const std::string& text : {std::string("chachch"), std::string("dc"), std::string(""),
                                    std::string("ch\0ab", 5), longText, longText + "h"}) {
        std::string inPlace = text;
        tables.makeCollationKey(inPlace, 0, inPlace);
        EXPECT_EQ(inPlace, tables.makeCollationKey(text, 0)) << text.size();
    }
}

TEST(CharacterTables, DigraphSortsAfterItsPlaceInTheAlphabet) {
    CharacterTables tables = loaded("sr 1\nA\nC\nH\nCH\nI\n/sr\n");
    const std::string hrad = tables.makeCollationKey("hrad", 1);
    const std::string chata = tables.makeCollationKey("chata", 1);
    const std::string ivan = tables.makeCollationKey("ivan", 1);
    const std::string cukr = tables.makeCollationKey("cukr", 1);
    EXPECT_TRUE(before(hrad, chata));
    EXPECT_TRUE(before(chata, ivan));
    EXPECT_TRUE(before(cukr, hrad));
}

TEST(CharacterTables, UpperSectionMapsFirstToThirdCharacter) {
    CharacterTables tables = loaded(
        "up 0\n"
        "\xE1 A\n"     // á folds to A
        "\xE8x\xC8\n"  // č folds to Č; the second character is not used
        "qq\r\n"       // shorter than three characters without its line end: ignored
        "/up\n");
    EXPECT_EQ(tables.makeCollationKey("\xE1", 0), "A");
    EXPECT_EQ(keyOf(tables, "\xE8", 0), bytes({0xC8}));
    EXPECT_EQ(tables.makeCollationKey("q", 0), "Q");
    EXPECT_EQ(tables.makeCollationKey("\xE1", 1), "\xE1") << "other tables untouched";
}

TEST(CharacterTables, SectionHeadersNeedBlankAndNumber) {
    // "sr2" and "sr" alone open nothing, so their units are ignored.
    CharacterTables none = loaded("sr2\nA\n/sr\nsr\nB\n/sr\nsr x\nC\n/sr\n");
    EXPECT_EQ(none.makeCollationKey("abc", 2), "ABC");
    CharacterTables tabbed = loaded("  sr\t 2 trailing words\nA\n/sr\n");
    EXPECT_EQ(keyOf(tabbed, "a", 2), bytes({128}));
}

TEST(CharacterTables, LinesOutsideSectionsAndBlankLinesAreIgnored) {
    CharacterTables tables = loaded("hello\n\n   \t\r\nA\n/sr\nsr 0\r\n\r\nA\r\n  B  \r\n/sr\r\nC\n");
    EXPECT_EQ(keyOf(tables, "abc", 0), bytes({128, 129, 'C'}));
}

TEST(CharacterTables, MismatchedClosingWordIsAnOrdinaryLine) {
    // "/sr" inside an upper-case section maps '/' to 'r' and keeps the section open.
    CharacterTables tables = loaded("up 0\n/sr\nb c\n/up\n");
    EXPECT_EQ(tables.makeCollationKey("/b", 0), "rc");
    // "/up" inside a sort section is a unit of three characters: the digraph "/u".
    CharacterTables sort = loaded("sr 0\n/up\nA\n/sr\n");
    ASSERT_EQ(sort.table(0).digraphs.size(), 1u);
    EXPECT_EQ(sort.table(0).digraphs[0].key, '/' + 256 * 'u');
    EXPECT_EQ(keyOf(sort, "a", 0), bytes({129}));
}

TEST(CharacterTables, LaterLinesOverwriteAndSectionsRepeat) {
    CharacterTables tables = loaded("sr 3\nA\nB\n/sr\nsr 3\nB\n/sr\nup 3\nx y\n/up\nup 3\nx z\n/up\n");
    EXPECT_EQ(keyOf(tables, "ab", 3), bytes({128, 128})) << "B re-ranked from 128 in the new section";
    EXPECT_EQ(tables.makeCollationKey("x", 3), "z");
}

TEST(CharacterTables, DuplicateDigraphKeepsFirstRankAndUsesUpARank) {
    CharacterTables tables = loaded("sr 0\nCH\nA\nCH\nB\n/sr\n");
    EXPECT_EQ(keyOf(tables, "ch", 0), bytes({128, 'H'}));
    EXPECT_EQ(keyOf(tables, "b", 0), bytes({131}));
    ASSERT_EQ(tables.table(0).digraphs.size(), 1u);
}

TEST(CharacterTables, DigraphsStaySortedWhateverTheListingOrder) {
    CharacterTables tables = loaded("sr 0\nZZ\nAB\nDZ\nAA\nCH\n/sr\n");
    const auto& digraphs = tables.table(0).digraphs;
    ASSERT_EQ(digraphs.size(), 5u);
    for (std::size_t i = 1; i < digraphs.size(); ++i) EXPECT_LT(digraphs[i - 1].key, digraphs[i].key);
    EXPECT_EQ(keyOf(tables, "aa", 0), bytes({131, 'A'}));
    EXPECT_EQ(keyOf(tables, "dz", 0), bytes({130, 'Z'}));
}

TEST(CharacterTables, UnlistedHighByteCanTieWithAListedUnit) {
    CharacterTables tables = loaded("sr 0\nA\n/sr\n");
    EXPECT_EQ(tables.makeCollationKey("a", 0), tables.makeCollationKey("\x80", 0));
}

TEST(CharacterTables, OnlyTheFirst128UnitsOfASectionAreRanked) {
    std::string text = "sr 0\n";
    for (int i = 0; i < 130; ++i) text += std::string(1, static_cast<char>(i < 64 ? 0xC0 + (i % 64) : 0x80 + (i - 64))) + "\n";
    text += "/sr\n";
    CharacterTables tables = loaded(text);
    EXPECT_EQ(keyOf(tables, "\xC0", 0), bytes({128}));
    // Unit 128 (0x80 + 63 = 0xBF) is the last ranked: 255. The next two keep their codes.
    EXPECT_EQ(keyOf(tables, "\xBF", 0), bytes({255}));
    EXPECT_EQ(keyOf(tables, "\xC0\xC1", 0), bytes({128, 129}));
}

TEST(CharacterTables, TablesOutsideZeroToFiveAreIgnored) {
    CharacterTables tables = loaded("sr 6\nA\n/sr\nup 9\na b\n/up\nsr 0\nB\n/sr\n");
    EXPECT_EQ(keyOf(tables, "ab", 0), bytes({'A', 128}));
}

TEST(CharacterTables, LongLinesContinueAsNewLines) {
    // A mapping line of 1100 characters: the part after 999 is a line of its own.
    std::string line = "x y" + std::string(996, '.') + "q r";
    CharacterTables tables = loaded("up 0\n" + line + "\n/up\n");
    EXPECT_EQ(tables.makeCollationKey("x", 0), "y");
    EXPECT_EQ(tables.makeCollationKey("q", 0), "r");
}

TEST(CharacterTables, KeysAreCutAt999BytesAndNeverGetARankOfZero) {
    CharacterTables tables;
    EXPECT_EQ(tables.makeCollationKey(std::string(1500, 'a'), 0), std::string(999, 'A'));
    // The 129th unit would get rank 0 if the counter wrapped, and a zero would
    // end every key that contains it.
    std::string src = "sr 0\n";
    for (int i = 0; i < 128; ++i) src += std::string(1, static_cast<char>(0x80 + i)) + "\n";
    src += "Q\n/sr\n";
    CharacterTables full = loaded(src);
    EXPECT_EQ(full.makeCollationKey("aqa", 0), "AQA");
}

TEST(CharacterTables, LoadingAFileResetsToDefaults) {
    char path[] = "/tmp/trelvo-upchar-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream(path, std::ios::binary) << "sr 0\nA\n/sr\n";
    }
    CharacterTables tables = loaded("sr 0\nB\n/sr\n");
    ASSERT_TRUE(tables.loadCharacterTables(path));
    EXPECT_EQ(keyOf(tables, "ab", 0), bytes({128, 'B'}));
    std::remove(path);
    EXPECT_FALSE(tables.loadCharacterTables(path));
    EXPECT_EQ(tables.makeCollationKey("ab", 0), "AB");
}

TEST(CharacterTables, AnythingButAReadableFileFailsAndLeavesTheDefaults) {
    const trelvo::support::TemporaryFolder folder("trelvo-upchar");
    const std::string base = folder.path().string() + "/";
    CharacterTables tables = loaded("sr 0\nB\n/sr\n");

    // A folder of that name, and a pipe that no one writes, which must not
    // keep the start waiting.
    std::filesystem::create_directory(base + "upchar.dat");
    EXPECT_FALSE(tables.loadCharacterTables(base + "upchar.dat"));
    EXPECT_EQ(tables.makeCollationKey("ab", 0), "AB");
    ASSERT_EQ(mkfifo((base + "pipe.dat").c_str(), 0644), 0);
    EXPECT_FALSE(tables.loadCharacterTables(base + "pipe.dat"));
    EXPECT_FALSE(tables.loadCharacterTables("/dev/zero")) << "a device is no table file";

    // A file its reader may not read; root reads anything, so another user tries.
    const std::string locked = base + "locked.dat";
    std::ofstream(locked) << "sr 0\nA\n/sr\n";
    ::chmod(locked.c_str(), 0);
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        CharacterTables other;
        _exit(other.loadCharacterTables(locked) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

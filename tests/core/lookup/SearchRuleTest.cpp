#include <gtest/gtest.h>

#include "core/lookup/SearchRule.h"

using namespace trelvo;

namespace {

// A dictionary in memory, keyed with the basic tables (only a..z fold).
class SearchRuleTest : public ::testing::Test {
protected:
    void open(const std::vector<std::pair<std::string, std::string>>& pairs) {
        store.header.filePath = "/memory.dsl";
        store.entries.clear();
        for (const auto& [term, translation] : pairs) store.entries.append(term, translation, "", 0);
        store.rebuildIndexes(tables);
    }

    // Searches in the direction now in force and turns to the one the answer gives, as the window does.
    std::size_t find(std::string text) {
        const SearchAnswer answer = findPosition(context, text, direction);
        EXPECT_EQ(answer.swapsDirection, !(answer.direction == direction)) << "a swap, and only a swap, turns";
        if (answer.swapsDirection) ++swaps;
        direction = answer.direction;
        return answer.position;
    }

    std::string sourceKeyAt(std::size_t position) const {
        return std::string(store.indexes[static_cast<std::size_t>(direction.sourceSide)].key(position));
    }

    DictionaryStore store;
    CharacterTables tables;
    Direction direction;
    int swaps = 0;
    SearchContext context{store, tables};
};

}  // namespace

TEST_F(SearchRuleTest, NoDictionaryOrOneEntryLeadsToTheStart) {
    EXPECT_EQ(find("cokoli"), 0u);
    open({{"jediný", "only"}});
    EXPECT_EQ(find("zzz"), 0u);
    EXPECT_EQ(find("aaa"), 0u);
}

TEST_F(SearchRuleTest, ExactSearchFindsTheFirstOfEqualKeys) {
    open({{"b", "1"}, {"vlak", "2"}, {"Vlak", "3"}, {"a", "4"}, {"VLAK", "5"}, {"z", "6"}});
    std::size_t p = find("vLaK");
    EXPECT_EQ(p, 2u);
    EXPECT_EQ(store.indexes[0].entryNumber(p), 1u) << "the first in entry order";
    EXPECT_EQ(find("a"), 0u);
    EXPECT_EQ(find("z"), 5u);
}

TEST_F(SearchRuleTest, TextsBeyondTheEndsLeadToTheFirstOrLastEntry) {
    open({{"b", "1"}, {"d", "2"}, {"f", "3"}, {"h", "4"}});
    EXPECT_EQ(find("a"), 0u);
    EXPECT_EQ(find("g"), 3u) << "after the second-to-last key: the last position";
    EXPECT_EQ(find("zz"), 3u);
}

TEST_F(SearchRuleTest, NeighbourAgreeingAtMorePositionsWinsAndATieGoesDown) {
    open({{"a", ""}, {"bxbx", ""}, {"czaa", ""}, {"d", ""}, {"e", ""}});
    // Common beginnings would pick BXBX; equal bytes at equal positions pick CZAA.
    EXPECT_EQ(sourceKeyAt(find("bzaa")), "CZAA");
    EXPECT_EQ(sourceKeyAt(find("bzbx")), "BXBX");
    open({{"a", ""}, {"bx", ""}, {"cy", ""}, {"d", ""}, {"e", ""}});
    EXPECT_EQ(sourceKeyAt(find("by")), "BX") << "a tie goes to the lower position";
    EXPECT_EQ(sourceKeyAt(find("b")), "BX") << "no position to compare: a tie";
}

TEST_F(SearchRuleTest, AWordOfTheOtherLanguageSwapsTheDirection) {
    open({{"kolej", "track"}, {"navestidlo", "signal"}, {"vyhybka", "points"}, {"zavora", "barrier"}});
    std::size_t p = find("signal box");
    EXPECT_EQ(swaps, 1);
    EXPECT_EQ(direction.sourceSide, 1);
    EXPECT_EQ(direction.targetSide, 0);
    // In the English index: barrier, points, signal, track; "SIGNAL BOX" lies
    // between SIGNAL and TRACK, which is the last position.
    EXPECT_EQ(p, 3u);
    EXPECT_EQ(find("points"), 1u) << "an exact word of the new source side swaps nothing";
    EXPECT_EQ(swaps, 1);
}

TEST_F(SearchRuleTest, EveryLookupGoesThroughTheCallersSearchesUnderWay) {
    open({{"kolej", "track"}, {"navestidlo", "signal"}, {"vyhybka", "points"}, {"zavora", "barrier"}});
    std::vector<std::pair<int, std::string>> asked;
    context.lowerBound = [&](const DictionaryIndex& index, std::string_view key) {
        asked.emplace_back(&index == &store.indexes[0] ? 0 : 1, key);
        return index.lowerBound(key);
    };
    EXPECT_EQ(find("signal box"), 3u);
    EXPECT_EQ(swaps, 1);
    // The text, then its first word in the other language, then the text there.
    EXPECT_EQ(asked, (std::vector<std::pair<int, std::string>>{{0, "SIGNAL BOX"}, {1, "SIGNAL"}, {1, "SIGNAL BOX"}}));

    // A first word that begins no key in either language is looked up nowhere.
    asked.clear();
    EXPECT_EQ(find("qurt x"), 1u) << "POINTS and SIGNAL tie at no equal position";
    EXPECT_EQ(asked, (std::vector<std::pair<int, std::string>>{{1, "QURT X"}}));
    EXPECT_EQ(swaps, 1);
}

TEST_F(SearchRuleTest, AKeyMadeAheadLeadsWhereItsTypedTextDoes) {
    open({{"kolej", "track"}, {"navestidlo", "signal"}, {"vyhybka", "points"}, {"zavora", "barrier"}});
    // The caller passes the key and the typed text only through typedIn,
    // which the fallback needs for the other language.
    std::string typed;
    context.typedIn = [&](int) { return typed; };
    context.textIsKey = true;
    auto findKey = [&](const std::string& text) {
        typed = text;
        std::string key = tables.makeCollationKey(text, direction.sourceTable);
        return find(key);
    };
    EXPECT_EQ(findKey("vyhybka"), 2u);
    EXPECT_EQ(findKey("navestidlo x"), 1u);
    // What is passed is the key: it is not keyed again. Lower-case letters
    // sort past every key, and lead to the last position.
    typed = "kolej";
    std::string notKeyed = "kolej";
    EXPECT_EQ(findPosition(context, notKeyed, direction).position, 3u);
    EXPECT_EQ(notKeyed, "kolej");
    EXPECT_EQ(swaps, 0);
    EXPECT_EQ(findKey("signal box"), 3u);
    EXPECT_EQ(swaps, 1) << "the other language's word still swaps the direction";
}

TEST_F(SearchRuleTest, DirectionStaysWhenTheFirstWordBelongsToTheSourceOrIsOnlyAPrefix) {
    open({{"signal", "navestidlo"}, {"kolej", "signal"}, {"vyhybka", "points"}});
    find("signal box");
    EXPECT_EQ(swaps, 0) << "the first word is a source key";
    open({{"kolej", "track"}, {"navestidlo", "signalling"}, {"vyhybka", "points"}});
    find("signal box");
    EXPECT_EQ(swaps, 0) << "the other language has only a longer word";
}

TEST_F(SearchRuleTest, AFirstWordLeadingToAShorterKeyByATieStillLooksInTheOtherLanguage) {
    // KOLEJ lies between KOL and KOLEJNICE X; both agree with it at three
    // positions, and the tie goes to KOL, which does not begin with KOLEJ.
    for (const std::string text : {"kolej", "kolej x"}) {
        open({{"a", "x"}, {"kol", "stake"}, {"kolejnice x", "rail"}, {"z", "kolej"}});
        direction = {}, swaps = 0;
        find(text);
        EXPECT_EQ(swaps, 1) << text;
    }
    open({{"a", "x"}, {"kol", "stake"}, {"kolejnice x", "rail"}, {"z", "zed"}});
    direction = {}, swaps = 0;
    EXPECT_EQ(sourceKeyAt(find("kolej")), "KOL");
    EXPECT_EQ(sourceKeyAt(find("kolej y")), "KOL");
    EXPECT_EQ(sourceKeyAt(find("kom x")), "Z") << "no key begins with KOM";
    EXPECT_EQ(swaps, 0);
}

TEST_F(SearchRuleTest, AFirstWordThatBeginsAKeyBelowTheTextKeepsTheDirection) {
    // KOLEJZ B sorts after every key beginning with KOLEJZ: the key below it
    // is the one that keeps the word in this language.
    open({{"a", "x"}, {"kolejz a", "rail"}, {"m", "stake"}, {"z", "kolejz"}});
    EXPECT_EQ(sourceKeyAt(find("kolejz b")), "KOLEJZ A");
    EXPECT_EQ(swaps, 0);
}

TEST_F(SearchRuleTest, AWordOfTheOtherLanguageIsKeyedWithThatLanguagesTable) {
    // Czech ranks Č between C and D, so from D on the two tables rank the same
    // Latin letters differently.
    tables.loadCharacterTablesFromText(
        "sr 0\nA\nB\nC\n\xC8\nD\nE\nI\nK\nL\nN\nO\nP\nR\nS\nT\nU\nV\n/sr\n"
        "sr 3\nA\nB\nC\nD\nE\nI\nK\nL\nN\nO\nP\nR\nS\nT\nU\nV\n/sr\n");
    store.header.languageCharset = {1, 0};
    direction.sourceTable = 0;
    direction.targetTable = 3;
    open({{"kolej", "track"}, {"obvod", "circuit"}, {"vlak", "train"}, {"ucet", "unit"}, {"zavora", "barrier"}});
    std::size_t p = find("track circuit");
    EXPECT_EQ(swaps, 1);
    EXPECT_EQ(direction.sourceSide, 1);
    EXPECT_EQ(direction.targetTable, 0);
    EXPECT_EQ(store.entries.translation(store.indexes[1].entryNumber(p)), "track");
}

TEST_F(SearchRuleTest, SwappingKeepsTheEntryUnderTheCursor) {
    open({{"a", "z"}, {"b", "y"}, {"c", "x"}});
    EXPECT_EQ(positionAcross(store, 0, 0), 2u) << "a's z is last in the other language";
    EXPECT_EQ(positionAcross(store, 1, 2), 0u) << "and back";
    EXPECT_EQ(positionAcross(store, 0, 7), 7u) << "beyond the index: stays";
    const Direction swapped = direction.swapped(store);
    EXPECT_EQ(swapped.sourceSide, 1);
    EXPECT_EQ(swapped.targetSide, 0);
}

TEST_F(SearchRuleTest, LongTextsAreCutToTheKeyLength) {
    open({{std::string(1200, 'a'), "long"}, {"b", "short"}, {"c", "more"}});
    EXPECT_EQ(find(std::string(1500, 'a')), 0u);
}

#include <gtest/gtest.h>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/CodePage.h"
#include "core/lookup/TextFolding.h"
#include "core/lookup/TypoDistance.h"

using namespace trelvo;

namespace {

// text (UTF-8) folded in the code page of a character set, back in UTF-8.
std::string folded(const std::string& text, int charset) {
    const int codePage = CodePage::codePageOfCharset(charset);
    return CodePage::toUtf8(TextFolding::ofCodePage(codePage).fold(CodePage::fromUtf8(text, codePage)), codePage);
}

TEST(TextFoldingTest, EachCharacterSetFoldsCaseAndEveryDiacriticOfItsLanguages) {
    // The six character sets the dictionaries know, each with its own letters.
    EXPECT_EQ(folded("Přejezdové ZABEZPEČOVACÍ zařízení, ů ě ň ď ť", 1), "prejezdove zabezpecovaci zarizeni u e n d t");
    EXPECT_EQ(folded("Železničné návestidlo Ĺ ľ ŕ ô ä Ő ű", 238), "zeleznicne navestidlo l l r o a o u");
    EXPECT_EQ(folded("Светофор ЁЛКА ёж Ї і", 204), "светофор елка еж ї і");
    EXPECT_EQ(folded("Stellwerk Größe ÄÖÜ façade Œuvre ÆØÅ", 0), "stellwerk grosse aou facade oeuvre aeoa");
    EXPECT_EQ(folded("Ąžuolas Ėglė Ūla Šešupė ķēķis", 186), "azuolas egle ula sesupe kekis");
    EXPECT_EQ(folded("Şehir İstasyon ığdır Ğ ç", 162), "sehir istasyon igdir g c");
}

TEST(TextFoldingTest, RunsOfSpacesAndPunctuationAreOneBreakAndNoWordIsEmpty) {
    EXPECT_EQ(folded("  --kolej,,,  č. 2/3 (traťová)!  ", 238), "kolej c 2 3 tratova");
    EXPECT_EQ(folded("…–—«»", 238), "");
    EXPECT_EQ(folded("", 0), "");
    // Every byte of every code page folds without harm, to at most two letters each.
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    for (int codePage : {1250, 1251, 1252, 1254, 1257}) {
        const std::string f = TextFolding::ofCodePage(codePage).fold(all);
        EXPECT_LE(f.size(), 2 * all.size());
        EXPECT_EQ(f, TextFolding::ofCodePage(codePage).fold(f)) << "folding twice changes nothing, code page " << codePage;
    }
}

TEST(TextFoldingTest, WordsKnowWhereTheyStandInTheText) {
    std::string buffer;
    std::vector<std::string> seen;
    TextFolding::ofCodePage(1250).forEachWord("ab, \xC8" "D", buffer, [&](std::string_view w, std::size_t b, std::size_t e) {
        seen.push_back(std::string(w) + "@" + std::to_string(b) + "-" + std::to_string(e));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"ab@0-2", "cd@4-6"}));
}

TEST(TypoDistanceTest, CountsEditsAgainstTheBestBeginningOfTheWord) {
    EXPECT_EQ(typoDistance("prejezd", "prejezd", 1), 0u);
    EXPECT_EQ(typoDistance("prjezd", "prejezd", 1), 1u);      // dropped
    EXPECT_EQ(typoDistance("preejezd", "prejezd", 1), 1u);    // doubled
    EXPECT_EQ(typoDistance("perjezd", "prejezd", 1), 1u);     // swapped neighbours count once
    EXPECT_EQ(typoDistance("prajezd", "prejezd", 1), 1u);     // changed
    EXPECT_EQ(typoDistance("prjez", "prejezdovy", 1), 1u);    // half typed with a typo
    EXPECT_EQ(typoDistance("pjerzd", "prejezd", 1), 2u);      // beyond the limit: limit + 1
    EXPECT_EQ(typoDistance("zabezpcovaic", "zabezpecovaci", 2), 2u);
    EXPECT_EQ(typoDistance("zbzpecovaic", "zabezpecovaci", 2), 3u);
    EXPECT_EQ(typoDistance("", "slovo", 1), 0u);
    EXPECT_EQ(typoDistance("slovo", "", 1), 2u);
    EXPECT_EQ(typosAllowed(3), 0u);
    EXPECT_EQ(typosAllowed(4), 1u);
    EXPECT_EQ(typosAllowed(7), 1u);
    EXPECT_EQ(typosAllowed(8), 2u);
}

}  // namespace

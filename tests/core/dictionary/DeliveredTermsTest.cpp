// The word lists the delivered dictionaries are made from: what a reviewer
// cannot see at a glance (a decomposed accent, a Latin "o" in a Russian word,
// a dash the code page lacks, a line out of order) is checked here.

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/CodePage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

using trelvo::CharacterTables;
using trelvo::CodePage;

namespace {

struct Line {
    int number = 0;
    std::string text;
    std::vector<std::string> fields;
};

struct WordList {
    std::string name;
    int translationCodePage = 0;
    std::vector<Line> lines;
};

constexpr int czechCodePage = 1250;
constexpr int czechCharset = 238;

std::vector<std::string> splitTabs(const std::string& text) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(text.substr(start, tab - start));
    fields.push_back(text.substr(start));
    return fields;
}

WordList read(const std::string& name, int translationCodePage) {
    WordList list{name, translationCodePage, {}};
    std::ifstream in(TRELVO_RESOURCES_DIR "/" + name);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number)
        list.lines.push_back(Line{number, text, splitTabs(text)});
    return list;
}

std::string where(const WordList& list, const Line& line) {
    return list.name + ":" + std::to_string(line.number) + ": " + line.text;
}

bool isLatin(char16_t c) { return (c < 0x80 && std::isalpha(c)) || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7); }
bool isCyrillic(char16_t c) { return c >= 0x400 && c <= 0x4FF; }

class DeliveredTerms : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        lists_ = new std::vector<WordList>{read("dictionaries/cs-en.tsv", 1252), read("dictionaries/cs-ru.tsv", 1251),
                                           read("updates/cs-en-new-terms.tsv", 1252)};
    }
    static void TearDownTestSuite() {
        delete lists_;
        lists_ = nullptr;
    }

    static const WordList& english() { return (*lists_)[0]; }
    static const WordList& russian() { return (*lists_)[1]; }
    static const WordList& newTerms() { return (*lists_)[2]; }

    static std::vector<WordList>* lists_;
};

std::vector<WordList>* DeliveredTerms::lists_ = nullptr;

TEST_F(DeliveredTerms, AreLargeEnoughToBeWorthDelivering) {
    EXPECT_GE(english().lines.size(), 900u);
    EXPECT_GE(russian().lines.size(), 450u);
    EXPECT_FALSE(newTerms().lines.empty());
}

TEST_F(DeliveredTerms, EveryLineHasItsFieldsCleanAndOnce) {
    for (const WordList& list : *lists_) {
        std::set<std::pair<std::string, std::string>> seen;
        for (const Line& line : list.lines) {
            ASSERT_GE(line.fields.size(), 2u) << where(list, line);
            ASSERT_LE(line.fields.size(), 4u) << where(list, line);
            EXPECT_FALSE(line.fields[0].empty()) << where(list, line);
            EXPECT_FALSE(line.fields[1].empty()) << where(list, line);
            if (line.fields.size() == 4) {
                EXPECT_TRUE(line.fields[3].empty() || line.fields[3] == "0") << where(list, line);
            }
            for (const std::string& field : line.fields) {
                if (field.empty()) continue;
                EXPECT_NE(field.front(), ' ') << where(list, line);
                EXPECT_NE(field.back(), ' ') << where(list, line);
                EXPECT_EQ(field.find("  "), std::string::npos) << where(list, line);
                EXPECT_EQ(field.find('\r'), std::string::npos) << where(list, line);
            }
            EXPECT_TRUE(seen.emplace(line.fields[0], line.fields[1]).second) << "twice: " << where(list, line);
        }
    }
}

TEST_F(DeliveredTerms, TextsAreComposedAndWordsKeepToOneScript) {
    for (const WordList& list : *lists_) {
        for (const Line& line : list.lines) {
            const std::u16string text = CodePage::utf8ToUtf16(line.text);
            bool latin = false, cyrillic = false;
            for (char16_t c : text) {
                EXPECT_FALSE(c >= 0x300 && c <= 0x36F) << "a combining mark, the text is not NFC: " << where(list, line);
                EXPECT_NE(c, 0xFFFD) << "not UTF-8: " << where(list, line);
                if (c == ' ' || c == '\t') {
                    latin = cyrillic = false;
                    continue;
                }
                latin = latin || isLatin(c);
                cyrillic = cyrillic || isCyrillic(c);
                EXPECT_FALSE(latin && cyrillic) << "Latin and Cyrillic letters in one word: " << where(list, line);
                if (latin && cyrillic) break;
            }
        }
    }
}

TEST_F(DeliveredTerms, SurviveTheCodePagesTheDictionariesStore) {
    for (const WordList& list : *lists_) {
        for (const Line& line : list.lines) {
            const int codePages[] = {czechCodePage, list.translationCodePage, CodePage::headerCodePage};
            for (std::size_t k = 0; k < 3 && k < line.fields.size(); ++k) {
                const std::string& field = line.fields[k];
                EXPECT_EQ(CodePage::toUtf8(CodePage::fromUtf8(field, codePages[k]), codePages[k]), field)
                    << "field " << k << " in code page " << codePages[k] << ": " << where(list, line);
            }
        }
    }
}

TEST_F(DeliveredTerms, AreInTheOrderTheProgramSortsCzech) {
    CharacterTables tables;
    ASSERT_TRUE(tables.loadCharacterTables(TRELVO_RUNTIME_DIR "/upchar.dat"));
    const int table = CharacterTables::tableOfCharset(czechCharset);
    for (const WordList& list : {english(), russian()}) {
        std::string previous;
        for (const Line& line : list.lines) {
            std::string key = tables.makeCollationKey(CodePage::fromUtf8(line.fields[0], czechCodePage), table);
            EXPECT_LE(previous, key) << "out of order: " << where(list, line);
            previous = std::move(key);
        }
    }
}

std::set<std::string> termsOf(const WordList& list) {
    std::set<std::string> terms;
    for (const Line& line : list.lines) terms.insert(line.fields[0]);
    return terms;
}

// A user switching dictionaries finds the same Czech terms in both.
TEST_F(DeliveredTerms, RussianAndEnglishHoldTheSameCzechTermsAndTheNewEditionAddsTerms) {
    const std::set<std::string> englishTerms = termsOf(english());
    const std::set<std::string> russianTerms = termsOf(russian());
    for (const Line& line : russian().lines)
        EXPECT_TRUE(englishTerms.count(line.fields[0])) << "not in cs-en.tsv: " << where(russian(), line);
    for (const Line& line : english().lines)
        EXPECT_TRUE(russianTerms.count(line.fields[0])) << "not in cs-ru.tsv: " << where(english(), line);

    std::set<std::pair<std::string, std::string>> englishPairs;
    for (const Line& line : english().lines) englishPairs.emplace(line.fields[0], line.fields[1]);
    for (const Line& line : newTerms().lines)
        EXPECT_FALSE(englishPairs.count({line.fields[0], line.fields[1]}))
            << "already delivered, the demo edition would add nothing: " << where(newTerms(), line);
}

// "zkr. SIL" in a note promises that typing SIL finds the term, not the
// nearest word that happens to start with those letters.
TEST_F(DeliveredTerms, AbbreviationsNamedInNotesAreEntries) {
    const std::string marker = "zkr. ";
    for (const WordList* words : {&english(), &russian()}) {
        const WordList& list = *words;
        const std::set<std::string> terms = termsOf(list);
        for (const Line& line : list.lines) {
            if (line.fields.size() < 3) continue;
            const std::string& note = line.fields[2];
            for (std::size_t at = note.find(marker); at != std::string::npos; at = note.find(marker, at + 1)) {
                const std::size_t start = at + marker.size();
                const std::string abbreviation = note.substr(start, note.find_first_of(",;", start) - start);
                EXPECT_TRUE(terms.count(abbreviation)) << abbreviation << " has no entry: " << where(list, line);
            }
        }
    }
}

// Running po hrotu is trailing, proti hrotu facing; once reversed in one
// language, every such entry was.
TEST_F(DeliveredTerms, FacingAndTrailingAreTheSameWayRoundInBothLanguages) {
    struct Sense { std::string czech, english, russian; };
    const Sense senses[] = {{"po hrotu", "trailing", "пошёрстн"}, {"proti hrotu", "facing", "противошёрстн"}};
    int checked = 0;
    for (const Sense& sense : senses) {
        for (const auto& [list, expected] : {std::pair{&english(), sense.english}, std::pair{&russian(), sense.russian}}) {
            for (const Line& line : list->lines) {
                if (line.fields[0].find(sense.czech) == std::string::npos) continue;
                ++checked;
                EXPECT_TRUE(line.fields[1].starts_with(expected)) << where(*list, line);
            }
        }
    }
    EXPECT_EQ(checked, 8);
}

}  // namespace

#include <gtest/gtest.h>

#include <map>

#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/lookup/EntryFinder.h"
#include "core/lookup/HunspellStems.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;

namespace {

// Stems a test chooses: word → its dictionary forms.
class GivenStems : public WordStems {
public:
    explicit GivenStems(std::map<std::string, std::vector<std::string>> stems) : stems_(std::move(stems)) {}
    std::vector<std::string> stems(const std::string& word) const override {
        const auto found = stems_.find(word);
        return found == stems_.end() ? std::vector<std::string>{} : found->second;
    }

private:
    std::map<std::string, std::vector<std::string>> stems_;
};

// A Czech–Russian dictionary in memory; texts given in UTF-8.
class EntryFinderTest : public ::testing::Test {
protected:
    struct Row {
        std::string term, translation, note;
    };
    void open(const std::vector<Row>& rows, std::shared_ptr<const WordStems> czech = nullptr) {
        store.header.filePath = "/memory.dsl";
        store.header.languageCharset = {238, 204};
        for (const Row& r : rows)
            store.entries.append(CodePage::fromUtf8(r.term, 1250), CodePage::fromUtf8(r.translation, 1251),
                                 CodePage::fromUtf8(r.note, 1250), 0);
        store.rebuildIndexes(tables);
        finder = std::make_unique<EntryFinder>(store.entries, store.indexes, std::array<int, 2>{1250, 1251},
                                               std::array<std::shared_ptr<const WordStems>, 2>{czech, nullptr});
    }
    // "term how" per match, best first.
    std::vector<std::string> find(const std::string& query, std::size_t limit = 20) {
        std::vector<std::string> found;
        for (const EntryMatch& m : finder->find(query, limit).matches)
            found.push_back(CodePage::toUtf8(store.entries.term(m.entry), 1250) + " " + matchKindName(m.how));
        return found;
    }

    DictionaryStore store;
    CharacterTables tables;
    std::unique_ptr<EntryFinder> finder;
};

TEST_F(EntryFinderTest, RanksExactThenBeginningThenWordsInOrderThenAnyOrderThenNote) {
    open({{"závěr jízdní cesty", "замыкание маршрута", ""},
          {"přibližovací závěr", "замыкание приближения", ""},
          {"závěr", "замыкание", ""},
          {"cesta", "маршрут", "závěr se ruší"},
          {"jízdní cesty závěr", "другое", ""},
          {"závěrka", "затвор", ""},
          {"návěstidlo", "светофор", ""}});
    EXPECT_EQ(find("ZAVER"), (std::vector<std::string>{"závěr exact", "závěr jízdní cesty prefix", "závěrka prefix",
                                                       "jízdní cesty závěr words", "přibližovací závěr words",
                                                       "cesta note"}));
    // Words in order before words in any order; ties in the order of the index.
    EXPECT_EQ(find("zaver cesty"), (std::vector<std::string>{"závěr jízdní cesty words", "jízdní cesty závěr words"}));
    EXPECT_EQ(find("jizdni, ces"), (std::vector<std::string>{"jízdní cesty závěr prefix", "závěr jízdní cesty words"}));
    // The other language's side, in its own code page, found by the same query.
    EXPECT_EQ(find("ЗАМЫКАНИЕ"), (std::vector<std::string>{"závěr exact", "závěr jízdní cesty prefix",
                                                           "přibližovací závěr prefix"}));
    EXPECT_EQ(find("светофор")[0], "návěstidlo exact");
    // Every word must match: one that matches nothing leaves nothing.
    EXPECT_TRUE(find("zaver xyz").empty());
}

TEST_F(EntryFinderTest, AmongBeginningsWrittenAsTypedThenEndingAtAWordThenShorterComeFirst) {
    open({{"preventivní údržba", "профилактика", ""},
          {"předání spojení", "передача", ""},
          {"přejezd", "переезд", ""},
          {"návěstní relé", "сигнальное реле", ""},
          {"návěst Stůj", "запрещающий сигнал", ""},
          {"návěstidlo", "светофор", ""},
          {"výhybka pojížděná po hrotu", "пошёрстная стрелка", ""},
          {"výhybkář", "стрелочник", ""}});
    // Háčky typed are meant: "pře" before "pre", which folding alone finds.
    EXPECT_EQ(find("pře"), (std::vector<std::string>{"přejezd prefix", "předání spojení prefix",
                                                     "preventivní údržba prefix"}));
    // Typed without them, nothing is written as typed beyond the letters A to Z.
    EXPECT_EQ(find("PRE")[0], "preventivní údržba prefix");
    // The query ending where a word ends, then the text it covers more of.
    EXPECT_EQ(find("návěst"), (std::vector<std::string>{"návěst Stůj prefix", "návěstidlo prefix",
                                                        "návěstní relé prefix"}));
    EXPECT_EQ(find("výhyb"), (std::vector<std::string>{"výhybkář prefix", "výhybka pojížděná po hrotu prefix"}));
    EXPECT_EQ(find("výhybka"), (std::vector<std::string>{"výhybka pojížděná po hrotu prefix", "výhybkář prefix"}));
}

TEST_F(EntryFinderTest, EmptyAndPunctuationOnlyQueriesFindNothingAndLimitsCutTheListNotTheCount) {
    std::vector<Row> rows;
    for (int i = 0; i < 50; ++i) rows.push_back({"kolej " + std::to_string(i), "путь", ""});
    open(rows);
    EXPECT_TRUE(find("").empty());
    EXPECT_TRUE(find(" ,.;-– ").empty());
    const FindAnswer answer = finder->find("k", 7);
    EXPECT_EQ(answer.matches.size(), 7u);
    EXPECT_EQ(answer.total, 50u);
    EXPECT_TRUE(finder->find("kolej", 0).matches.empty());
    // A query at the length limit and beyond, of one letter repeated and of many words.
    std::string longQuery;
    while (longQuery.size() < 1500) longQuery += "k ";
    EXPECT_EQ(finder->find(longQuery, 5).total, 50u);
    // A query cut by the limit inside a character still finds by its words.
    std::string cut;
    while (cut.size() < 996) cut += "kolej ";
    cut += " –";  // the dash's three bytes stand at 997..999
    ASSERT_EQ(cut.size(), 1000u);
    EXPECT_EQ(finder->find(cut + " kolej", 5).total, 50u);
    std::string manyWords;
    for (int i = 0; i < 300; ++i) manyWords += "kolej" + std::to_string(i % 50) + " ";
    EXPECT_EQ(finder->find(manyWords, 5).total, 0u);
}

TEST_F(EntryFinderTest, TyposOfOneEditFromFourLettersAndTwoFromEightOnlyWhenNothingMatches) {
    open({{"přejezd", "переезд", ""}, {"zabezpečovací zařízení", "устройство", ""}, {"kolo", "колесо", ""},
          {"kolej", "путь", ""}});
    EXPECT_EQ(find("prjezd"), (std::vector<std::string>{"přejezd typo"}));
    EXPECT_EQ(find("perjezd"), (std::vector<std::string>{"přejezd typo"}));
    EXPECT_EQ(find("pjerzd"), std::vector<std::string>{}) << "two edits in a word of six letters";
    EXPECT_EQ(find("zabezpcovaic"), (std::vector<std::string>{"zabezpečovací zařízení typo"}));
    EXPECT_EQ(find("kla"), std::vector<std::string>{}) << "three letters get no typo";
    // "kolo" matches as typed, so its one-edit neighbour "kolej" is not offered as a typo.
    EXPECT_EQ(find("kolo"), (std::vector<std::string>{"kolo exact"}));
}

TEST_F(EntryFinderTest, InflectedFormsMatchThroughTheirStemsAfterEveryPlainMatch) {
    auto stems = std::make_shared<GivenStems>(std::map<std::string, std::vector<std::string>>{
        {"návěstidla", {"návěstidlo"}}, {"obvodu", {"obvod"}}, {"kolejového", {"kolejový"}},
        {"návěstidlo", {"návěstidlo"}}, {"obvod", {"obvod"}}, {"kolejový", {"kolejový"}},
        {"žlutého", {"žlutý"}}, {"žluté", {"žlutý"}}, {"světla", {"světlo"}}, {"světlo", {"světlo"}}});
    open({{"kolejový obvod", "рельсовая цепь", ""}, {"návěstidlo", "светофор", ""},
          {"návěstidla hlavní", "x", ""}, {"žluté světlo", "жёлтый огонь", ""}},
         stems);
    // The entry's words are inflected too: both sides meet in their stems.
    EXPECT_EQ(find("žlutého světla"), (std::vector<std::string>{"žluté světlo form"}));
    EXPECT_EQ(find("návěstidla"), (std::vector<std::string>{"návěstidla hlavní prefix", "návěstidlo form"}));
    EXPECT_EQ(find("kolejového obvodu"), (std::vector<std::string>{"kolejový obvod form"}));
    // Without diacritics the stems are not known: the plain match still works where it can.
    EXPECT_EQ(find("navestidla"), (std::vector<std::string>{"návěstidla hlavní prefix"}));
}

TEST_F(EntryFinderTest, HunspellGivesTheStemOfAWordFromADictionaryOnDisk) {
    support::TemporaryFolder folder;
    const std::string aff = folder.write("cs_CZ.aff", "SET UTF-8\nSFX A Y 1\nSFX A o a o\n");
    const std::string dic = folder.write("cs_CZ.dic", "1\nnávěstidlo/A\n");
    const auto hunspell = HunspellStems::open(aff, dic);
    ASSERT_TRUE(hunspell);
    EXPECT_EQ(hunspell->stems("návěstidla"), std::vector<std::string>{"návěstidlo"});
    EXPECT_TRUE(hunspell->stems("kolej").empty());
    EXPECT_TRUE(HunspellStems::forLanguage("cs", folder.path().string()));
    EXPECT_FALSE(HunspellStems::forLanguage("und", folder.path().string()));
    EXPECT_FALSE(HunspellStems::open(folder.file("missing.aff"), dic));
    open({{"návěstidlo", "светофор", ""}}, std::shared_ptr<const WordStems>(hunspell.get(), [](auto*) {}));
    EXPECT_EQ(find("Návěstidla"), (std::vector<std::string>{"návěstidlo form"}));
}

TEST_F(EntryFinderTest, MatchedWordsAreTheOnesAQueryWordBegins) {
    const std::string text = CodePage::fromUtf8("Přibližovací závěr, závěrka", 1250);
    const auto spans = EntryFinder::matchedWords(text, 1250, "ZAVER");
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(EntryFinder::matchedWords(text, 1250, "pribilzovaci").size(), 1u) << "a typo is shown too";
    EXPECT_EQ(EntryFinder::matchedWords(text, 1250, "pri").size(), 1u);
    EXPECT_TRUE(EntryFinder::matchedWords(text, 1250, "zav kolej").size() == 2u);
    EXPECT_EQ(text.substr(spans[0].first, spans[0].second - spans[0].first), CodePage::fromUtf8("závěr", 1250));
    EXPECT_EQ(text.substr(spans[1].first, spans[1].second - spans[1].first), CodePage::fromUtf8("závěrka", 1250));
}

TEST_F(EntryFinderTest, AWordFoundThroughItsStemIsShownToo) {
    const GivenStems stems({{"světla", {"světlo"}}, {"světel", {"světlo"}}, {"návěstních", {"návěstní"}}});
    const std::string text = CodePage::fromUtf8("návěstních světel, kolej", 1250);
    const auto spans = EntryFinder::matchedWords(text, 1250, "světla", &stems);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(text.substr(spans[0].first, spans[0].second - spans[0].first), CodePage::fromUtf8("světel", 1250));
    EXPECT_TRUE(EntryFinder::matchedWords(text, 1250, "světla").empty()) << "without stems, no other form is a match";
}

TEST_F(EntryFinderTest, EntriesWithoutWordsAreNeverFound) {
    open(std::vector<Row>(5000, Row{"", "", ""}));
    EXPECT_EQ(finder->find("a", 10).total, 0u);
    EXPECT_EQ(finder->find("prejezd", 10).total, 0u);
}

TEST_F(EntryFinderTest, ACancelledFindSaysSo) {
    open({{"kolej", "путь", ""}});
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(finder->find("kolej", 5, &cancel).cancelled);
    cancel = false;
    EXPECT_FALSE(finder->find("kolej", 5, &cancel).cancelled);
}

}  // namespace

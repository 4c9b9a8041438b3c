#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/dictionary/DictionaryFile.h"
#include "core/exchange/Synchronisation.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

struct E {
    std::string term, translation, note;
    std::uint32_t flags;
    bool operator==(const E&) const = default;
};

EntryList listOf(const std::vector<E>& entries) {
    EntryList list;
    for (const E& e : entries) list.append(e.term, e.translation, e.note, e.flags);
    return list;
}

std::vector<E> contents(const EntryList& list) {
    std::vector<E> out;
    for (std::size_t n = 0; n < list.size(); ++n)
        out.push_back({std::string(list.term(n)), std::string(list.translation(n)), std::string(list.note(n)),
                       list.flags(n)});
    return out;
}

std::vector<std::uint32_t> order(const DictionaryIndex& index) {
    std::vector<std::uint32_t> numbers;
    for (std::size_t i = 0; i < index.size(); ++i) numbers.push_back(index.entryNumber(i));
    return numbers;
}

DictionaryHeader headerWith(const std::string& id, const std::string& name, const std::string& picture) {
    DictionaryHeader h;
    h.name = name;
    h.languageName = {"Česky", "Německy"};
    h.languageCharset = {238, 0};
    h.languageImage = {picture, picture + "2"};
    h.author = name + " autor";
    h.version = name + " verze";
    h.note = name + " poznámka";
    h.updateStamp = "202401010000";
    h.idAndAccessCode = id;
    return h;
}

class SynchronisationTest : public ::testing::Test {
protected:

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    std::string writeOther(const DictionaryHeader& header, const std::vector<E>& entries,
                           const std::string& name = "other.dsl") {
        EXPECT_TRUE(writeDictionaryFile(header, listOf(entries), path(name)));
        return path(name);
    }

    void makeActive(const DictionaryHeader& header, const std::vector<E>& entries) {
        active_.header = header;
        active_.header.filePath = path("active.dsl");
        active_.entries = listOf(entries);
        active_.rebuildIndexes(tables_);
        entriesBefore_ = entries;
    }

    SyncOutcome run(const std::string& other, bool answer = true) {
        asked_ = 0;
        merging_.clear();
        return synchronise(
            active_, tables_, other,
            [&] {
                ++asked_;
                return answer;
            },
            {}, &counts_,
            [&](SyncOutcome branch, const SyncCounts& planned) {
                // Said once the question is behind, before the entries change.
                EXPECT_EQ(contents(active_.entries), entriesBefore_);
                merging_.push_back(branch);
                planned_ = planned;
                return agree_;
            });
    }

    void expectIndexesCover(std::size_t count) {
        for (const DictionaryIndex& index : active_.indexes) EXPECT_EQ(index.size(), count);
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-sync"};
    fs::path folder_ = temporary_.path();
    CharacterTables tables_;
    DictionaryStore active_;
    int asked_ = 0;
    SyncCounts counts_{99, 99, 99};
    SyncCounts planned_;
    bool agree_ = true;
    std::vector<SyncOutcome> merging_;
    std::vector<E> entriesBefore_;
};

}  // namespace

TEST_F(SynchronisationTest, NewEditionReplacesDeliveredEntriesAndHeader) {
    makeActive(headerWith("0A1B2C3Dstaryklic", "Stará", "BMold"), {{"návěst", "Signal", "", efDefault},
                                                                    {"výhybka", "Weiche", "p", efDefault}});
    DictionaryHeader newer = headerWith("0A1B2C3Dnovyklic", "Nová", "BMnew");
    newer.languageCharset = {238, 204};
    const std::vector<E> incoming = {{"kolej", "Gleis", "n1", efDefault},
                                     {"návěst", "Signal", "", efDefault},
                                     {"stavědlo", "Stellwerk", "", efImported}};
    const std::string other = writeOther(newer, incoming);

    EXPECT_EQ(run(other), SyncOutcome::synchronised);
    EXPECT_EQ(asked_, 0);
    EXPECT_EQ(counts_, (SyncCounts{2, 0, 3}));
    // Only delivered entries before: exactly the new edition, flags as stored.
    EXPECT_EQ(contents(active_.entries), incoming);
    DictionaryHeader expected = newer;
    expected.filePath = path("active.dsl");
    EXPECT_EQ(active_.header, expected);
    EXPECT_EQ(active_.tableOf(1), CharacterTables::tableOfCharset(204));
    expectIndexesCover(3);
}

TEST_F(SynchronisationTest, UserEntriesSurviveAndDecideRepetition) {
    makeActive(headerWith("0A1B2C3D", "Stará", "BMold"),
               {{"návěst", "Signal", "", efDefault},
                {"kolej", "Gleis (Schiene)", "upraveno", efUserModified},  // user's changed translation
                {"výhybka", "Weiche", "", efDefault},
                {"stavědlo", "Stellwerk", "můj", efImported},  // the new edition brings it too
                {"přejezd", "Bahnübergang", "", efDefault}});
    const std::string other = writeOther(headerWith("0A1B2C3D", "Nová", "BMnew"),
                                         {{"kolej", "Gleis", "", efDefault},
                                          {"stavědlo", "Stellwerk", "nový", efDefault},
                                          {"návěst", "Signal", "", efDefault},
                                          {"návěst", "Signal", "", efDefault},
                                          {"Kolej", "Gleis (Schiene)", "", efDefault},
                                          {"kolej", "gleis (schiene)", "", efDefault}});

    EXPECT_EQ(run(other), SyncOutcome::synchronised);
    EXPECT_EQ(counts_, (SyncCounts{3, 2, 5})) << "the question before said the same";
    EXPECT_EQ(planned_, counts_);
    const std::vector<E> expected = {
        // kept entries first, in their old order
        {"kolej", "Gleis (Schiene)", "upraveno", efUserModified},
        {"stavědlo", "Stellwerk", "můj", efImported},
        // then the new ones in file order; repeats inside the file all arrive,
        // and a different letter case is a different entry
        {"kolej", "Gleis", "", efDefault},
        {"návěst", "Signal", "", efDefault},
        {"návěst", "Signal", "", efDefault},
        {"Kolej", "Gleis (Schiene)", "", efDefault},
        {"kolej", "gleis (schiene)", "", efDefault},
    };
    EXPECT_EQ(contents(active_.entries), expected);
    expectIndexesCover(expected.size());
}

TEST_F(SynchronisationTest, DifferentIdImportsMissingEntriesAsImported) {
    const DictionaryHeader own = headerWith("11111111klic", "Vlastní", "BMown");
    const std::vector<E> before = {{"návěst", "Signal", "", efDefault},
                                   {"kolej", "Gleis", "", efUserModified}};
    makeActive(own, before);
    const std::string other = writeOther(headerWith("22222222klic", "Cizí", "BMforeign"),
                                         {{"návěst", "Signal", "jiná poznámka", efDefault},  // present, delivered
                                          {"kolej", "Gleis", "", efDefault},
                                          {"výhybka", "Weiche", "v", efDefault},
                                          {"výhybka", "Weiche", "v", efUserModified},
                                          {"Návěst", "Signal", "", efDefault}});

    EXPECT_EQ(run(other, true), SyncOutcome::imported);
    EXPECT_EQ(asked_, 1);
    EXPECT_EQ(merging_, std::vector<SyncOutcome>{SyncOutcome::imported});
    EXPECT_EQ(counts_, (SyncCounts{0, 2, 3}));
    std::vector<E> expected = before;  // nothing removed, whatever its flags
    expected.push_back({"výhybka", "Weiche", "v", efImported});
    expected.push_back({"výhybka", "Weiche", "v", efImported});
    expected.push_back({"Návěst", "Signal", "", efImported});
    EXPECT_EQ(contents(active_.entries), expected);
    // Header and pictures stay the active dictionary's own.
    DictionaryHeader expectedHeader = own;
    expectedHeader.filePath = path("active.dsl");
    EXPECT_EQ(active_.header, expectedHeader);
    expectIndexesCover(expected.size());
}

TEST_F(SynchronisationTest, DeclinedImportChangesNothing) {
    makeActive(headerWith("11111111", "Vlastní", "BMown"), {{"návěst", "Signal", "", efDefault}});
    const DictionaryStore before = active_;
    const std::string other =
        writeOther(headerWith("22222222", "Cizí", "BMforeign"), {{"kolej", "Gleis", "", efDefault}});

    EXPECT_EQ(run(other, false), SyncOutcome::declined);
    EXPECT_EQ(asked_, 1);
    EXPECT_TRUE(merging_.empty()) << "nothing under way after a No";
    EXPECT_EQ(counts_, SyncCounts{});
    // Without anyone to ask, the import is not done either.
    EXPECT_EQ(synchronise(active_, tables_, other, {}, {}), SyncOutcome::declined);

    EXPECT_EQ(active_.header, before.header);
    EXPECT_EQ(active_.entries, before.entries);
    EXPECT_EQ(order(active_.indexes[0]), order(before.indexes[0]));
}

TEST_F(SynchronisationTest, ANoToTheCountsChangesNothing) {
    makeActive(headerWith("0A1B2C3D", "Stará", "BMold"), {{"návěst", "Signal", "", efDefault},
                                                          {"kolej", "Gleis", "", efUserModified}});
    const DictionaryStore before = active_;
    const std::string edition =
        writeOther(headerWith("0A1B2C3D", "Nová", "BMnew"), {{"výhybka", "Weiche", "", efDefault}});
    agree_ = false;
    EXPECT_EQ(run(edition), SyncOutcome::declined);
    EXPECT_EQ(planned_, (SyncCounts{1, 1, 1})) << "what would have happened";
    EXPECT_EQ(counts_, SyncCounts{});
    EXPECT_EQ(active_.header, before.header);
    EXPECT_EQ(active_.entries, before.entries);
    EXPECT_EQ(order(active_.indexes[0]), order(before.indexes[0]));
}

TEST_F(SynchronisationTest, RejectedFileChangesNothing) {
    // An active dictionary without ID would match the empty ID of an unread file.
    makeActive(headerWith("", "Vlastní", "BMown"), {{"návěst", "Signal", "", efDefault},
                                                    {"kolej", "Gleis", "", efDefault}});
    const DictionaryStore before = active_;

    const std::string good = writeOther(headerWith("", "Cizí", "BMforeign"), {{"výhybka", "Weiche", "", efDefault}});
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(path("short.dsl"), std::ios::binary) << bytes.substr(0, bytes.size() - 3);
    std::ofstream(path("nomagic.dsl"), std::ios::binary) << "XSL" << bytes.substr(3);
    std::ofstream(path("empty.dsl"), std::ios::binary);

    for (const char* name : {"missing.dsl", "short.dsl", "nomagic.dsl", "empty.dsl"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(run(path(name)), SyncOutcome::unreadable);
        EXPECT_EQ(asked_, 0);
        EXPECT_TRUE(merging_.empty());
        EXPECT_EQ(counts_, SyncCounts{});
        EXPECT_EQ(active_.header, before.header);
        EXPECT_EQ(active_.entries, before.entries);
    }
    // The intact file synchronises: the empty IDs are equal.
    EXPECT_EQ(run(good), SyncOutcome::synchronised);
    EXPECT_EQ(merging_, std::vector<SyncOutcome>{SyncOutcome::synchronised});
    EXPECT_EQ(contents(active_.entries), (std::vector<E>{{"výhybka", "Weiche", "", efDefault}}));
}

TEST_F(SynchronisationTest, NoActiveDictionaryIsLeftAlone) {
    const std::string other = writeOther(headerWith("", "Cizí", "BM"), {{"kolej", "Gleis", "", efDefault}});
    EXPECT_EQ(run(other), SyncOutcome::noDictionary);
    EXPECT_TRUE(active_.entries.empty());
    EXPECT_EQ(active_.header, DictionaryHeader{});
}

TEST_F(SynchronisationTest, IdComparesFirstEightBytesOnly) {
    EXPECT_TRUE(sameDictionaryId("ABCDEF01", "ABCDEF01xyz"));
    EXPECT_FALSE(sameDictionaryId("ABCDEF01", "abcdef01"));
    EXPECT_FALSE(sameDictionaryId("ABCDEF0", "ABCDEF01"));  // a shorter ID is compared whole
    EXPECT_TRUE(sameDictionaryId("ABC", "ABC"));
    EXPECT_TRUE(sameDictionaryId("", ""));
}

TEST_F(SynchronisationTest, LargeMergeReportsProgressAndKeepsEveryEntry) {
    std::vector<E> own, incoming;
    for (int i = 0; i < 1500; ++i) own.push_back({"t" + std::to_string(i), "p", "", i % 3 ? efDefault : efImported});
    for (int i = 0; i < 1200; ++i) incoming.push_back({"t" + std::to_string(i), "p", "", efDefault});
    makeActive(headerWith("0A1B2C3D", "Stará", ""), own);
    const std::string other = writeOther(headerWith("0A1B2C3D", "Nová", ""), incoming);

    std::vector<std::size_t> reports;
    SyncCounts counts;
    EXPECT_EQ(synchronise(
                  active_, tables_, other, [] { return true; },
                  [&](std::size_t done) { reports.push_back(done); }, &counts),
              SyncOutcome::synchronised);
    // 500 kept (every third), of which 400 lie in the incoming range.
    EXPECT_EQ(counts, (SyncCounts{1000, 500, 800}));
    EXPECT_EQ(active_.entries.size(), 1300u);
    ASSERT_FALSE(reports.empty());
    for (std::size_t i = 0; i < reports.size(); ++i) EXPECT_EQ(reports[i], (i + 1) * 100);
    EXPECT_EQ(reports.back(), 2700u);
}

TEST_F(SynchronisationTest, AMergePastTheLimitsIsRefusedBeforeAnythingChanges) {
    makeActive(headerWith("0A1B2C3D", "Stará", ""), {{"návěst", "Signal", "", efDefault},
                                                     {"kolej", "Gleis", "vlastní poznámka", efUserModified}});
    const DictionaryStore before = active_;
    const std::string edition = writeOther(headerWith("0A1B2C3D", "Nová", ""), {{"výhybka", "Weiche", "", efDefault},
                                                                                {"kolej", "Gleis", "", efDefault}});
    const std::string foreign = writeOther(headerWith("FFFFFFFF", "Cizí", ""), {{"výhybka", "Weiche", "", efDefault}},
                                           "foreign.dsl");
    // The edition leaves 2 entries (the user's and one new), the import 3.
    active_.limits.entryCount = 2;
    EXPECT_EQ(run(foreign), SyncOutcome::tooLarge);
    EXPECT_EQ(asked_, 1) << "the import question comes first";
    EXPECT_TRUE(merging_.empty()) << "no question about counts that cannot be";
    EXPECT_EQ(counts_, SyncCounts{});
    EXPECT_EQ(active_.header, before.header);
    EXPECT_EQ(active_.entries, before.entries);

    // The size in the file counts as well, header included; the user's note
    // makes the merge larger than the edition's file.
    DictionaryHeader merged = headerWith("0A1B2C3D", "Nová", "");
    EntryList expected =
        listOf({{"kolej", "Gleis", "vlastní poznámka", efUserModified}, {"výhybka", "Weiche", "", efDefault}});
    const std::size_t bytes = serializeDictionary(merged, expected).size();
    active_.limits = {bytes - 1, 2};
    EXPECT_EQ(run(edition), SyncOutcome::tooLarge);
    EXPECT_EQ(active_.entries, before.entries);
    active_.limits = {bytes, 2};
    EXPECT_EQ(run(edition), SyncOutcome::synchronised);
    EXPECT_EQ(active_.entries, expected);
    EXPECT_TRUE(active_.saveDictionary()) << "what a merge admits, a save writes";

    EXPECT_EQ(tooLargeMergeMessage("/x/nove.dsl"),
              "Spojením se souborem \"/x/nove.dsl\" by slovník přesáhl 16 777 216 záznamů nebo 1 GiB a nešlo by "
              "jej znovu otevřít; nic se nezměnilo.");
}

TEST_F(SynchronisationTest, ManyEqualEntriesMergeInOnePass) {
    // Each incoming entry is looked up among the kept ones; a million equal
    // kept entries must not make every lookup walk all of them (it would take
    // hours).
    const std::vector<E> same(1000000, E{"", "", "", efUserModified});
    makeActive(headerWith("0A1B2C3D", "Stará", ""), same);
    const std::string edition = writeOther(headerWith("0A1B2C3D", "Nová", ""), same);
    EXPECT_EQ(run(edition), SyncOutcome::synchronised);
    EXPECT_EQ(counts_, (SyncCounts{0, 1000000, 0}));
}

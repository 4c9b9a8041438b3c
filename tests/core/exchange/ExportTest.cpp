#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/dictionary/DictionaryFile.h"
#include "core/exchange/Export.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace trelvo;
using Numbers = std::vector<std::uint32_t>;

namespace {

const std::string animal = "zv\xED\xF8" "e";

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        store.header = {"Zabezpečovací technika", {"Čeština", "English"}, {238, 0}, {"BM-cz", "BM-en"},
                        "Autor", "3", "Poznámka", "202401010000", "0000ABCDheslo", path("active.dsl")};
        // Entry order differs from both alphabetical orders on purpose.
        store.appendEntry("pes", "dog", animal, efImported);
        store.appendEntry("auto", "car", "", efDefault);
        store.appendEntry("ko\xE8ka", "", animal, efUserModified);
        store.appendEntry("brzda", "brake", "Technika", efUserModified | efImported);
        store.appendEntry("", "wheel", "Technika", efDefault);
        store.appendEntry("zarazka", "stop", "technika", efDefault);
        store.rebuildIndexes(tables);
    }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<fs::path> folderFiles() const {
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(folder_)) files.push_back(e.path().filename());
        return files;
    }

    CharacterTables tables;
    DictionaryStore store;
    trelvo::support::TemporaryFolder temporary_{"trelvo-export"};
    fs::path folder_ = temporary_.path();
};

std::function<std::uint32_t()> counter(std::uint32_t start) {
    return [n = start]() mutable { return n++; };
}

}  // namespace

TEST_F(ExportTest, AvailableNotesFollowEntryOrderAfterBlank) {
    EXPECT_EQ(availableNotes(store.entries), (std::vector<std::string>{"<blank>", animal, "Technika", "technika"}));
    EXPECT_EQ(availableNotes(EntryList{}), (std::vector<std::string>{"<blank>"}));
}

TEST_F(ExportTest, Selection) {
    ExportChoice choice;
    EXPECT_EQ(selectEntries(store, choice), (Numbers{4, 1, 3, 2, 0, 5}));  // by terms
    choice.sourceSide = 1;
    choice.notes = {"Technika"};  // not in force
    EXPECT_EQ(selectEntries(store, choice), (Numbers{2, 3, 1, 0, 5, 4}));  // by translations

    choice.byFilter = true;
    choice.notes = {};
    EXPECT_TRUE(selectEntries(store, choice).empty());
    choice.notes = {"<blank>"};
    EXPECT_EQ(selectEntries(store, choice), (Numbers{1}));
    choice.notes = {"technika", "", "Technika", "TECHNIKA"};  // exact texts, in any order
    EXPECT_EQ(selectEntries(store, choice), (Numbers{3, 1, 5, 4}));

    // "Translated" is judged on the target side, whichever it is.
    choice.byFilter = false;
    choice.translatedOnly = true;
    EXPECT_EQ(selectEntries(store, choice), (Numbers{2, 3, 1, 0, 5}));
    choice.sourceSide = 0;
    EXPECT_EQ(selectEntries(store, choice), (Numbers{4, 1, 3, 0, 5}));
}

TEST_F(ExportTest, TextFileBytes) {
    store.entries.setText(1, 1, "car\tvehicle\nx");  // written unchanged, not escaped
    ExportChoice choice{true, {"<blank>", animal}, false, 0};
    ASSERT_TRUE(exportText(store, choice, path("out.txt")));
    EXPECT_EQ(contents(path("out.txt")), "auto\tcar\tvehicle\nx\r\nko\xE8ka\t\r\npes\tdog\r\n");

    choice.sourceSide = 1;
    ASSERT_TRUE(exportText(store, choice, path("out.txt")));  // replaces the file
    EXPECT_EQ(contents(path("out.txt")), "\tko\xE8ka\r\ncar\tvehicle\nx\tauto\r\ndog\tpes\r\n");

    choice.notes.clear();
    ASSERT_TRUE(exportText(store, choice, path("out.txt")));
    EXPECT_TRUE(fs::exists(path("out.txt")));
    EXPECT_EQ(contents(path("out.txt")), "");
}

// A large export is made and written in blocks: the lines must still come
// in index order across them, each once.
TEST_F(ExportTest, ALargeExportKeepsTheIndexOrderAcrossItsBlocks) {
    for (int i = 40'000; i > 0; --i) store.appendEntry("t" + std::to_string(100'000 + i), std::to_string(i), "", 0);
    store.rebuildIndexes(tables);
    ExportChoice choice;
    choice.byFilter = true;
    choice.notes = {"<blank>"};
    ASSERT_TRUE(exportText(store, choice, path("out.txt")));
    std::string expected = "auto\tcar\r\n";
    for (int i = 1; i <= 40'000; ++i) expected += "t" + std::to_string(100'000 + i) + "\t" + std::to_string(i) + "\r\n";
    EXPECT_EQ(contents(path("out.txt")), expected);

    // A store opened without indexes exports the same from the entry order
    // alone, and the count is of the lines written.
    const LargeVector<std::uint32_t> order = DictionaryIndex::entryOrder(store.entries, 0, tables, store.tableOf(0));
    store.clearIndexes();
    choice.order = &order;
    EXPECT_EQ(exportEntries(store, choice, ExportFormat::text, path("again.txt"), counter(1)), 40'001u);
    EXPECT_EQ(contents(path("again.txt")), expected);
    // Unfiltered, the order itself is written.
    choice.byFilter = false;
    EXPECT_EQ(exportEntries(store, choice, ExportFormat::text, path("all.txt"), counter(1)), 40'006u);
    store.rebuildIndexes(tables);
    choice.order = nullptr;
    ASSERT_TRUE(exportText(store, choice, path("all-by-index.txt")));
    EXPECT_EQ(contents(path("all.txt")), contents(path("all-by-index.txt")));
}

TEST_F(ExportTest, TheCountSaysHowManyEntriesWereWrittenInEveryFormat) {
    const ExportChoice translated{false, {}, true, 0};
    for (ExportFormat format : {ExportFormat::text, ExportFormat::utf8Text, ExportFormat::csv, ExportFormat::tbx2008,
                                ExportFormat::tbx2019, ExportFormat::dictionary})
        EXPECT_EQ(exportEntries(store, translated, format, path("out"), counter(1)), 5u);
    EXPECT_EQ(exportEntries(store, {true, {}, false, 0}, ExportFormat::text, path("out"), counter(1)), 0u);
    EXPECT_EQ(exportEntries(store, translated, ExportFormat::text, path("missing/out"), counter(1)), std::nullopt);
}

TEST_F(ExportTest, DictionaryFile) {
    ASSERT_TRUE(exportDictionary(store, {false, {}, true, 1}, path("copy.dsl"), counter(0x12AB)));
    DictionaryHeader header;
    EntryList entries;
    ASSERT_TRUE(readDictionaryFile(path("copy.dsl"), header, entries));
    EXPECT_EQ(header, (DictionaryHeader{"Zabezpečovací technika (exported)", store.header.languageName,
                                        store.header.languageCharset, store.header.languageImage, "", "", "",
                                        "", "12AB12AC", ""}));
    // Ordered by the translations, texts kept in their places, flags with them.
    EntryList expected;
    expected.append("ko\xE8ka", "", animal, efUserModified);
    expected.append("brzda", "brake", "Technika", efUserModified | efImported);
    expected.append("auto", "car", "", efDefault);
    expected.append("pes", "dog", animal, efImported);
    expected.append("zarazka", "stop", "technika", efDefault);
    EXPECT_EQ(entries, expected);

    // Another export draws its own ID; an empty filter in force leaves no entry.
    ASSERT_TRUE(exportDictionary(store, {true, {}, false, 0}, path("copy2.dsl"), counter(0x1FFFE)));
    ASSERT_TRUE(readDictionaryFile(path("copy2.dsl"), header, entries));
    EXPECT_EQ(header.idAndAccessCode, "FFFEFFFF");
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(store.header.name, "Zabezpečovací technika");
}

TEST_F(ExportTest, WritesFailOrSkipCleanly) {
    EXPECT_FALSE(exportText(store, {}, path("missing/out.txt")));
    EXPECT_FALSE(exportDictionary(store, {}, path("missing/out.dsl"), counter(1)));
    // A folder in the way: the temporary file is made but cannot take its name.
    fs::create_directory(path("taken"));
    EXPECT_FALSE(exportText(store, {}, path("taken")));
    EXPECT_FALSE(exportDictionary(store, {}, path("taken"), counter(1)));
    EXPECT_EQ(folderFiles(), (std::vector<fs::path>{"taken"}));
    EXPECT_TRUE(fs::is_empty(path("taken")));

    // No dictionary open: nothing to write and nothing to report.
    store.header.filePath.clear();
    EXPECT_TRUE(exportText(store, {}, path("out.txt")));
    EXPECT_TRUE(exportDictionary(store, {}, path("out.dsl"), counter(1)));
    EXPECT_EQ(folderFiles(), (std::vector<fs::path>{"taken"}));
}

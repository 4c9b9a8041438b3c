// Workbooks: what the export writes is what a spreadsheet reader finds in it.
#include <gtest/gtest.h>

#include <cstdio>

#include "CollectedPairs.h"
#include "core/dictionary/CodePage.h"
#include "core/exchange/Export.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;

namespace {

// Every cell of the workbook's first sheet as a reader of the format gives
// it: one line per row, cells split by "|", an empty cell as "-"; then the
// frozen cell and the column widths.
std::string cellsOf(const std::string& path) {
    // The system's Python, which the Debian package of the reader serves.
    const std::string script =
        "import sys, openpyxl\n"
        "b = openpyxl.load_workbook(sys.argv[1])\n"
        "s = b.worksheets[0]\n"
        "for r in s.iter_rows(values_only=True):\n"
        "    print('|'.join('-' if v is None else str(v) for v in r))\n"
        "print('freeze', s.freeze_panes)\n"
        "print('bold', s['A1'].font.b)\n"
        "print('widths', *(int(s.column_dimensions[c].width) for c in 'ABC'))\n";
    support::TemporaryFolder folder("trelvo-xlsx-test");
    const std::string scriptPath = folder.write("cells.py", script);
    FILE* pipe = popen(("/usr/bin/python3 " + scriptPath + " " + path + " 2>&1").c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (pipe) pclose(pipe);
    return out;
}

DictionaryHeader czechEnglish() {
    DictionaryHeader h;
    h.languageName = {CodePage::fromUtf8("Čeština", 1250), CodePage::fromUtf8("Angličtina", 1250)};
    h.languageCharset = {238, 0};
    h.filePath = "/memory.dsl";
    return h;
}

}  // namespace

TEST(XlsxExport, TheSheetHoldsTheEntriesInTheIndexOrderOfTheChosenSide) {
    DictionaryStore store;
    store.header = czechEnglish();
    CharacterTables tables;
    importPairs(store, tables,
                {{CodePage::fromUtf8("výhybka", 1250), "point", CodePage::fromUtf8("poznámka, \"citát\"", 1250)},
                 {"kolej", "track", ""},
                 {CodePage::fromUtf8("návěstidlo", 1250), "", ""},
                 {"007", "<b>&amp;</b>", "1.5"}});
    support::TemporaryFolder folder("trelvo-xlsx");
    const std::string path = folder.file("out.xlsx");
    const auto noRandom = [] { return 4u; };

    ASSERT_EQ(exportEntries(store, {}, ExportFormat::xlsx, path, noRandom), 4u);
    // Numbers stay text and markup stays as it is; an empty cell is empty.
    EXPECT_EQ(cellsOf(path),
              "cs|en|note\n"
              "007|<b>&amp;</b>|1.5\n"
              "kolej|track|-\n"
              "návěstidlo|-|-\n"
              "výhybka|point|poznámka, \"citát\"\n"
              "freeze A2\n"
              "bold True\n"
              "widths 12 14 19\n");

    ExportChoice english;
    english.sourceSide = 1;
    ASSERT_EQ(exportEntries(store, english, ExportFormat::xlsx, path, noRandom), 4u);
    EXPECT_EQ(cellsOf(path),
              "en|cs|note\n"
              "-|návěstidlo|-\n"
              "<b>&amp;</b>|007|1.5\n"
              "point|výhybka|poznámka, \"citát\"\n"
              "track|kolej|-\n"
              "freeze A2\n"
              "bold True\n"
              "widths 14 12 19\n");
}

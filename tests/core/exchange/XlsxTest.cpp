// Workbooks: what the export writes is what a spreadsheet reader finds in it.
#include <gtest/gtest.h>

#include <cstdio>

#include "CollectedPairs.h"
#include "core/dictionary/CodePage.h"
#include "core/exchange/Export.h"
#include "core/exchange/XlsxFormat.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;

namespace {

// What a Python script says, run with path as its argument by the system's
// Python, which the Debian package of the spreadsheet reader serves.
std::string python(const std::string& script, const std::string& path) {
    support::TemporaryFolder folder("trelvo-xlsx-test");
    const std::string scriptPath = folder.write("script.py", script);
    FILE* pipe = popen(("/usr/bin/python3 " + scriptPath + " " + path + " 2>&1").c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (pipe) pclose(pipe);
    return out;
}

// Every cell of the workbook's first sheet as a reader of the format gives
// it: one line per row, cells split by "|", an empty cell as "-"; then the
// frozen cell and the column widths.
std::string cellsOf(const std::string& path) {
    return python(
        "import sys, openpyxl\n"
        "b = openpyxl.load_workbook(sys.argv[1])\n"
        "s = b.worksheets[0]\n"
        "for r in s.iter_rows(values_only=True):\n"
        "    print('|'.join('-' if v is None else str(v) for v in r))\n"
        "print('freeze', s.freeze_panes)\n"
        "print('bold', s['A1'].font.b)\n"
        "print('widths', *(int(s.column_dimensions[c].width) for c in 'ABC'))\n",
        path);
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

TEST(XlsxImport, AWorkbookASpreadsheetWroteComesInByItsHeader) {
    support::TemporaryFolder folder("trelvo-xlsx");
    const std::string path = folder.file("glosar.bin");
    // Columns named by language in another order, numbers, empty cells, an
    // empty row and a second sheet that is not read.
    ASSERT_EQ(python("import sys, openpyxl\n"
                     "b = openpyxl.Workbook()\n"
                     "s = b.active\n"
                     "s.append(['Poznámka', 'English', 'Čeština'])\n"
                     "s.append(['zkr.', 'track', 'kolej'])\n"
                     "s.append([None, 42, 'výhybka'])\n"
                     "s.append([])\n"
                     "s.append([1.5, None, 'návěstidlo'])\n"
                     "s.append(['bez termínu', 'orphan', None])\n"
                     "b.create_sheet('druhý').append(['cs', 'en'])\n"
                     "b.save(sys.argv[1])\n",
                     path),
              "");
    const std::string bytes = support::readBytes(path);
    ASSERT_TRUE(isWorkbook(bytes));
    ImportReading reading;
    EXPECT_EQ(readImportFile("glosar.bin", bytes, czechEnglish(), &reading),
              (Pairs{{"kolej", "track", "zkr."},
                     {CodePage::fromUtf8("výhybka", 1250), "42", ""},
                     {CodePage::fromUtf8("návěstidlo", 1250), "", "1.5"}}));
    EXPECT_EQ(reading.error, "");
}

TEST(XlsxImport, InlineStringsAndCellsWithoutReferences) {
    support::TemporaryFolder folder("trelvo-xlsx");
    const std::string path = folder.file("inline.xlsx");
    ASSERT_EQ(python("import sys, zipfile\n"
                     "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
                     "z.writestr('xl/workbook.xml', '<workbook><sheets><sheet name=\"a\" sheetId=\"1\"/></sheets></workbook>')\n"
                     "z.writestr('xl/worksheets/sheet1.xml', '<worksheet><sheetData>'\n"
                     "  '<row><c t=\"inlineStr\"><is><t>kolej</t></is></c><c t=\"inlineStr\"><is><t>tr</t><t>ack</t></is></c></row>'\n"
                     "  '<row><c r=\"B2\"><v>7</v></c><c r=\"A2\" t=\"inlineStr\"><is><t>&lt;a&amp;b&gt;</t></is></c></row>'\n"
                     "  '</sheetData></worksheet>')\n"
                     "z.close()\n",
                     path),
              "");
    EXPECT_EQ(readImportFile("inline.xlsx", support::readBytes(path), czechEnglish()),
              (Pairs{{"kolej", "track", ""}, {"<a&b>", "7", ""}}));
}

TEST(XlsxImport, EscapedCharactersComeInAsTheCharactersTheyStandFor) {
    // A note with a line break, exported and imported back, held "_x000D_".
    support::TemporaryFolder folder("trelvo-xlsx");
    const std::string path = folder.file("escaped.xlsx");
    ASSERT_EQ(python("import sys, zipfile\n"
                     "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
                     "z.writestr('xl/workbook.xml', '<workbook><sheets><sheet name=\"a\" sheetId=\"1\"/></sheets></workbook>')\n"
                     "z.writestr('xl/sharedStrings.xml', '<sst><si><t>v_x00FD_hybka</t></si>'\n"
                     "  '<si><r><t>_x005F_x0041_ a</t></r><r><t> _x12G4_</t></r></si><si><t>_xD83D__xDE82_ _xd83d_</t></si></sst>')\n"
                     "z.writestr('xl/worksheets/sheet1.xml', '<worksheet><sheetData>'\n"
                     "  '<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c><c t=\"s\"><v>2</v></c></row>'\n"
                     "  '<row><c t=\"inlineStr\"><is><t>a_x000D__x000A_b</t></is></c><c t=\"inlineStr\"><is><t>_x0041</t></is></c></row>'\n"
                     "  '</sheetData></worksheet>')\n"
                     "z.close()\n",
                     path),
              "");
    ImportReading reading;
    EXPECT_EQ(readImportFile("escaped.xlsx", support::readBytes(path), czechEnglish(), &reading),
              (Pairs{{CodePage::fromUtf8("výhybka", 1250), "_x0041_ a _x12G4_", "?? ?"}, {"a b", "_x0041", ""}}));
    EXPECT_EQ(reading.replacedCharacters, 3u) << "a '?' for each UTF-16 unit, as in every import";
}

TEST(XlsxImport, ExportedAndImportedBackTheEntriesAndNotesAreTheSame) {
    DictionaryStore store;
    store.header = czechEnglish();
    CharacterTables tables;
    importPairs(store, tables,
                {{CodePage::fromUtf8("výhybka", 1250), "point", CodePage::fromUtf8("poznámka, \"citát\"", 1250)},
                 {"kolej", "track", ""},
                 {"007", "<b>&amp;</b>", "1.5"}});
    support::TemporaryFolder folder("trelvo-xlsx");
    for (int side : {0, 1}) {
        ExportChoice choice;
        choice.sourceSide = side;
        const std::string path = folder.file("out" + std::to_string(side) + ".xlsx");
        ASSERT_EQ(exportEntries(store, choice, ExportFormat::xlsx, path, [] { return 4u; }), 3u);
        DictionaryStore back;
        back.header = store.header;
        const ImportResult result = importFile(back, tables, "out.xlsx", support::readBytes(path), {});
        EXPECT_EQ(result.added, 3u) << side;
        EXPECT_EQ(back.entries.size(), 3u);
        // Appended in the order of the side exported first.
        for (std::size_t n = 0; n < back.entries.size(); ++n)
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(back.entries.text(n, k), store.entries.text(store.indexes[side].entryNumber(n), k)) << side;
    }
}

TEST(XlsxImport, BrokenArchivesAndHugePartsAreRefusedInCzech) {
    support::TemporaryFolder folder("trelvo-xlsx");
    DictionaryStore store;
    store.header = czechEnglish();
    CharacterTables tables;
    importPairs(store, tables, {{"kolej", "track", ""}});
    const std::string path = folder.file("ok.xlsx");
    ASSERT_EQ(exportEntries(store, {}, ExportFormat::xlsx, path, [] { return 4u; }), 1u);
    const std::string whole = support::readBytes(path);
    auto errorOf = [](const std::string& name, const std::string& bytes) {
        ImportReading reading;
        EXPECT_EQ(readImportFile(name, bytes, czechEnglish(), &reading), Pairs{}) << name;
        return reading.error;
    };
    EXPECT_EQ(errorOf("cut.xlsx", whole.substr(0, whole.size() / 2)), "sešit je poškozený");

    const std::string other = folder.file("other.xlsx");
    ASSERT_EQ(python("import sys, zipfile\n"
                     "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
                     "z.writestr('word/document.xml', '<document/>')\n"
                     "z.close()\n",
                     other),
              "");
    EXPECT_EQ(errorOf("other.xlsx", support::readBytes(other)), "soubor není sešit: chybí xl/workbook.xml");

    // A sheet that says it unpacks to 2 GiB is refused before it is inflated.
    std::string bomb = whole;
    const std::string name = "xl/worksheets/sheet1.xml";
    const std::size_t central = bomb.find("PK\x01\x02");
    const std::size_t entry = bomb.find(name, central) - 46;
    ASSERT_EQ(bomb.substr(entry, 4), "PK\x01\x02");
    bomb[entry + 24 + 3] = '\x80';  // the unpacked size's highest byte
    EXPECT_EQ(errorOf("bomb.xlsx", bomb), "sešit je po rozbalení příliš velký (nad 1 GiB)");
}

// CSV and TBX: what leaves the dictionary comes back whole, and files of
// other tools' shapes come in.
#include <gtest/gtest.h>

#include <expat.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <pugixml.hpp>

#include "core/dictionary/CodePage.h"
#include "core/dictionary/TextWords.h"
#include "core/exchange/CsvFormat.h"
#include "CollectedPairs.h"
#include "core/exchange/LanguageCodes.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;

namespace {

DictionaryHeader czechEnglish() {
    DictionaryHeader h;
    h.name = CodePage::fromUtf8("Zabezpečovací technika", 1250);
    h.languageName = {CodePage::fromUtf8("Čeština", 1250), CodePage::fromUtf8("Angličtina", 1250)};
    h.languageCharset = {238, 0};
    h.filePath = "/memory.dsl";
    return h;
}

// Every entry as the import gives it back, in the order of language 0.
Pairs entriesOf(const DictionaryStore& store) {
    Pairs pairs;
    for (std::size_t i = 0; i < store.indexes[0].size(); ++i) {
        const std::uint32_t n = store.indexes[0].entryNumber(i);
        pairs.push_back({std::string(store.entries.term(n)), std::string(store.entries.translation(n)),
                         std::string(store.entries.note(n))});
    }
    return pairs;
}

// What a strict XML 1.0 parser says of the whole of xml: empty when it takes it.
std::string xmlError(const std::string& xml) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    std::string error;
    if (XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) != XML_STATUS_OK)
        error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                std::to_string(XML_GetCurrentLineNumber(parser));
    XML_ParserFree(parser);
    return error;
}

class InterchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(delivered.openFile(std::string(TRELVO_RUNTIME_DIR) + "/DSL/cs-en.dsl", tables));
    }
    CharacterTables tables;
    DictionaryStore delivered;
};

}  // namespace

TEST(LanguageCodes, ComeFromTheLanguagesNames) {
    DictionaryHeader h = czechEnglish();
    EXPECT_EQ(languageCode(h, 0), "cs");
    EXPECT_EQ(languageCode(h, 1), "en");
    h.languageName[1] = CodePage::fromUtf8("RUŠTINA", 1250);
    EXPECT_EQ(languageCode(h, 1), "ru");
    h.languageName[1] = CodePage::fromUtf8("Německy", 1250);
    EXPECT_EQ(languageCode(h, 1), "de");
    h.languageName[1] = "Klingonsky";
    EXPECT_EQ(languageCode(h, 1), "und");

    // The user's code for a language the name does not give, beside the dictionary.
    const trelvo::support::TemporaryFolder folder("trelvo-codes");
    h.filePath = folder.file("a.dsl");
    ASSERT_TRUE(storeLanguageCodes(h.filePath, "", "tlh"));
    EXPECT_EQ(languageCode(h, 1), "tlh");
    EXPECT_EQ(languageCode(h, 0), "cs") << "the name still decides where it can";
    ASSERT_TRUE(storeLanguageCodes(h.filePath, "", "<b>"));
    EXPECT_EQ(languageCode(h, 1), "und") << "only a code is taken from the file";
    EXPECT_FALSE(isLanguageCode("EN"));
    // A side file past its limit is no side file, however it begins; made
    // sparse, a 2 GiB one takes no room, and it is not read.
    ASSERT_TRUE(storeLanguageCodes(h.filePath, "", "tlh"));
    std::filesystem::resize_file(languageCodesPath(h.filePath), std::uintmax_t{1} << 31);
    EXPECT_EQ(languageCode(h, 1), "und");
    std::filesystem::resize_file(languageCodesPath(h.filePath), languageCodesLimit);
    EXPECT_EQ(languageCode(h, 1), "tlh");
    EXPECT_TRUE(sameLanguage("cs-CZ", "cs"));
    EXPECT_TRUE(sameLanguage("EN", "en"));
    EXPECT_FALSE(sameLanguage("ces", "cs"));
}

TEST_F(InterchangeTest, TheDeliveredDictionaryGoesThroughTbxAndCsvWithNothingLost) {
    const Pairs expected = entriesOf(delivered);
    ASSERT_GT(expected.size(), 100u);
    for (TbxVersion version : {TbxVersion::tbx2008, TbxVersion::tbx2019}) {
        const std::string tbx = tbxOf(delivered, {}, version);
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(tbx.c_str())) << "well-formed XML";
        ImportReading reading;
        EXPECT_EQ(readTbx(tbx, delivered.header, &reading), expected);
        EXPECT_TRUE(reading.leftLanguages.empty());
        EXPECT_EQ(reading.replacedCharacters, 0u);
    }
    ImportReading reading;
    EXPECT_EQ(readCsv(csvOf(delivered, {}), delivered.header, &reading), expected);
    EXPECT_EQ(reading.replacedCharacters, 0u);
}

TEST(RoundTrip, EveryFormatEitherWayRoundGivesBackTheSameEntriesAndNotes) {
    // Each interchange format, exported from either side and imported into an
    // empty dictionary under a name that tells nothing, must give back every
    // term, translation and note: diacritics, Cyrillic where the code page
    // has it, quotes, separators, markup, empty notes. A line break in a
    // note comes back as a space, as from any import.
    auto cs = [](const char* utf8) { return CodePage::fromUtf8(utf8, 1250); };
    auto ru = [](const char* utf8) { return CodePage::fromUtf8(utf8, 1251); };
    DictionaryHeader czechRussian = czechEnglish();
    czechRussian.languageName[1] = cs("Ruština");
    czechRussian.languageCharset[1] = 204;
    const Pairs shared{
        {cs("žluťoučký kůň \"úpěl\""), "yellow; horse, \"quoted\"", cs("poznámka, \"citát\"; ďábelské ódy")},
        {"kolej", "track", ""},
        {cs("návěstidlo"), "signal", cs("první řádek\ndruhý\r\ntřetí")},
        {"007", "1.50", "=1+1"},
        {"<b>&amp;</b>", "a'b", "'"},
        {"_x0041_ _x005F_", "_x00", "_x004G_"},
    };
    const std::vector<std::pair<DictionaryHeader, Pairs>> dictionaries{
        {czechEnglish(), shared},
        {czechRussian,
         {{cs("výhybka"), ru("стрелочный перевод, «простой»"), cs("Čeština; \"ř\"")},
          {"kolej", ru("путь \"1\""), ""},
          {cs("hlavní návěstidlo"), ru("сигнал; входной"), cs("a\nb")}}},
    };
    const std::pair<ExportFormat, const char*> formats[] = {{ExportFormat::csv, "csv"},
                                                            {ExportFormat::xlsx, "xlsx"},
                                                            {ExportFormat::tbx2008, "tbx 2008"},
                                                            {ExportFormat::tbx2019, "tbx 2019"}};
    const support::TemporaryFolder folder("trelvo-round");
    CharacterTables tables;
    for (const auto& [header, pairs] : dictionaries) {
        DictionaryStore store;
        store.header = header;
        importPairs(store, tables, pairs);
        Pairs expected = entriesOf(store);
        for (ImportedPair& pair : expected)
            pair = {importedText(pair.term), importedText(pair.translation), importedText(pair.note)};
        for (const auto& [format, name] : formats)
            for (int side : {0, 1}) {
                const std::string what = std::string(name) + (side ? " swapped, " : ", ") +
                                         std::to_string(header.languageCharset[1]);
                ExportChoice choice;
                choice.sourceSide = side;
                const std::string path = folder.file("export");
                ASSERT_EQ(exportEntries(store, choice, format, path, [] { return 7u; }), pairs.size()) << what;
                DictionaryStore back;
                back.header = header;
                const ImportResult result = importFile(back, tables, "export", support::readBytes(path), {});
                EXPECT_EQ(result.outcome, ImportOutcome::imported) << what << result.reading.error;
                EXPECT_EQ(result.added, pairs.size()) << what;
                EXPECT_EQ(result.reading.replacedCharacters, 0u) << what;
                EXPECT_EQ(entriesOf(back), expected) << what;
            }
    }
}

TEST(Tbx, EveryByteOfAnEntryOrNameGivesAFileAStrictParserTakes) {
    DictionaryStore store;
    store.header = czechEnglish();
    store.header.name = "N\x1B]0;title\x07";
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
    store.entries.append("a" + everyByte, everyByte, "red\x1B[31m\tTAB\nLF\rCR", efUserModified);
    store.entries.append("b\x01", "\x1F", "\x0B", 0);
    CharacterTables tables;
    store.rebuildIndexes(tables);
    // The characters XML forbids come back as "?", the rest as they were;
    // the import makes spaces of the line breaks, as of any control character.
    auto cameBack = [](std::string text) {
        for (char& c : text)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') c = '?';
        return entryText(text);
    };
    for (TbxVersion version : {TbxVersion::tbx2008, TbxVersion::tbx2019}) {
        const std::string tbx = tbxOf(store, {}, version);
        EXPECT_EQ(xmlError(tbx), "") << tbx;
        ImportReading reading;
        EXPECT_EQ(readTbx(tbx, store.header, &reading),
                  (Pairs{{cameBack("a" + everyByte), cameBack(everyByte), cameBack("red\x1B[31m\tTAB\nLF\rCR")},
                         {"b?", "?", "?"}}));
        EXPECT_GE(reading.replacedCharacters, 2u * 28 + 2) << "28 in each term of the first entry";
        EXPECT_NE(tbx.find("N\xEF\xBF\xBD]0;title\xEF\xBF\xBD"), std::string::npos) << "the name's too";
    }
}

TEST(Csv, QuotesCommasAndLineBreaks) {
    DictionaryStore store;
    store.header = czechEnglish();
    store.entries.append(CodePage::fromUtf8("návěst \"Stůj\"", 1250), "stop, danger", "a,b", 0);
    store.entries.append("x", "", "", 0);
    CharacterTables tables;
    store.rebuildIndexes(tables);
    const std::string csv = csvOf(store, {});
    EXPECT_EQ(csv, "cs,en,note\r\n"
                   "\"návěst \"\"Stůj\"\"\",\"stop, danger\",\"a,b\"\r\n"
                   "x,,\r\n");
    EXPECT_EQ(readCsv(csv, store.header),
              (Pairs{{CodePage::fromUtf8("návěst \"Stůj\"", 1250), "stop, danger", "a,b"}, {"x", "", ""}}));
    // A line break inside a quoted field, as a spreadsheet writes one, becomes a space.
    EXPECT_EQ(readCsv("\"hlavní\r\nnávěstidlo\",\"main\nsignal\"\n,orphan\n\"a\"\"b\"", store.header),
              (Pairs{{CodePage::fromUtf8("hlavní návěstidlo", 1250), "main signal", ""}, {"a\"b", "", ""}}));
}

TEST(Csv, ExportedInTheSwappedDirectionComesBackTheRightWayRound) {
    // Read by position, 210 of 211 entries came back exchanged.
    DictionaryStore store;
    store.header = czechEnglish();
    CharacterTables tables;
    importPairs(store, tables,
                {{CodePage::fromUtf8("kolej", 1250), "track", CodePage::fromUtf8("poznámka", 1250)},
                 {CodePage::fromUtf8("výhybka", 1250), "point", ""}});
    const Pairs expected = entriesOf(store);
    ExportChoice swapped;
    swapped.sourceSide = 1;
    const std::string csv = csvOf(store, swapped);
    EXPECT_EQ(csv.substr(0, csv.find('\r')), "en,cs,note");
    DictionaryStore back;
    back.header = store.header;
    EXPECT_EQ(importFile(back, tables, "glossary.csv", csv, {}).added, 2u);
    EXPECT_EQ(entriesOf(back), expected);
}

TEST(Csv, AsASpreadsheetInACzechSystemWritesIt) {
    const DictionaryHeader h = czechEnglish();
    const std::string kolej = CodePage::fromUtf8("kolej", 1250), vyhybka = CodePage::fromUtf8("výhybka", 1250);
    // Semicolons, code page 1250 in every column (the English "ř" was read
    // as 1252 "ø"), a header row, a cell with a line break in it.
    const std::string sheet = CodePage::fromUtf8("Termín;Překlad;Poznámka\r\n"
                                                 "kolej;track;\r\n"
                                                 "\"výhybka\r\njednoduchá\";\"simple; ř\";\"a \"\"b\"\"\"\r\n",
                                                 1250);
    ImportReading reading;
    const Pairs expected{{kolej, "track", ""},
                         {CodePage::fromUtf8("výhybka jednoduchá", 1250), "simple; ?", "a \"b\""}};
    EXPECT_EQ(readImportFile("seznam.csv", sheet, h, &reading), expected);
    EXPECT_EQ(reading.encoding, TextEncoding::codePages);
    EXPECT_EQ(reading.replacedCharacters, 1u) << "the ř the English column lacks";
    // Recognised by its header whatever its name; tabs, UTF-16 either way, UTF-8 with its mark.
    EXPECT_EQ(readImportFile("seznam.txt", sheet, h), expected);
    const std::u16string tabs = u"Source\tTarget\nkolej\ttrack\n\"výhybka\"\tpoint\n";
    const Pairs two{{kolej, "track", ""}, {vyhybka, "point", ""}};
    for (bool bigEndian : {false, true}) {
        std::string utf16 = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t c : tabs) {
            const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            utf16 += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        EXPECT_EQ(readCsv(utf16, h, &reading), two) << bigEndian;
        EXPECT_EQ(reading.encoding, TextEncoding::utf16);
    }
    EXPECT_EQ(readCsv("\xEF\xBB\xBFkolej,track\nvýhybka,point\n", h), two);
}

TEST(Csv, TheHeaderNamesTheLanguagesTheirColumns) {
    const DictionaryHeader h = czechEnglish();
    const std::string kolej = CodePage::fromUtf8("kolej", 1250);
    const Pairs track{{kolej, "track", "rail"}};
    for (const char* header : {"en-GB,Definition,cs-CZ", "Angličtina;Definice;ČEŠTINA", "EN,note,cs"}) {
        std::string csv = std::string(header) + "\ntrack,rail,kolej\n";
        if (csv.find(';') != csv.npos) std::replace(csv.begin(), csv.end(), ',', ';');
        EXPECT_EQ(readCsv(csv, h), track) << header;
    }
    // Columns it does not name are left out; a language it does not name is
    // the first such column after the other language's.
    EXPECT_EQ(readCsv("ID,Term,Comment,Other\n7,kolej,rail,track\n", h), track);
    EXPECT_EQ(readCsv("Term,Comment,Other\nkolej,rail,track\n", h), track);
    // One word that could name a column is a word list's first line.
    EXPECT_EQ(readImportFile("a.txt", "zdroj\tsource\nkolej\ttrack\n", h),
              (Pairs{{"zdroj", "source", ""}, {kolej, "track", ""}}));
}

TEST(Csv, AFileWithoutColumnsIsRefusedSayingWhatWasFound) {
    const DictionaryHeader h = czechEnglish();
    ImportReading reading;
    // Each whole line became a term.
    EXPECT_EQ(readCsv("kolej\nvlak\nnávěstidlo\n", h, &reading), Pairs{});
    EXPECT_EQ(reading.error,
              "žádný řádek nemá druhý sloupec; oddělovač čárka, středník ani tabulátor nenalezen, řádků: 3, "
              "sloupců: 1");
    EXPECT_EQ(readCsv("a,b;c\nd,e;f\n", h, &reading), Pairs{});
    EXPECT_EQ(reading.error, "sloupce nelze rozlišit: oddělovač středník (řádků: 2, sloupců: 2) i čárka "
                             "(řádků: 2, sloupců: 2) dělí řádky stejně");
    // The split most rows agree on wins; a header settles a tie.
    EXPECT_EQ(readCsv("a,b;c\nd;e\ng;h\n", h), (Pairs{{"a,b", "c"}, {"d", "e"}, {"g", "h"}}));
    EXPECT_EQ(readCsv("term;translation\na,b;c\n", h), (Pairs{{"a,b", "c"}}));
    DictionaryStore store;
    store.header = h;
    CharacterTables tables;
    EXPECT_EQ(importFile(store, tables, "a.csv", "kolej\n", {}).outcome, ImportOutcome::unreadable);
    EXPECT_EQ(store.entries.size(), 0u);
}

TEST(Tbx, AnotherToolsShapeWithSeveralTermsAndADescription) {
    const std::string tbx = R"(<?xml version="1.0" encoding="UTF-8"?>
<tbx type="TBX-Basic" style="dca" xml:lang="en" xmlns="urn:iso:std:iso:30042:ed-2">
  <tbxHeader><fileDesc><sourceDesc><p>glossary</p></sourceDesc></fileDesc></tbxHeader>
  <text><body>
    <conceptEntry id="42">
      <descrip type="definition">signal showing a proceed aspect</descrip>
      <langSec xml:lang="en-GB">
        <termSec><term>main signal</term><termNote type="partOfSpeech">noun</termNote></termSec>
        <termSec><term>running signal</term></termSec>
      </langSec>
      <langSec xml:lang="cs"><termSec><term>hlavní návěstidlo</term></termSec></langSec>
      <langSec xml:lang="de"><termSec><term>Hauptsignal</term></termSec></langSec>
    </conceptEntry>
    <conceptEntry id="43">
      <langSec xml:lang="de"><termSec><term>Vorsignal</term></termSec></langSec>
    </conceptEntry>
  </body></text>
</tbx>)";
    ImportReading reading;
    const std::string note = "signal showing a proceed aspect";
    EXPECT_EQ(readTbx(tbx, czechEnglish(), &reading),
              (Pairs{{CodePage::fromUtf8("hlavní návěstidlo", 1250), "main signal", note},
                     {CodePage::fromUtf8("hlavní návěstidlo", 1250), "running signal", note}}));
    EXPECT_EQ(reading.leftLanguages, std::vector<std::string>{"de"});

    ImportReading broken;
    EXPECT_TRUE(readTbx("<martif><text><body><termEntry>", czechEnglish(), &broken).empty());
    EXPECT_FALSE(broken.error.empty());
}

TEST(Tbx, TheExportIsWrittenInPiecesAndStopsWhenTheirWriteFails) {
    // Built whole, a million entries took 2 GB.
    DictionaryStore store;
    store.header = czechEnglish();
    for (int i = 0; i < 40000; ++i)
        store.entries.append("kolej " + std::to_string(i), "track " + std::to_string(i), "note", 0);
    CharacterTables tables;
    store.rebuildIndexes(tables);
    std::vector<std::size_t> pieces;
    std::string joined;
    EXPECT_TRUE(writeTbx(store, {}, TbxVersion::tbx2008, [&](std::string_view piece) {
        pieces.push_back(piece.size());
        joined += piece;
        return true;
    }));
    EXPECT_GT(pieces.size(), 2u);
    EXPECT_LT(*std::max_element(pieces.begin(), pieces.end()), (std::size_t{1} << 20) + 4096);
    EXPECT_EQ(joined, tbxOf(store, {}, TbxVersion::tbx2008));
    EXPECT_EQ(xmlError(joined), "");
    EXPECT_EQ(readTbx(joined, store.header).size(), 40000u);
    std::size_t calls = 0;
    EXPECT_FALSE(writeTbx(store, {}, TbxVersion::tbx2019, [&calls](std::string_view) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2u);
}

TEST(Tbx, WhatTheTermbaseSaysIsKept) {
    const DictionaryHeader h = czechEnglish();
    const std::string vyhybka = CodePage::fromUtf8("výhybka", 1250);
    auto entry = [](const std::string& inside) {
        return "<martif type=\"TBX\"><text><body><termEntry>" + inside + "</termEntry></body></text></martif>";
    };
    const std::string cs = "<langSet xml:lang=\"cs\"><tig><term>výhybka</term></tig>";
    const std::string en = "<langSet xml:lang=\"en\"><tig><term>point <hi>machine</hi></term></tig>";
    // The text of inline markup was lost: "point ".
    EXPECT_EQ(readTbx(entry(cs + "</langSet>" + en + "</langSet>"), h), (Pairs{{vyhybka, "point machine", ""}}));

    // The definition of the term's language first, then the concept's, then
    // a note; never a subject field, never another language's definition
    // (a German one became the note of a Czech-English entry).
    const std::string subject = "<descrip type=\"subjectField\">railway</descrip>";
    const std::string german = "<langSet xml:lang=\"de\"><descrip type=\"definition\">Weiche</descrip>"
                               "<tig><term>Weiche</term></tig></langSet>";
    const std::string enDefinition = "<descrip type=\"definition\">english</descrip>";
    EXPECT_EQ(readTbx(entry(subject + german + "<note>pozn</note>" + cs + "</langSet>" + en + enDefinition +
                            "</langSet>"),
                      h)[0]
                  .note,
              "pozn");
    EXPECT_EQ(readTbx(entry(subject + "<note>pozn</note><descrip type=\"definition\">pojem</descrip>" + cs +
                            "<descrip type=\"definition\">česky</descrip></langSet>" + en + "</langSet>"),
                      h)[0]
                  .note,
              CodePage::fromUtf8("česky", 1250));
    EXPECT_EQ(readTbx(entry(subject + german + "<note>pozn</note><descrip type=\"definition\">pojem</descrip>" +
                            cs + "</langSet>" + en + "</langSet>"),
                      h)[0]
                  .note,
              "pojem");
    EXPECT_EQ(readTbx(entry(subject + german + cs + "</langSet>" + en + "</langSet>"), h)[0].note, "");

    // Withdrawn terms are left out and counted; admitted and preferred stay.
    auto status = [](const char* term, const char* value) {
        return std::string("<tig><term>") + term + "</term><termNote type=\"administrativeStatus\">" + value +
               "</termNote></tig>";
    };
    ImportReading reading;
    EXPECT_EQ(readTbx(entry(cs + "</langSet><langSet xml:lang=\"en\">" + status("switch", "deprecatedTerm-admn-sts") +
                            status("turnout", "supersededTerm-admn-sts") + status("point", "admittedTerm-admn-sts") +
                            status("points", "preferredTerm-admn-sts") + status("frog", "obsolete") +
                            "</langSet>"),
                      h, &reading),
              (Pairs{{vyhybka, "point", ""}, {vyhybka, "points", ""}}));
    EXPECT_EQ(reading.withdrawnTerms, 3u);

    // Cyrillic in a note is lost as surely as in a term, and counted so.
    EXPECT_EQ(readTbx(entry("<note>путь</note>" + cs + "</langSet>" + en + "</langSet>"), h, &reading)[0].note,
              "????");
    EXPECT_EQ(reading.replacedCharacters, 4u);

    // Each entry is parsed alone: one in UTF-16 either way is made UTF-8 first.
    const std::string utf8Tbx =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + entry(cs + "</langSet>" + en + "</langSet>");
    for (bool bigEndian : {false, true}) {
        std::string utf16 = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t c : CodePage::utf8ToUtf16(utf8Tbx)) {
            const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            utf16 += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        EXPECT_EQ(readTbx(utf16, h, &reading), (Pairs{{vyhybka, "point machine", ""}})) << bigEndian;
    }

    // The parser's English inside a Czech box became a Czech place.
    EXPECT_TRUE(readTbx("<martif>\n<text>\n  <body></text></martif>", h, &reading).empty());
    EXPECT_EQ(reading.error, "koncová značka neodpovídá počáteční na řádku 3, ve sloupci 11");
}

TEST(Tbx, NestedEntriesGiveEachItsOwnTermsOnce) {
    // Entries inside entries, as a broken or hostile file has them: each is
    // read for itself, and the outer one does not take the inner one's terms
    // (reading them once for every entry around them took quadratic time).
    auto entry = [](const std::string& cs, const std::string& en, const std::string& inner) {
        return "<termEntry><langSet xml:lang=\"cs\"><tig><term>" + cs + "</term></tig>" + inner +
               "</langSet><langSet xml:lang=\"en\"><tig><term>" + en + "</term></tig></langSet></termEntry>";
    };
    const std::string tbx = "<martif><text><body>" +
                            entry("a", "x", entry("b", "y", "<note>inner</note>" + entry("c", "z", ""))) +
                            "<termEntry><langSet xml:lang='fr'/><langSet xml:lang='fr'/><langSet xml:lang='de'/>"
                            "</termEntry></body></text></martif>";
    ImportReading reading;
    EXPECT_EQ(readTbx(tbx, czechEnglish(), &reading),
              (Pairs{{"a", "x", ""}, {"b", "y", "inner"}, {"c", "z", ""}}));
    EXPECT_EQ(reading.leftLanguages, (std::vector<std::string>{"fr", "de"}));
}

TEST(ImportFile, ATermbaseIsKnownByItsContentWhateverItsName) {
    const DictionaryHeader h = czechEnglish();
    const std::string entry =
        "<termEntry><langSet xml:lang=\"cs\"><tig><term>kolej</term></tig></langSet>"
        "<langSet xml:lang=\"en\"><tig><term>track</term></tig></langSet></termEntry>";
    const Pairs track{{"kolej", "track", ""}};
    const std::string martif = "<martif type=\"TBX\"><text><body>" + entry + "</body></text></martif>";
    // Saved as .xml it became one entry holding the whole XML; without an
    // ending, a 2019 export came back as junk lines.
    EXPECT_EQ(readImportFile("glossary.xml", martif, h), track);
    EXPECT_EQ(readImportFile("glossary", martif, h), track);
    const std::string tbx2019 = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- export -->\n"
                                "<!DOCTYPE tbx [<!ENTITY x \"y\">]>\n<tbx:tbx xmlns:tbx=\"urn:x\"><text><body>" +
                                entry + "</body></text></tbx:tbx>";
    EXPECT_EQ(readImportFile("export", tbx2019, h), track);
    EXPECT_TRUE(isTermbase(tbx2019));

    // Other XML, and a line that merely starts with the name, stay lines.
    EXPECT_FALSE(isTermbase("<html><body>kolej</body></html>"));
    EXPECT_FALSE(isTermbase("<martifx>"));
    EXPECT_FALSE(isTermbase("martif\ttbx\n"));
    EXPECT_FALSE(isTermbase("<?xml version=\"1.0\""));
    EXPECT_FALSE(isTermbase(""));
    EXPECT_EQ(readImportFile("a.txt", "<b>kolej</b>\ttrack\n", h), (Pairs{{"<b>kolej</b>", "track", ""}}));

    // A broken file named .tbx is refused, not read as lines.
    ImportReading reading;
    EXPECT_EQ(readImportFile("a.tbx", "kolej\ttrack\n", h, &reading), Pairs{});
    EXPECT_FALSE(reading.error.empty());
    EXPECT_EQ(readImportFile("a.CSV", "term,translation\nkolej,track\n", h), track);
}

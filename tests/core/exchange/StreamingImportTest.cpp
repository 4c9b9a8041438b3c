// Import files read in pieces: a termbase as it streams from its file in
// any encoding its declaration names, and CSV known by its rows alone.
#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/stat.h>

#include <filesystem>

#include "CollectedPairs.h"
#include "core/dictionary/CodePage.h"
#include "core/exchange/Utf8Stream.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;

namespace {

DictionaryHeader header(const char* language1, int charset1) {
    DictionaryHeader h;
    h.languageName = {CodePage::fromUtf8("Čeština", 1250), CodePage::fromUtf8(language1, 1250)};
    h.languageCharset = {238, charset1};
    h.filePath = "/memory.dsl";
    return h;
}

const DictionaryHeader czechEnglish = header("Angličtina", 0);
const DictionaryHeader czechRussian = header("Ruština", 204);

std::string cs(const char* utf8) { return CodePage::fromUtf8(utf8, 1250); }

// utf8 in the encoding named, as iconv names it.
std::string encoded(const std::string& utf8, const char* encoding) {
    const iconv_t converter = iconv_open(encoding, "UTF-8");
    std::string out(4 * utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    char* to = out.data();
    std::size_t inLeft = utf8.size(), outLeft = out.size();
    EXPECT_NE(iconv(converter, &in, &inLeft, &to, &outLeft), static_cast<std::size_t>(-1)) << encoding;
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

// A termbase of one entry for each pair, in UTF-8, with its declaration.
std::string termbase(const std::vector<std::array<std::string, 3>>& entries, const std::string& encoding,
                     const char* language1 = "en") {
    std::string tbx = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<martif type=\"TBX\"><text><body>\n";
    for (const auto& [term, translation, note] : entries)
        tbx += "<termEntry><note>" + note + "</note><langSet xml:lang=\"cs\"><tig><term>" + term +
               "</term></tig></langSet><langSet xml:lang=\"" + language1 + "\"><tig><term>" + translation +
               "</term></tig></langSet></termEntry>\n";
    return tbx + "</body></text></martif>\n";
}

Pairs readFile(const std::string& path, const DictionaryHeader& h, ImportReading* reading = nullptr) {
    RegularFile file;
    EXPECT_TRUE(file.open(path, wordListLimit));
    ImportSource source(file);
    return collected([&](const PairSink& sink) { readImportFile(path, source, h, sink, reading); });
}

}  // namespace

TEST(TermbaseStream, EntriesAcrossThePiecesOfALargeFileComeInWhole) {
    // Read whole, a million entries took 860 MB: the file, and expat's copy of it.
    support::TemporaryFolder folder;
    std::vector<std::array<std::string, 3>> entries;
    Pairs expected;
    for (int i = 0; i < 30000; ++i) {
        const std::string n = std::to_string(i);
        entries.push_back({"výhybka " + n, "point " + n, "poznámka " + n});
        expected.push_back({cs(("výhybka " + n).c_str()), "point " + n, cs(("poznámka " + n).c_str())});
    }
    const std::string utf8 = termbase(entries, "UTF-8");
    ASSERT_GT(utf8.size(), 3 * ImportSource::pieceSize);
    ImportReading reading;
    EXPECT_EQ(readFile(folder.write("export", utf8), czechEnglish, &reading), expected);
    EXPECT_EQ(reading.error, "");

    // UTF-16 and 8-bit text converted piece by piece, characters cut at their ends included.
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : CodePage::utf8ToUtf16(termbase(entries, "UTF-16")))
        utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    EXPECT_EQ(readFile(folder.write("utf16.tbx", utf16), czechEnglish), expected);
    EXPECT_EQ(readFile(folder.write("cp1250.xml", encoded(termbase(entries, "windows-1250"), "windows-1250")),
                       czechEnglish),
              expected);

    // A fault far into the file is told by its line; the entries before it came.
    std::string broken = utf8;
    broken.insert(broken.find("</body>"), "</text>");
    const Pairs before = readFile(folder.write("broken.tbx", broken), czechEnglish, &reading);
    EXPECT_EQ(before.size(), entries.size());
    EXPECT_EQ(reading.error, "koncová značka neodpovídá počáteční na řádku 30003, ve sloupci 3");
}

TEST(TermbaseStream, EightBitTermbasesAreReadInTheEncodingTheyDeclare) {
    // windows-1250 was refused as an unknown encoding; ISO-8859-1 came in as
    // its bytes taken for UTF-8 ("Güterzug" lost its ü).
    const Pairs vyhybka{{cs("výhybka"), "point", cs("žlutá šipka")}};
    for (const char* encoding : {"windows-1250", "ISO-8859-2", "iso-8859-2", "CP1250"})
        EXPECT_EQ(readTbx(encoded(termbase({{"výhybka", "point", "žlutá šipka"}}, encoding), encoding), czechEnglish),
                  vyhybka)
            << encoding;
    const std::string russian = encoded(termbase({{"kolej", "путь", "колея"}}, "windows-1251", "ru"), "windows-1251");
    ImportReading reading;
    EXPECT_EQ(readTbx(russian, czechRussian, &reading),
              (Pairs{{"kolej", CodePage::fromUtf8("путь", 1251), "?????"}}));
    EXPECT_EQ(reading.replacedCharacters, 5u);  // a Russian note in the Czech code page of notes

    const std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?><martif><text><body><termEntry>"
                               "<langSet xml:lang='cs'><tig><term>n\xE1kladn\xED vlak</term></tig></langSet>"
                               "<langSet xml:lang='en'><tig><term>G\xFCterzug</term></tig></langSet>"
                               "</termEntry></body></text></martif>";
    EXPECT_EQ(readTbx(latin1, czechEnglish, &reading), (Pairs{{cs("nákladní vlak"), "G\xFCterzug", ""}}));
    EXPECT_EQ(reading.replacedCharacters, 0u);

    // An encoding no converter knows is refused in Czech; nothing comes in.
    EXPECT_TRUE(readTbx(termbase({{"a", "b", ""}}, "x-nic<>"), czechEnglish, &reading).empty());
    EXPECT_EQ(reading.error, "nepodporované kódování \"x-nic??\"");
    // A fault is told by its line and column, counted in characters, not bytes.
    EXPECT_TRUE(readTbx(cs("<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n<martif>\n<p>žluťoučký</q>"),
                        czechEnglish, &reading)
                    .empty());
    EXPECT_EQ(reading.error, "koncová značka neodpovídá počáteční na řádku 3, ve sloupci 15");
}

TEST(TermbaseStream, EntitiesTheFileDeclaresAreTheirText) {
    // Each entry was parsed again alone, without the document type: "main &sig;" came in.
    const std::string tbx = "<?xml version=\"1.0\"?>\n<!DOCTYPE martif [<!ENTITY sig \"signal\">]>\n"
                            "<martif><text><body><termEntry><langSet xml:lang=\"cs\"><tig><term>návěstidlo</term>"
                            "</tig></langSet><langSet xml:lang=\"en\"><tig><term>main &sig;</term></tig></langSet>"
                            "</termEntry></body></text></martif>";
    EXPECT_EQ(readTbx(tbx, czechEnglish), (Pairs{{cs("návěstidlo"), "main signal", ""}}));
}

TEST(TermbaseStream, TextConvertedInPiecesIsTheTextConvertedWhole) {
    const std::string utf8 = "kolej – 𝄞 výhybka";
    std::string utf16;
    for (char16_t c : CodePage::utf8ToUtf16(utf8)) utf16 += std::string{static_cast<char>(c >> 8), static_cast<char>(c)};
    for (std::size_t size : {1u, 2u, 3u, 5u}) {
        Utf8Stream stream;
        ASSERT_TRUE(stream.open("UTF-16BE"));
        std::string out;
        for (std::size_t i = 0; i < utf16.size(); i += size) stream.convert(utf16.substr(i, size), out, false);
        stream.convert({}, out, true);
        EXPECT_EQ(out, utf8) << size;
    }
    // Bytes that are no character, and one cut short at the end, show as U+FFFD.
    Utf8Stream stream;
    ASSERT_TRUE(stream.open("UTF-16LE"));
    std::string out;
    stream.convert(std::string("a\0\x00\xDC" "b\0\x3D", 7), out, false);
    stream.convert({}, out, true);
    EXPECT_EQ(out, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_FALSE(stream.open("no-such-encoding"));
}

TEST(TermbaseStream, OnlyARegularFileWithinTheLimitIsOpened) {
    support::TemporaryFolder folder;
    RegularFile file;
    EXPECT_FALSE(file.open(folder.path().string(), wordListLimit));
    EXPECT_FALSE(file.open(folder.file("missing"), wordListLimit));
    const std::string fifo = folder.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(file.open(fifo, wordListLimit));  // without blocking on the pipe no one writes
    EXPECT_FALSE(file.open(folder.write("big", "12345"), 4));

    // The start tells the format without using up what the pieces give.
    std::string bytes(ImportSource::pieceSize + 10, 'x');
    bytes[ImportSource::pieceSize] = 'y';
    ASSERT_TRUE(file.open(folder.write("pieces", bytes), wordListLimit));
    ImportSource source(file);
    EXPECT_EQ(source.start().size(), ImportSource::pieceSize);
    EXPECT_EQ(source.next().size(), ImportSource::pieceSize);
    EXPECT_EQ(source.next(), "y" + std::string(9, 'x'));
    EXPECT_EQ(source.next(), "");
    EXPECT_FALSE(source.failed());
    RegularFile again;
    ASSERT_TRUE(again.open(folder.file("pieces"), wordListLimit));
    ImportSource whole(again);
    EXPECT_EQ(whole.start().size(), ImportSource::pieceSize);
    EXPECT_EQ(whole.rest(), bytes);

    // A file cut short while it is read gives nothing, and says so.
    RegularFile shrinking;
    ASSERT_TRUE(shrinking.open(folder.write("shrinks.txt", "kolej\ttrack\nvlak\ttrain\n"), wordListLimit));
    std::filesystem::resize_file(folder.file("shrinks.txt"), 3);
    ImportSource cut(shrinking);
    ImportReading reading;
    EXPECT_TRUE(collected([&](const PairSink& sink) {
                    readImportFile("shrinks.txt", cut, czechEnglish, sink, &reading);
                }).empty());
    EXPECT_EQ(reading.error, "soubor se nepodařilo dočíst");
}

TEST(TermbaseByContent, Utf16OfEitherOrderAndALongPrologAreTermbasesWhateverTheName) {
    // Without ".tbx" in its name, a UTF-16 termbase came in as lines, and one
    // whose root came after a prolog longer than a piece as CSV or lines.
    support::TemporaryFolder folder;
    const Pairs vyhybka{{cs("výhybka"), "point", cs("žlutá")}};
    const std::string utf8 = termbase({{"výhybka", "point", "žlutá"}}, "UTF-16");
    for (const char* encoding : {"UTF-16LE", "UTF-16BE"})
        for (const std::string& mark : {std::string(), encoded("\uFEFF", encoding)})
            for (const std::string& before : {std::string(), std::string("\r\n  ")}) {
                // Blanks may come first only where no declaration does.
                const std::string text = before.empty() ? utf8 : before + utf8.substr(utf8.find('\n') + 1);
                const std::string tbx = mark + encoded(text, encoding);
                const std::string name = std::string(encoding) + (mark.empty() ? "" : "-mark") + std::to_string(before.size());
                EXPECT_TRUE(isTermbase(tbx)) << name;
                EXPECT_EQ(readImportFile("export.xml", tbx, czechEnglish), vyhybka) << name;
                EXPECT_EQ(readFile(folder.write(name, tbx), czechEnglish), vyhybka) << name;
            }

    // Comments and a document type past the first piece, read from a file and from memory.
    const std::string comment = "<!-- " + std::string(3 * ImportSource::pieceSize, 'x') + " -->\n";
    const std::string doctype = "<!DOCTYPE martif [\n<!ENTITY sig \"signal\">\n" +
                                std::string(2 * ImportSource::pieceSize, ' ') + "]>\n";
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string entries = "<martif><text><body><termEntry><langSet xml:lang=\"cs\"><tig><term>kolej</term></tig>"
                                "</langSet><langSet xml:lang=\"en\"><tig><term>&sig;; track</term></tig></langSet>"
                                "</termEntry></body></text></martif>\n";
    const Pairs track{{"kolej", "signal; track", ""}};
    const std::string late = declaration + comment + doctype + entries;
    EXPECT_EQ(termbaseStartOf(late.substr(0, ImportSource::pieceSize)), TermbaseStart::undecided);
    EXPECT_TRUE(isTermbase(late));
    EXPECT_EQ(readImportFile("glossary", late, czechEnglish), track);
    EXPECT_EQ(readFile(folder.write("glossary", late), czechEnglish), track);
    const std::string late16 = encoded(late, "UTF-16LE");
    EXPECT_EQ(readFile(folder.write("glossary16", late16), czechEnglish), track);

    // The look stops at its bound: a prolog past it is no termbase's, and
    // what is not XML is told at once.
    const std::string endless = "<!-- " + std::string(termbasePrologLimit, 'x') + " -->" + entries;
    EXPECT_EQ(termbaseStartOf(endless), TermbaseStart::termbase);
    RegularFile file;
    ASSERT_TRUE(file.open(folder.write("endless", endless), 2 * termbasePrologLimit));
    ImportSource source(file);
    EXPECT_FALSE(isTermbase(source));
    EXPECT_EQ(source.next().size(), termbasePrologLimit) << "nothing was used up";
    EXPECT_EQ(termbaseStartOf("<html>"), TermbaseStart::other);
    EXPECT_EQ(termbaseStartOf("kolej;track"), TermbaseStart::other);
    EXPECT_EQ(termbaseStartOf("<?xml version=\"1.0\"?>\n<mar"), TermbaseStart::undecided);
    EXPECT_EQ(termbaseStartOf("\xEF\xBB"), TermbaseStart::undecided) << "maybe a mark";
}

TEST(CsvByContent, RowsThatOneSeparatorSplitsAlikeAreCsvWithoutAHeaderOrName) {
    // Saved as .txt by a spreadsheet in a Czech system: each line became a
    // term holding the whole row.
    const std::string semicolons = cs("výhybka;point;přestavník\nkolej;track;\n\"návěstidlo; hlavní\";signal;x\n");
    const Pairs expected{{cs("výhybka"), "point", cs("přestavník")},
                         {"kolej", "track", ""},
                         {cs("návěstidlo; hlavní"), "signal", "x"}};
    EXPECT_TRUE(isCsv(semicolons, czechEnglish));
    EXPECT_EQ(readImportFile("seznam.txt", semicolons, czechEnglish), expected);
    EXPECT_EQ(readImportFile("seznam", "kolej,track\nvyhybka,point\n", czechEnglish),
              (Pairs{{"kolej", "track", ""}, {"vyhybka", "point", ""}}));
    // Three columns parted by tabs: the third is the note, not more translation.
    EXPECT_EQ(readImportFile("a.txt", "kolej\ttrack\trail\nx\ty\tz\n", czechEnglish),
              (Pairs{{"kolej", "track", "rail"}, {"x", "y", "z"}}));
}

TEST(CsvByContent, AWordListStaysAWordList) {
    // A comma or semicolon inside some terms, two texts parted by a tab
    // (quotes are the term's own), one line only: no CSV.
    const std::vector<std::pair<std::string, Pairs>> lists = {
        {cs("výhybka, jednoduchá\tsimple point\nkolej\ttrack\nnávěst; stůj\tstop\n"),
         {{cs("výhybka, jednoduchá"), "simple point", ""}, {"kolej", "track", ""}, {cs("návěst; stůj"), "stop", ""}}},
        {"a, b\nc\nd, e\n", {{"a, b", "", ""}, {"c", "", ""}, {"d, e", "", ""}}},
        {"kolej\t\"track\"\nx\t\"y\"\n", {{"kolej", "\"track\"", ""}, {"x", "\"y\"", ""}}},
        {"kolej;track\n", {{"kolej;track", "", ""}}},
        {"kolej, track\tx\nvlak, train\ty\n", {{"kolej, track", "x", ""}, {"vlak, train", "y", ""}}},
    };
    for (const auto& [list, pairs] : lists) {
        EXPECT_FALSE(isCsv(list, czechEnglish)) << list;
        EXPECT_EQ(readImportFile("slova.txt", list, czechEnglish), pairs) << list;
    }
}

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "NginxServer.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryLock.h"
#include "core/update/EditionSignature.h"
#include "core/dictionary/DictionaryBackups.h"
#include "tool/TrelvoTool.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;

namespace {

using trelvo::support::readBytes;

const std::string runtimeDir = TRELVO_RUNTIME_DIR;
const std::string upchar = runtimeDir + "/upchar.dat";

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result tool(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    trelvo::TrelvoTool t(in, out, err);
    int status = t.run(args);
    return {status, out.str(), err.str()};
}

// trelvo-tool started as a process of its own, its output thrown away.
pid_t startTool(const std::vector<std::string>& args) {
    std::vector<std::string> words{TRELVO_TOOL_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::string field(const std::string& info, const std::string& name) {
    for (const std::string& line : lines(info))
        if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
    return "<missing>";
}

class TrelvoToolTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return (folder_ / name).string(); }

    Result makeCzechEnglish(const std::string& path, const std::string& tsv,
                            std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"make", path, "--name", "Zkušební slovník", "--lang0", "Čeština",
                                      "--charset0", "238", "--lang1", "Angličtina", "--charset1", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        return tool(args, tsv);
    }

    // trelvo-tool find over a.dsl.
    Result find(std::vector<std::string> args) const {
        args.insert(args.begin(), {"find", file("a.dsl"), "--tables", upchar});
        return tool(args);
    }

    // a.dsl with "kolej track", ID 5A3C1E01, and the bytes of its edition of
    // 7.12.2026 14:05 with "kolej rail", stamped as publish stamps it.
    std::string dictionaryAndEdition() {
        EXPECT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\n", {"--id", "5a3c1e01"}).status, 0);
        EXPECT_EQ(makeCzechEnglish(file("edition.dsl"), "kolej\trail\n",
                                   {"--id", "5a3c1e01", "--update-stamp", "202612071405"})
                      .status,
                  0);
        return readBytes(file("edition.dsl"));
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-tool"};
    fs::path folder_ = temporary_.path();
};

}  // namespace

TEST_F(TrelvoToolTest, MakeThenInfoShowsTheHeader) {
    std::string bmp = file("flag.bmp");
    std::ofstream(bmp, std::ios::binary) << "BM" << std::string(60, '\x01');
    Result made = makeCzechEnglish(file("a.dsl"), "návěstidlo\tsignal\tzkr. N\r\npředvěst\tdistant signal\n\n",
                                   {"--author", "Jiří Novák", "--version", "2.1", "--note", "Poznámka",
                                    "--id", "00c0ffee", "--code", "tajné", "--image0", bmp});
    ASSERT_EQ(made.status, 0) << made.err;
    Result info = tool({"info", file("a.dsl")});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(field(info.out, "name"), "Zkušební slovník");
    EXPECT_EQ(field(info.out, "language0"), "Čeština");
    EXPECT_EQ(field(info.out, "charset0"), "238");
    EXPECT_EQ(field(info.out, "language1"), "Angličtina");
    EXPECT_EQ(field(info.out, "charset1"), "0");
    EXPECT_EQ(field(info.out, "author"), "Jiří Novák");
    EXPECT_EQ(field(info.out, "version"), "2.1");
    EXPECT_EQ(field(info.out, "note"), "Poznámka");
    EXPECT_EQ(field(info.out, "updateStamp"), "");
    EXPECT_EQ(field(info.out, "id"), "00C0FFEE");
    EXPECT_EQ(field(info.out, "accessCode"), "set");
    EXPECT_EQ(field(info.out, "image0"), "present");
    EXPECT_EQ(field(info.out, "image1"), "none");
    EXPECT_EQ(field(info.out, "entries"), "2");
}

TEST_F(TrelvoToolTest, MakeWithoutIdMakesADifferentRandomOne) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "a\tb\n").status, 0);
    std::string id = field(tool({"info", file("a.dsl")}).out, "id");
    EXPECT_EQ(id.size(), 8u);
    EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << id;
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "accessCode"), "none");
}

TEST_F(TrelvoToolTest, DumpFollowsTheIndexOfEachSide) {
    std::string tsv =
        "chata\thut\n"
        "hrad\tcastle\n"
        "výhybka\tswitch\tamer.\t2\n"
        "Ivan\tJohn\n"
        "vyhybka\tpoints\tbrit.\t1\n"
        "čára\tline\n"
        "cukr\tsugar\n";
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), tsv).status, 0);
    Result dump = tool({"dump", file("a.dsl"), "--tables", upchar});
    ASSERT_EQ(dump.status, 0) << dump.err;
    // Equal keys (výhybka, vyhybka) keep their entry order.
    EXPECT_EQ(lines(dump.out), (std::vector<std::string>{
                                   "cukr\tsugar\t\t0", "čára\tline\t\t0", "hrad\tcastle\t\t0", "chata\thut\t\t0",
                                   "Ivan\tJohn\t\t0", "výhybka\tswitch\tamer.\t2", "vyhybka\tpoints\tbrit.\t1"}));
    Result side1 = tool({"dump", file("a.dsl"), "--side", "1", "--tables", upchar});
    ASSERT_EQ(side1.status, 0) << side1.err;
    EXPECT_EQ(lines(side1.out), (std::vector<std::string>{
                                    "hrad\tcastle\t\t0", "chata\thut\t\t0", "Ivan\tJohn\t\t0",
                                    "čára\tline\t\t0", "vyhybka\tpoints\tbrit.\t1", "cukr\tsugar\t\t0",
                                    "výhybka\tswitch\tamer.\t2"}));
}

TEST_F(TrelvoToolTest, ControlCharactersAreEscapedAndADumpMakesTheSameDictionaryAgain) {
    // A dictionary from elsewhere: nothing in the file format keeps control
    // characters out of its texts.
    trelvo::DictionaryHeader h;
    h.name = "Slovn\xEDk\x1B]0;owned\x07";
    h.languageName = {"\xC8" "e\x9Atina", "Angli\xE8tina\x81"};  // 0x81: no letter in code page 1250
    h.languageCharset = {238, 0};
    h.version = "2\x1B[2J";
    h.note = "C:\\temp";
    h.idAndAccessCode = "0BADF00D";
    trelvo::EntryList entries;
    entries.append("hlavn\xED\tn\xE1v\xECstidlo", "main\nsignal", "\x1B[31mred\r", 2);
    entries.append("kolej", "track", "plain", 0);
    entries.append("z\\", "\x9D" "0;x", "", 0);  // 0x9D: none in code page 1252, so U+009D, a terminal's OSC
    ASSERT_TRUE(trelvo::writeDictionaryFile(h, entries, file("a.dsl")));

    const Result info = tool({"info", file("a.dsl")});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(field(info.out, "name"), "Slovník\\x1B]0;owned\\x07");
    EXPECT_EQ(field(info.out, "language1"), "Angličtina\\xC2\\x81");
    EXPECT_EQ(field(info.out, "version"), "2\\x1B[2J");
    EXPECT_EQ(field(info.out, "note"), "C:\\\\temp");

    const Result dump = tool({"dump", file("a.dsl"), "--tables", upchar});
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(lines(dump.out), (std::vector<std::string>{"hlavní\\tnávěstidlo\tmain\\nsignal\t\\x1B[31mred\\r\t2",
                                                         "kolej\ttrack\tplain\t0", "z\\\\\t\\xC2\\x9D" "0;x\t\t0"}));
    const Result found = tool({"search", file("a.dsl"), "--tables", upchar, "hlavní"});
    EXPECT_EQ(found.out, "0\t0\thlavní\\tnávěstidlo\tmain\\nsignal\n");
    for (const std::string& printed : {info.out, dump.out, found.out})
        EXPECT_EQ(printed.find_first_of("\x1B\x07\r"), std::string::npos) << printed;

    // Read back by make, the dump gives the same texts.
    ASSERT_EQ(makeCzechEnglish(file("b.dsl"), dump.out).status, 0);
    trelvo::DictionaryHeader madeHeader;
    trelvo::EntryList made;
    ASSERT_TRUE(trelvo::readDictionaryFile(file("b.dsl"), madeHeader, made));
    ASSERT_EQ(made.size(), 3u);
    for (std::size_t n = 0; n < 3; ++n)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(made.text(n, k), entries.text(n, k)) << n << " " << k;
    EXPECT_EQ(tool({"dump", file("b.dsl"), "--tables", upchar}).out, dump.out);
}

TEST_F(TrelvoToolTest, KeyPrintsDecimalBytes) {
    // Without a sort section a text keys to its upper-case bytes.
    std::string empty = file("empty.dat");
    std::ofstream(empty) << "\n";
    Result key = tool({"key", "--tables", empty, "--charset", "238", "Ab1"});
    ASSERT_EQ(key.status, 0) << key.err;
    EXPECT_EQ(key.out, "65 66 49\n");
    Result ch = tool({"key", "--tables", upchar, "--charset", "238", "ch"});
    Result h = tool({"key", "--tables", upchar, "--charset", "238", "h"});
    ASSERT_EQ(ch.status, 0);
    EXPECT_GT(std::stoi(ch.out), std::stoi(h.out)) << "CH ranks after H";
}

TEST_F(TrelvoToolTest, BadInputEndsWithAMessageAndStatusOne) {
    std::ofstream(file("junk.dsl"), std::ios::binary) << "DSL\x05";
    std::ofstream(file("text.bmp")) << "not a picture";
    const std::vector<std::vector<std::string>> calls{
        {},
        {"frobnicate"},
        {"info"},
        {"info", file("missing.dsl")},
        {"info", file("junk.dsl")},
        {"dump", file("junk.dsl"), "--tables", upchar},
        {"dump", file("junk.dsl"), "--side", "2", "--tables", upchar},
        {"dump", file("junk.dsl"), "--tables", file("missing.dat")},
        {"key", "--charset", "x", "a"},
        {"key", "--tables", upchar, "a"},
        {"make", file("b.dsl"), "--name", "N"},
        {"make", file("b.dsl"), "--name", "N", "--lang0", "a", "--charset0", "1", "--lang1", "b",
         "--charset1", "1", "--id", "12345"},
        {"make", file("b.dsl"), "--name", "N", "--lang0", "a", "--charset0", "1", "--lang1", "b",
         "--charset1", "1", "--image0", file("text.bmp")},
        {"make", file("nofolder/b.dsl"), "--name", "N", "--lang0", "a", "--charset0", "1", "--lang1", "b",
         "--charset1", "1"},
        {"info", file("junk.dsl"), "--bogus", "1"},
    };
    for (const auto& args : calls) {
        Result r = tool(args);
        EXPECT_EQ(r.status, 1) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.err.rfind("trelvo-tool: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_FALSE(fs::exists(file("b.dsl")));
}

TEST_F(TrelvoToolTest, MalformedTsvLineIsNamed) {
    Result r = makeCzechEnglish(file("a.dsl"), "a\tb\nlonely\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(file("a.dsl")));
}

TEST_F(TrelvoToolTest, CharactersMissingFromTheCodePageBecomeQuestionMarks) {
    // Counted, in notes too; the mark of UTF-8 was a "?" in the first term.
    const Result made = makeCzechEnglish(file("a.dsl"), "\xEF\xBB\xBFkolej\ttrack\nЖук\tbeetle\tпуть\n");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.err, "characters replaced by ?: 7\n");
    const std::vector<std::string> dumped = lines(tool({"dump", file("a.dsl"), "--tables", upchar}).out);
    EXPECT_EQ(dumped.at(0), "???\tbeetle\t????\t0");
    EXPECT_EQ(dumped.at(1), "kolej\ttrack\t\t0");
    EXPECT_EQ(makeCzechEnglish(file("b.dsl"), "kolej\ttrack\n").err, "");
}

TEST_F(TrelvoToolTest, SearchLeadsToEntriesAndCarriesASwapOver) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\nnávěstidlo\tsignal\nnávěst\taspect\n"
                                              "výhybka\tpoints\nzávora\tbarrier\n").status, 0);
    Result r = tool({"search", file("a.dsl"), "--tables", upchar, "návěst", "NÁVĚSTIDLU", "points", "track"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "1\t0\tnávěst\taspect",
                                "2\t0\tnávěstidlo\tsignal",   // the nearest entry
                                "2\t1\tpoints\tvýhybka",      // an English word swaps the direction
                                "4\t1\ttrack\tkolej"}));      // and the next text searches in English
    Result side1 = tool({"search", file("a.dsl"), "--side", "1", "--tables", upchar, "barrier"});
    EXPECT_EQ(side1.out, "1\t1\tbarrier\tzávora\n");
    EXPECT_EQ(tool({"search", file("a.dsl"), "--tables", upchar}).out, "") << "no texts, no lines";
    EXPECT_EQ(tool({"search", file("missing.dsl"), "--tables", upchar, "x"}).status, 1);
}

TEST_F(TrelvoToolTest, ManyEntriesAreDumpedAndFoundWholeAndInOrder) {
    // Lines are made a batch of entries at a time: none may be lost, doubled
    // or given another entry's texts where one batch ends and the next begins.
    constexpr int count = 1000;
    std::string tsv, list;
    std::vector<std::string> dumped, found;
    auto numbered = [](const char* prefix, int n) {
        char text[16];
        std::snprintf(text, sizeof text, "%s%04d", prefix, n);
        return std::string(text);
    };
    for (int n = 0; n < count; ++n) {
        tsv += numbered("k", n) + "\t" + numbered("t", n) + "\n";
        dumped.push_back(numbered("k", n) + "\t" + numbered("t", n) + "\t\t0");
    }
    for (int n = count - 1; n >= 0; --n) {
        list += numbered("k", n) + "\n";
        found.push_back(std::to_string(n) + "\t0\t" + numbered("k", n) + "\t" + numbered("t", n));
    }
    ASSERT_EQ(makeCzechEnglish(file("many.dsl"), tsv).status, 0);
    std::ofstream(file("many.txt"), std::ios::binary) << list;
    EXPECT_EQ(lines(tool({"dump", file("many.dsl"), "--tables", upchar}).out), dumped);
    EXPECT_EQ(lines(tool({"search", file("many.dsl"), "--tables", upchar, "--from", file("many.txt")}).out), found);
}

TEST_F(TrelvoToolTest, SearchTakesTextsFromAListAndTimesThem) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\nnávěstidlo\tsignal\nnávěst\taspect\n"
                                              "výhybka\tpoints\nzávora\tbarrier\n").status, 0);
    std::ofstream(file("texts.txt"), std::ios::binary) << "NÁVĚSTIDLU\r\npoints\ntrack\n";
    // Texts given as arguments come first, then the lines of the list, one
    // search state throughout: the swap from "points" carries over to "track".
    Result listed = tool({"search", file("a.dsl"), "--tables", upchar, "návěst", "--from", file("texts.txt")});
    Result typed = tool({"search", file("a.dsl"), "--tables", upchar, "návěst", "NÁVĚSTIDLU", "points", "track"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, typed.out);
    EXPECT_EQ(lines(listed.out).back(), "4\t1\ttrack\tkolej");
    EXPECT_EQ(listed.err, "") << "nothing on stderr without --timing";

    Result timed = tool({"search", file("a.dsl"), "--tables", upchar, "--from", file("texts.txt"), "--timing"});
    ASSERT_EQ(timed.status, 0) << timed.err;
    EXPECT_EQ(timed.out, tool({"search", file("a.dsl"), "--tables", upchar, "NÁVĚSTIDLU", "points", "track"}).out);
    std::vector<std::string> report = lines(timed.err);
    ASSERT_EQ(report.size(), 2u) << timed.err;
    EXPECT_EQ(report[0].rfind("open: ", 0), 0u) << report[0];
    EXPECT_EQ(report[1].rfind("searches: 3 in ", 0), 0u) << report[1];
    EXPECT_NE(report[1].find(" us each"), std::string::npos) << report[1];

    Result missing = tool({"search", file("a.dsl"), "--tables", upchar, "--from", file("none.txt")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.txt"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());
}

TEST_F(TrelvoToolTest, LongTermsSharingTheirBeginningSortAndSearchByTheirWholeText) {
    // Keys agreeing in their first 8 and 16 bytes and more, one a prefix of
    // another, and two equal keys: they are decided past the first bytes.
    std::string tsv =
        "zabezpečovací zařízení stanice\tstation signalling\n"
        "zabezpečovací zařízení trati\tline signalling\n"
        "zabezpečovací zařízení\tsignalling equipment\n"
        "ZABEZPEČOVACÍ ZAŘÍZENÍ STANICE\tstation interlocking\n"
        "zabezpečovací zařízení přejezdu\tlevel crossing protection\n"
        "zabezpečovací zařízení stanice a trati\tstation and line signalling\n"
        "zabezpecovaci zarizeni\tsignalling, no diacritics\n"
        "zabezpečovací zařízení stanic\tstations signalling\n";
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), tsv).status, 0);
    Result dump = tool({"dump", file("a.dsl"), "--tables", upchar});
    ASSERT_EQ(dump.status, 0) << dump.err;
    std::vector<std::string> terms;
    for (const std::string& line : lines(dump.out)) terms.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(terms, (std::vector<std::string>{
                         "zabezpecovaci zarizeni",  // C before Č
                         "zabezpečovací zařízení", "zabezpečovací zařízení přejezdu",
                         "zabezpečovací zařízení stanic", "zabezpečovací zařízení stanice",
                         "ZABEZPEČOVACÍ ZAŘÍZENÍ STANICE",  // an equal key stays behind the earlier entry
                         "zabezpečovací zařízení stanice a trati", "zabezpečovací zařízení trati"}));

    Result r = tool({"search", file("a.dsl"), "--tables", upchar, "Zabezpečovací zařízení stanice",
                     "zabezpečovací zařízení trati", "zabezpečovací zařízení stanice a", "zabezpečovací zařízení z"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                                "4\t0\tzabezpečovací zařízení stanice\tstation signalling",
                                "7\t0\tzabezpečovací zařízení trati\tline signalling",
                                "5\t0\tZABEZPEČOVACÍ ZAŘÍZENÍ STANICE\tstation interlocking",  // as near as the next: the lower
                                "7\t0\tzabezpečovací zařízení trati\tline signalling"}));
}

TEST_F(TrelvoToolTest, ImportExportAndSyncWriteWhereTheProgramWould) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\tobecné\t0\nvlak\ttrain\tzkr.\t2\n",
                               {"--id", "0A0A0A0A"}).status, 0);
    // An 8-bit word list is in the dictionary's own code pages, as the program reads it.
    std::ofstream(file("words.txt"), std::ios::binary)
        << trelvo::CodePage::fromUtf8("návěst\taspect\r\nkolej\ttrack\r\n", 1250);
    Result imported = tool({"import", file("a.dsl"), file("words.txt"), "--tables", upchar});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "added: 1, already present: 1, lines read: 2, characters replaced by ?: 0\n");
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "entries"), "3");

    Result text = tool({"export", file("a.dsl"), file("out.txt"), "--notes", "zkr.", "<blank>", "--tables", upchar});
    ASSERT_EQ(text.status, 0) << text.err;
    std::ifstream in(file("out.txt"), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(trelvo::CodePage::toUtf8(bytes, 1250), "návěst\taspect\r\nvlak\ttrain\r\n");

    ASSERT_EQ(tool({"export", file("a.dsl"), file("copy.dsl"), "--format", "dsl", "--tables", upchar}).status, 0);
    EXPECT_EQ(field(tool({"info", file("copy.dsl")}).out, "name"), "Zkušební slovník (exported)");

    // The copy has its own ID: without the flag nothing changes and the status says so.
    Result refused = tool({"sync", file("a.dsl"), file("copy.dsl"), "--tables", upchar});
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "entries"), "3");
    Result merged = tool({"sync", file("a.dsl"), file("copy.dsl"), "--import-only-ok", "--tables", upchar});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, "imported, replaced: 0, kept: 3, added: 0\n");

    ASSERT_EQ(makeCzechEnglish(file("b.dsl"), "kolej\trail\n", {"--id", "0A0A0A0A", "--version", "2"}).status, 0);
    Result dryRun = tool({"sync", file("a.dsl"), file("b.dsl"), "--dry-run", "--tables", upchar});
    EXPECT_EQ(dryRun.status, 0) << dryRun.err;
    EXPECT_EQ(dryRun.out, "would be synchronised, replaced: 1, kept: 2, added: 1\n");
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "version"), "") << "a dry run writes nothing";
    Result edition = tool({"sync", file("a.dsl"), file("b.dsl"), "--tables", upchar});
    EXPECT_EQ(edition.status, 0) << edition.err;
    EXPECT_EQ(edition.out, "synchronised, replaced: 1, kept: 2, added: 1\n");
    // The delivered kolej/track went with the old edition; the user's and the imported entries stay.
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "version"), "2");
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "entries"), "3");
    EXPECT_EQ(tool({"export", file("a.dsl"), file("out.txt"), "--format", "xml"}).status, 1);
}

TEST_F(TrelvoToolTest, ASyncAndAnImportOfMoreThanAHundredEntriesKeepTheFileAsItWasAmongTheBackups) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\n", {"--id", "0A0A0A0A"}).status, 0);
    const auto words = [this](int from, int count) {
        std::ofstream out(file("words.txt"), std::ios::binary);
        for (int i = from; i < from + count; ++i) out << "slovo" << i << "\tword\r\n";
    };
    words(0, 100);
    ASSERT_EQ(tool({"import", file("a.dsl"), file("words.txt"), "--tables", upchar}).status, 0);
    EXPECT_TRUE(trelvo::listBackups(file("a.dsl")).empty()) << "a hundred entries are no large change";

    // 101 lines of which one is there already add a hundred.
    words(99, 101);
    ASSERT_EQ(tool({"import", file("a.dsl"), file("words.txt"), "--tables", upchar}).status, 0);
    EXPECT_TRUE(trelvo::listBackups(file("a.dsl")).empty());
    words(200, 101);
    const std::string beforeImport = readBytes(file("a.dsl"));
    Result imported = tool({"import", file("a.dsl"), file("words.txt"), "--tables", upchar});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.err, "");
    std::vector<trelvo::DictionaryBackup> backups = trelvo::listBackups(file("a.dsl"));
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].entryCount, 201u);
    EXPECT_TRUE(readBytes(backups[0].path) == beforeImport);

    ASSERT_EQ(makeCzechEnglish(file("b.dsl"), "kolej\trail\n", {"--id", "0A0A0A0A", "--version", "2"}).status, 0);
    const std::string beforeSync = readBytes(file("a.dsl"));
    ASSERT_EQ(tool({"sync", file("a.dsl"), file("b.dsl"), "--dry-run", "--tables", upchar}).status, 0);
    EXPECT_EQ(trelvo::listBackups(file("a.dsl")).size(), 1u) << "a dry run saves nothing";
    ASSERT_EQ(tool({"sync", file("a.dsl"), file("b.dsl"), "--tables", upchar}).status, 0);
    backups = trelvo::listBackups(file("a.dsl"));
    ASSERT_EQ(backups.size(), 2u);
    EXPECT_EQ(backups[0].entryCount, 302u);
    EXPECT_TRUE(readBytes(backups[0].path) == beforeSync);
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "version"), "2");

    // Where no backup can be made the sync still goes on, and says so.
    fs::remove_all(folder_ / ".trelvo-backups");
    temporary_.write(".trelvo-backups", "not a folder");
    ASSERT_EQ(makeCzechEnglish(file("b.dsl"), "kolej\trail\n", {"--id", "0A0A0A0A", "--version", "3"}).status, 0);
    Result unbacked = tool({"sync", file("a.dsl"), file("b.dsl"), "--tables", upchar});
    EXPECT_EQ(unbacked.status, 0);
    EXPECT_NE(unbacked.err.find("no backup of " + file("a.dsl")), std::string::npos) << unbacked.err;
    EXPECT_NE(unbacked.err.find("saving all the same"), std::string::npos) << unbacked.err;
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "version"), "3");
}

TEST(DeliveredDictionaries, AreCompleteAndInAlphabeticalOrder) {
    struct Delivered { std::string file; std::string language1; std::size_t least; };
    for (const Delivered& d : {Delivered{"cs-en.dsl", "Angličtina", 300}, Delivered{"cs-ru.dsl", "Ruština", 100}}) {
        std::string path = runtimeDir + "/DSL/" + d.file;
        Result info = tool({"info", path});
        ASSERT_EQ(info.status, 0) << info.err;
        EXPECT_GE(std::stoul(field(info.out, "entries")), d.least) << d.file;
        EXPECT_EQ(field(info.out, "language0"), "Čeština");
        EXPECT_EQ(field(info.out, "language1"), d.language1);
        EXPECT_EQ(field(info.out, "image0"), "present");
        EXPECT_EQ(field(info.out, "image1"), "present");

        Result dump = tool({"dump", path, "--tables", upchar});
        ASSERT_EQ(dump.status, 0) << dump.err;
        std::vector<std::string> entries = lines(dump.out);
        EXPECT_EQ(entries.size(), std::stoul(field(info.out, "entries")));
        std::vector<int> previous;
        for (const std::string& line : entries) {
            std::string term = line.substr(0, line.find('\t'));
            std::vector<int> key;
            std::istringstream bytes(tool({"key", "--tables", upchar, "--charset", "238", term}).out);
            for (int b; bytes >> b;) key.push_back(b);
            EXPECT_LE(previous, key) << term;
            previous = key;
            EXPECT_EQ(line.find('?'), std::string::npos) << "a character lost to the code page: " << line;
        }
    }
    Result en = tool({"dump", runtimeDir + "/DSL/cs-en.dsl", "--tables", upchar});
    for (const char* term : {"návěstidlo\t", "předvěst\t", "kolejový obvod\t", "počítač náprav\t",
                             "staniční zabezpečovací zařízení\t", "přejezdové zabezpečovací zařízení\t", "balíza\t"})
        EXPECT_NE(en.out.find(std::string("\n") + term), std::string::npos) << term;
}

TEST_F(TrelvoToolTest, DevicesAndOversizedFilesAreRefusedNotReadWithoutEnd) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\n", {}).status, 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"import", file("a.dsl"), "/dev/zero", "--tables", upchar},
          {"search", file("a.dsl"), "--from", "/dev/zero", "--tables", upchar},
          {"search", file("a.dsl"), "kolej", "--tables", "/dev/zero"}}) {
        Result refused = tool(args);
        EXPECT_EQ(refused.status, 1) << args[0];
        EXPECT_NE(refused.err.find("cannot read"), std::string::npos) << refused.err;
    }
    // A dictionary past 1 GiB is refused unread, saying what the limits are;
    // made sparse, it takes no room on the disk.
    fs::copy_file(file("a.dsl"), file("huge.dsl"));
    fs::resize_file(file("huge.dsl"), (std::uintmax_t{1} << 30) + 1);
    Result huge = tool({"dump", file("huge.dsl"), "--tables", upchar});
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.err.find("larger than 1 GiB or 16777216 entries"), std::string::npos) << huge.err;
    // Character tables larger than 1 MiB are no character tables.
    std::ofstream(file("big.dat"), std::ios::binary) << std::string((1 << 20) + 1, '\0');
    EXPECT_EQ(tool({"search", file("a.dsl"), "kolej", "--tables", file("big.dat")}).status, 1);
    // A net.ini that is a device names no location.
    Result check = tool({"check-update", file("a.dsl"), "--locations", "/dev/zero", "--tables", upchar});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_NE(check.out.find("result: 0"), std::string::npos) << check.out;
    // Nor is a picture a device, a pipe no one writes, or a sparse giant.
    ASSERT_EQ(::mkfifo(file("pipe.bmp").c_str(), 0644), 0);
    std::ofstream(file("giant.bmp"), std::ios::binary) << "BM" << std::string(60, '\0');
    fs::resize_file(file("giant.bmp"), std::uintmax_t{1} << 31);
    for (const std::string& picture : {std::string("/dev/zero"), file("pipe.bmp"), file("giant.bmp")}) {
        Result made = makeCzechEnglish(file("p.dsl"), "kolej\ttrack\n", {"--image0", picture});
        EXPECT_EQ(made.status, 1) << picture;
        EXPECT_NE(made.err.find("picture"), std::string::npos) << made.err;
        EXPECT_FALSE(fs::exists(file("p.dsl")));
    }
}

// check-update says what it made of the signature, and its options name the
// trusted keys and demand a signature in place of the program folder's files.
TEST_F(TrelvoToolTest, CheckUpdateVerifiesTheSignatureWithTheKeysItIsGiven) {
    const std::string edition = dictionaryAndEdition();
    const trelvo::SigningKey publisher = trelvo::generateSigningKey();
    const trelvo::SigningKey stranger = trelvo::generateSigningKey();
    std::ofstream(file("publisher.keys")) << trelvo::trustedKeyLine(publisher.publicKey, "vydavatel") << "\n";
    std::ofstream(file("stranger.keys")) << trelvo::trustedKeyLine(stranger.publicKey, "cizí") << "\n";

    std::map<std::string, std::string> served{
        {"/trelvo/autoupdt.cfg", "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n"}, {"/trelvo/cs-en.dsl", edition}};
    httplib::Server server;
    server.Get(R"(/(.*))", [&served](const httplib::Request& request, httplib::Response& response) {
        auto it = served.find(request.path);
        if (it == served.end())
            response.status = 404;
        else
            response.set_content(it->second, "application/octet-stream");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::ofstream(file("net.ini")) << "127.0.0.1:" << port << "/trelvo\n";
    const std::string before = readBytes(file("a.dsl"));
    auto check = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{"check-update", file("a.dsl"), "--locations", file("net.ini"), "--yes",
                                      "--tables", upchar};
        args.insert(args.end(), extra.begin(), extra.end());
        return tool(args);
    };

    // Unsigned and not marked, but signatures demanded.
    Result required = check({"--trusted-keys", file("publisher.keys"), "--require-signed"});
    EXPECT_NE(required.out.find("signature: refused\nresult: 2\n"), std::string::npos) << required.out;
    EXPECT_NE(required.err.find("Program přijímá jen podepsaná vydání slovníku"), std::string::npos) << required.err;
    EXPECT_EQ(readBytes(file("a.dsl")), before);

    served["/trelvo/cs-en.dsl.sig"] = trelvo::signEdition(edition, publisher);
    Result wrongKey = check({"--trusted-keys", file("stranger.keys")});
    EXPECT_NE(wrongKey.out.find("signature: refused\nresult: 2\n"), std::string::npos) << wrongKey.out;
    EXPECT_NE(wrongKey.err.find("nesouhlasí s žádným důvěryhodným klíčem"), std::string::npos) << wrongKey.err;
    EXPECT_EQ(readBytes(file("a.dsl")), before);

    Result verified = check({"--trusted-keys", file("publisher.keys"), "--require-signed"});
    server.stop();
    serving.join();
    EXPECT_NE(verified.out.find("synchronised"), std::string::npos) << verified.out;
    EXPECT_NE(verified.out.find("signature: verified (vydavatel)\nresult: 1\n"), std::string::npos) << verified.out;
    EXPECT_NE(readBytes(file("a.dsl")), before);
}

TEST_F(TrelvoToolTest, CheckUpdatePrintsAServersVersionWithItsEscapeSequencesEscaped) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\n", {"--id", "5a3c1e01"}).status, 0);
    fs::create_directories(folder_ / "site" / "trelvo");
    std::ofstream(file("site/trelvo/autoupdt.cfg")) << "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\x1B]0;owned\x07\n";
    fs::copy_file(file("a.dsl"), file("site/trelvo/cs-en.dsl"));
    NginxServer server(file("site"));
    ASSERT_TRUE(server.ready()) << server.error();
    std::ofstream(file("net.ini")) << "127.0.0.1:" << server.httpPort() << "/trelvo\n";

    const Result checked = tool({"check-update", file("a.dsl"), "--locations", file("net.ini"), "--tables", upchar});
    EXPECT_NE(checked.out.find("1.1\\x1B]0;owned\\x07"), std::string::npos) << checked.out;
    EXPECT_EQ((checked.out + checked.err).find_first_of("\x1B\x07"), std::string::npos) << checked.out;
}

// A server that takes its time over the edition must not keep the program
// from saving: check-update waits on it without the dictionary's lock, and
// merges into the dictionary as it is once the download is there, keeping
// what was saved meanwhile.
TEST_F(TrelvoToolTest, CheckUpdateDownloadsWithoutTheLockAndMergesIntoWhatIsThereThen) {
    const std::string edition = dictionaryAndEdition();
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    std::atomic<bool> asked{false};
    httplib::Server server;
    server.Get(R"(/(.*))", [&](const httplib::Request& request, httplib::Response& response) {
        if (request.path == "/trelvo/autoupdt.cfg") {
            response.set_content("5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n", "text/plain");
        } else if (request.path == "/trelvo/cs-en.dsl") {
            asked = true;
            std::unique_lock lock(mutex);
            released.wait_for(lock, std::chrono::seconds(20), [&] { return open; });
            response.set_content(edition, "application/octet-stream");
        } else {
            response.status = 404;
        }
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::ofstream(file("net.ini")) << "127.0.0.1:" << port << "/trelvo\n";

    const pid_t checking = startTool({"check-update", file("a.dsl"), "--locations", file("net.ini"), "--yes",
                                      "--tables", upchar});
    for (int i = 0; i < 2000 && !asked; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(asked);
    trelvo::DictionaryLock lock;
    EXPECT_EQ(lock.lock(file("a.dsl"), std::chrono::milliseconds(0)), trelvo::DictionaryLock::Outcome::locked)
        << "the download holds no lock";
    lock.release();
    std::ofstream(file("words.txt")) << "vlak\ttrain\n";
    EXPECT_EQ(tool({"import", file("a.dsl"), file("words.txt"), "--tables", upchar}).status, 0);
    {
        std::lock_guard hold(mutex);
        open = true;
    }
    released.notify_all();
    EXPECT_EQ(exitStatus(checking), 0);
    server.stop();
    serving.join();

    const Result dump = tool({"dump", file("a.dsl"), "--tables", upchar});
    EXPECT_EQ(lines(dump.out), (std::vector<std::string>{"kolej\trail\t\t0", "vlak\ttrain\t\t1"}))
        << "the edition merged into the dictionary with the entry saved while it came";
    EXPECT_EQ(field(tool({"info", file("a.dsl")}).out, "updateStamp"), "202612071405");
}

TEST_F(TrelvoToolTest, TwoImportsStartedAtOnceBothLandInTheDictionary) {
    // Large enough that one run's read, merge and save take long against the
    // start of the other: without taking turns, one list is lost nearly every round.
    constexpr int entries = 20000;
    constexpr int wordsPerList = 100;
    std::string tsv;
    for (int i = 0; i < entries; ++i) tsv += "termín " + std::to_string(i) + "\tterm\n";
    ASSERT_EQ(makeCzechEnglish(file("base.dsl"), tsv).status, 0);
    for (const std::string list : {"a", "b"}) {
        std::ofstream words(file(list + ".txt"));
        for (int i = 0; i < wordsPerList; ++i) words << "slovo " << list << i << "\tword\n";
    }
    const std::string expected = std::to_string(entries + 2 * wordsPerList);
    for (int round = 0; round < 8; ++round) {
        fs::copy_file(file("base.dsl"), file("d.dsl"), fs::copy_options::overwrite_existing);
        const pid_t a = startTool({"import", file("d.dsl"), file("a.txt"), "--tables", upchar});
        const pid_t b = startTool({"import", file("d.dsl"), file("b.txt"), "--tables", upchar});
        EXPECT_EQ(exitStatus(a), 0);
        EXPECT_EQ(exitStatus(b), 0);
        ASSERT_EQ(field(tool({"info", file("d.dsl")}).out, "entries"), expected) << "round " << round;
    }
}

TEST_F(TrelvoToolTest, AFileSizeLimitEndsASaveWithAnErrorAndLeavesTheDictionary) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\n").status, 0);
    const std::string before = readBytes(file("a.dsl"));
    {
        std::ofstream words(file("words.txt"));
        for (int i = 0; i < 20000; ++i) words << "slovo " << i << "\tword " << i << "\n";
    }
    // The tool as a process of its own under a limit of 64 KiB per file, with
    // the signal the limit sends at its default: the tool itself must see to it.
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(TRELVO_TOOL_PATH, TRELVO_TOOL_PATH, "import", file("a.dsl").c_str(), file("words.txt").c_str(),
              "--tables", upchar.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(readBytes(file("a.dsl")) == before);
    // No temporary file is left, beside the dictionary or among its backups.
    for (const auto& item : fs::recursive_directory_iterator(folder_))
        if (item.path().filename() != ".trelvo-backups") {
            EXPECT_EQ(item.path().filename().string().find(".trelvo-"), std::string::npos) << item.path();
        }
}

TEST_F(TrelvoToolTest, EachInterchangeFormatExportedFromEitherSideImportsBackTheSameEntries) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "výhybka\tpoint, \"simple\"\tpoznámka; \"citát\", ďábel\t0\n"
                                              "kolej\ttrack\t\t2\n"
                                              "žluťoučký kůň\tyellow horse\tbez, středníku\t1\n")
                  .status,
              0);
    // The texts without the flags, which an import sets to its own.
    auto entries = [&](const std::string& path) {
        std::vector<std::string> texts;
        for (const std::string& line : lines(tool({"dump", path, "--tables", upchar}).out))
            texts.push_back(line.substr(0, line.rfind('\t')));
        return texts;
    };
    const std::vector<std::string> expected = entries(file("a.dsl"));
    ASSERT_EQ(expected.size(), 3u);
    for (const std::string format : {"csv", "xlsx", "tbx", "tbx2019"})
        for (const std::string side : {"0", "1"}) {
            // No ending: the import knows each by its content.
            const std::string exported = file(format + side);
            Result out = tool({"export", file("a.dsl"), exported, "--format", format, "--side", side, "--tables", upchar});
            ASSERT_EQ(out.status, 0) << format << side << out.err;
            fs::remove(file("b.dsl"));
            ASSERT_EQ(makeCzechEnglish(file("b.dsl"), "").status, 0);
            Result in = tool({"import", file("b.dsl"), exported, "--tables", upchar});
            ASSERT_EQ(in.status, 0) << format << side << in.err;
            EXPECT_EQ(in.out, "added: 3, already present: 0, lines read: 3, characters replaced by ?: 0\n")
                << format << side;
            EXPECT_EQ(entries(file("b.dsl")), expected) << format << side;
        }
}

TEST_F(TrelvoToolTest, ExportRefusesToWriteOverItsOwnDictionaryUnderAnyName) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\nvlak\ttrain\n").status, 0);
    const std::string before = readBytes(file("a.dsl"));
    fs::create_symlink(file("a.dsl"), file("link.dsl"));
    fs::create_hard_link(file("a.dsl"), file("hard.dsl"));
    fs::create_directory(file("sub"));
    for (const std::string& output : {file("a.dsl"), file("link.dsl"), file("hard.dsl"), file("sub/../a.dsl")}) {
        for (const std::string format : {"txt", "dsl"}) {
            Result refused = tool({"export", file("a.dsl"), output, "--format", format, "--tables", upchar});
            EXPECT_EQ(refused.status, 1) << output << " " << format;
            EXPECT_NE(refused.err.find("itself"), std::string::npos) << refused.err;
        }
        // Given through the link, the dictionary is still the output.
        EXPECT_EQ(tool({"export", file("link.dsl"), output, "--tables", upchar}).status, 1) << output;
    }
    EXPECT_TRUE(readBytes(file("a.dsl")) == before);
    EXPECT_TRUE(fs::is_symlink(file("link.dsl")));
    EXPECT_EQ(tool({"export", file("a.dsl"), file("out.txt"), "--tables", upchar}).status, 0);
}

TEST_F(TrelvoToolTest, ExportReadsTheDictionaryOnlyOnceAWriterHasSavedIt) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "kolej\ttrack\n").status, 0);
    ASSERT_EQ(makeCzechEnglish(file("b.dsl"), "kolej\ttrack\nvýhybka\tpoints\n").status, 0);
    trelvo::DictionaryLock writer;
    ASSERT_EQ(writer.lock(file("a.dsl"), std::chrono::milliseconds(0)), trelvo::DictionaryLock::Outcome::locked);

    // The tool says on stderr that it waits; the stream tells the test so.
    struct Told : std::stringbuf {
        std::atomic<bool> said{false};
        int sync() override {
            said = true;
            return 0;
        }
    } told;
    std::ostream err(&told);
    std::ostringstream out;
    std::istringstream in;
    std::atomic<bool> done{false};
    int status = -1;
    std::thread exporter([&] {
        trelvo::TrelvoTool t(in, out, err);
        status = t.run({"export", file("a.dsl"), file("out.txt"), "--tables", upchar});
        done = true;
    });
    while (!told.said && !done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool waited = told.said && !done;
    // The writer's save lands, by rename as every save, and it lets go.
    fs::copy_file(file("b.dsl"), file("new.dsl"));
    fs::rename(file("new.dsl"), file("a.dsl"));
    writer.release();
    exporter.join();
    EXPECT_TRUE(waited) << "the export did not wait for the writer";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.str(), "exported: 2\n") << "the export read the saved dictionary";
    // Readers go side by side.
    trelvo::DictionaryLock reader;
    ASSERT_EQ(reader.lock(file("a.dsl"), std::chrono::milliseconds(0), trelvo::DictionaryLock::Access::read),
              trelvo::DictionaryLock::Outcome::locked);
    EXPECT_EQ(tool({"export", file("a.dsl"), file("out.txt"), "--tables", upchar}).status, 0);
}

TEST_F(TrelvoToolTest, FindPrintsTermTranslationNoteAndHowBestFirst) {
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), "přibližovací závěr\tapproach locking\t\t0\nzávěr\tlocking\tvýluka\t0\nsignalista\tsignaller\t\t0\n"
         "návěstidlo\tsignal\tstožár: \\t\t0\nvýhybka\tpoints\tzávěr výhybky\t0\n").status, 0);
    Result r = find({"ZAVER"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{"závěr\tlocking\tvýluka\texact",
                                                      "přibližovací závěr\tapproach locking\t\twords",
                                                      "výhybka\tpoints\tzávěr výhybky\tnote"}));
    // The English word is found first, not the Czech one that begins with it;
    // a note's control character stays escaped.
    EXPECT_EQ(lines(find({"signal"}).out)[0], "návěstidlo\tsignal\tstožár: \\t\texact");
    // Words after FILE are one query; a typo and a word out of order still find.
    EXPECT_EQ(lines(find({"locking", "approach"}).out),
              (std::vector<std::string>{"přibližovací závěr\tapproach locking\t\twords"}));
    EXPECT_EQ(lines(find({"vyhbyka"}).out), (std::vector<std::string>{"výhybka\tpoints\tzávěr výhybky\ttypo"}));
    EXPECT_EQ(find({",;"}).out, "") << "punctuation alone finds nothing, and is no error";
    EXPECT_EQ(find({",;"}).status, 0);
}

TEST_F(TrelvoToolTest, FindListsGiveABlockPerQueryAndTheLimitCutsEachBlock) {
    std::string tsv;
    for (int i = 0; i < 30; ++i) tsv += "kolej " + std::to_string(100 + i) + "\ttrack\t\t0\n";
    ASSERT_EQ(makeCzechEnglish(file("a.dsl"), tsv).status, 0);
    std::ofstream(file("queries.txt"), std::ios::binary) << "kolej 105\r\nnic\n\ntrack\n";
    Result r = find({"--from", file("queries.txt"), "--limit", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{"kolej 105\ttrack\t\texact", "",  // "nic": no matches
                                                      "", "",                             // an empty line
                                                      // the translation equals "track": ties in index order
                                                      "kolej 100\ttrack\t\texact", "kolej 101\ttrack\t\texact",
                                                      "kolej 102\ttrack\t\texact", ""}));
    EXPECT_EQ(lines(find({"kolej"}).out).size(), 20u) << "20 by default";
    EXPECT_EQ(find({"kolej", "--limit", "0"}).out, "");
    EXPECT_EQ(find({"kolej", "--limit", "-1"}).status, 1);
    EXPECT_EQ(find({"kolej", "--limit", "many"}).status, 1);
    EXPECT_EQ(find({}).status, 1) << "a query or a list is needed";
    EXPECT_EQ(tool({"find", file("missing.dsl"), "--tables", upchar, "x"}).status, 1);

    Result timed = find({"--from", file("queries.txt"), "--timing"});
    ASSERT_EQ(timed.status, 0);
    const std::vector<std::string> report = lines(timed.err);
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.back().rfind("finds: 4 in ", 0), 0u) << timed.err;
    EXPECT_NE(report.back().find(" us each"), std::string::npos) << timed.err;
    EXPECT_EQ(find({"kolej"}).err, "") << "nothing on stderr without --timing";
}

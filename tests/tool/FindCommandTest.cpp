#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TemporaryFolder.h"
#include "tool/TrelvoTool.h"

namespace {

const std::string upchar = std::string(TRELVO_RUNTIME_DIR) + "/upchar.dat";

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result tool(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    trelvo::TrelvoTool t(in, out, err);
    const int status = t.run(args);
    return {status, out.str(), err.str()};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// A Czech–English dictionary made by the tool from tsv.
class FindCommandTest : public ::testing::Test {
protected:
    void make(const std::string& tsv) {
        const Result made = tool({"make", dictionary, "--name", "Zkouška", "--lang0", "Čeština", "--charset0", "238",
                                  "--lang1", "Angličtina", "--charset1", "0"},
                                 tsv);
        ASSERT_EQ(made.status, 0) << made.err;
    }
    Result find(std::vector<std::string> args) {
        args.insert(args.begin(), {"find", dictionary, "--tables", upchar});
        return tool(args);
    }

    trelvo::support::TemporaryFolder folder{"trelvo-find"};
    std::string dictionary = folder.file("a.dsl");
};

TEST_F(FindCommandTest, PrintsTermTranslationNoteAndHowBestFirst) {
    make("přibližovací závěr\tapproach locking\t\t0\nzávěr\tlocking\tvýluka\t0\nsignalista\tsignaller\t\t0\n"
         "návěstidlo\tsignal\tstožár: \\t\t0\nvýhybka\tpoints\tzávěr výhybky\t0\n");
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

TEST_F(FindCommandTest, ListsGiveABlockPerQueryAndTheLimitCutsEachBlock) {
    std::string tsv;
    for (int i = 0; i < 30; ++i) tsv += "kolej " + std::to_string(100 + i) + "\ttrack\t\t0\n";
    make(tsv);
    std::ofstream(folder.file("queries.txt"), std::ios::binary) << "kolej 105\r\nnic\n\ntrack\n";
    Result r = find({"--from", folder.file("queries.txt"), "--limit", "3"});
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
    EXPECT_EQ(tool({"find", folder.file("missing.dsl"), "--tables", upchar, "x"}).status, 1);

    Result timed = find({"--from", folder.file("queries.txt"), "--timing"});
    ASSERT_EQ(timed.status, 0);
    const std::vector<std::string> report = lines(timed.err);
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.back().rfind("finds: 4 in ", 0), 0u) << timed.err;
    EXPECT_NE(report.back().find(" us each"), std::string::npos) << timed.err;
    EXPECT_EQ(find({"kolej"}).err, "") << "nothing on stderr without --timing";
}

}  // namespace

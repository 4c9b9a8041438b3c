// The usage trelvo-tool prints when asked, and when it does not understand
// a command line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <sstream>

#include "tool/TrelvoTool.h"

namespace {

using trelvo::ToolCommand;
using trelvo::ToolOption;
using trelvo::TrelvoTool;

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result tool(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out, err;
    trelvo::TrelvoTool t(in, out, err);
    const int status = t.run(args);
    return {status, out.str(), err.str()};
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(ToolUsage, HelpPrintsTheUsageWithSuccess) {
    const Result help = tool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("usage: trelvo-tool info FILE\n", 0), 0u) << help.out;
    for (const ToolCommand& command : TrelvoTool::commands()) {
        EXPECT_NE(help.out.find("trelvo-tool " + command.name + " "), std::string::npos) << command.name;
        for (const ToolOption& option : command.options)
            EXPECT_NE(help.out.find("--" + option.name), std::string::npos) << command.name << " --" << option.name;
    }
    for (const std::string& line : linesOf(help.out)) EXPECT_LE(line.size(), 79u) << line;
    EXPECT_EQ(linesOf(help.out).back(), "       trelvo-tool COMMAND --help");

    const Result h = tool({"-h"});
    EXPECT_EQ(h.status, 0);
    EXPECT_EQ(h.out, help.out);

    // The built program says the same on its standard output.
    FILE* pipe = popen((std::string(TRELVO_TOOL_PATH) + " -h 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string printed;
    for (int c; (c = std::fgetc(pipe)) != EOF;) printed += static_cast<char>(c);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(printed, help.out);

    // A command's help: its own usage, even where options it requires are left out.
    const Result dump = tool({"dump", "--help"});
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.out, "usage: trelvo-tool dump FILE [--side 0|1] [--tables UPCHAR]\n");
    const Result make = tool({"make", "new.dsl", "--name", "N", "--help"});
    EXPECT_EQ(make.status, 0);
    EXPECT_EQ(make.err, "");
    const std::vector<std::string> lines = linesOf(make.out);
    ASSERT_GE(lines.size(), 2u) << make.out;
    EXPECT_EQ(lines.front().rfind("usage: trelvo-tool make FILE --name N --lang0 L", 0), 0u) << make.out;
    EXPECT_EQ(lines.back().rfind(std::string(19, ' ') + "[", 0), 0u) << make.out;
    EXPECT_EQ(lines.back().substr(lines.back().size() - 6), " < TSV");
    EXPECT_NE(make.out.find("[--update-stamp YYYYMMDDHHMM]"), std::string::npos);
    EXPECT_NE(tool({"export", "--help"}).out.find("[--notes NOTE...] [--translated-only]"), std::string::npos);
}

TEST(ToolUsage, ACommandLineNotUnderstoodIsAnsweredWithTheUsage) {
    const std::string dumpUsage = "usage: trelvo-tool dump FILE [--side 0|1] [--tables UPCHAR]\n";
    Result r = tool({"dump", "x.dsl", "--sides", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "trelvo-tool: unknown option --sides\n" + dumpUsage);
    r = tool({"dump", "x.dsl", "--side"});
    EXPECT_EQ(r.err, "trelvo-tool: option --side needs a value\n" + dumpUsage);
    r = tool({"sign", "x.dsl"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "trelvo-tool: missing option --key\nusage: trelvo-tool sign FILE --key KEYFILE\n");

    const std::string fullUsage = tool({"--help"}).out;
    r = tool({"serach", "x.dsl"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "trelvo-tool: unknown command serach\n" + fullUsage);
    r = tool({});
    EXPECT_EQ(r.err, "trelvo-tool: no command given\n" + fullUsage);

    // A command that was understood and failed says only why.
    r = tool({"info", "/nonexistent/x.dsl"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("usage:"), std::string::npos) << r.err;
}

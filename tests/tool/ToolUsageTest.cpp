// The usage, the manual page, the bash completion and the guides all name the
// options of trelvo-tool. They are held here to the table the tool parses
// with, and every difference is reported as what to add or remove where.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "tool/TrelvoTool.h"

namespace fs = std::filesystem;

namespace {

using trelvo::ToolCommand;
using trelvo::ToolOption;
using trelvo::TrelvoTool;
using Names = std::set<std::string>;

const std::string sourceDir = TRELVO_SOURCE_DIR;
const std::string manPage = "packaging/trelvo-tool.1";
const std::string completion = "packaging/trelvo-tool.bash-completion";

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

std::string readSource(const std::string& relative) {
    std::ifstream in(sourceDir + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << relative;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

Names matches(const std::string& text, const std::regex& pattern) {
    Names found;
    for (std::sregex_iterator m(text.begin(), text.end(), pattern), end; m != end; ++m) found.insert(m->str());
    return found;
}

// The options of a command as a synopsis shows them: "--key" when required,
// "[--key]" when not.
Names synopsisOptions(const ToolCommand& command) {
    Names names;
    for (const ToolOption& o : command.options) names.insert(o.required ? "--" + o.name : "[--" + o.name + "]");
    return names;
}

Names optionNames(const ToolCommand& command) {
    Names names;
    for (const ToolOption& o : command.options) names.insert("--" + o.name);
    return names;
}

std::string joined(const Names& names) {
    std::string text;
    for (const std::string& name : names) text += " " + name;
    return text;
}

// A failure for each name the table has and where lacks, and for each that
// where has and the table does not.
void expectNames(const Names& table, const Names& found, const std::string& where) {
    Names missing, extra;
    std::set_difference(table.begin(), table.end(), found.begin(), found.end(), std::inserter(missing, missing.end()));
    std::set_difference(found.begin(), found.end(), table.begin(), table.end(), std::inserter(extra, extra.end()));
    if (!missing.empty()) ADD_FAILURE() << where << " lacks" << joined(missing);
    if (!extra.empty()) ADD_FAILURE() << where << " has, and trelvo-tool does not:" << joined(extra);
}

Names commandNames() {
    Names names;
    for (const ToolCommand& c : TrelvoTool::commands()) names.insert(c.name);
    return names;
}

// The synopsis of the manual page, per command: the lines after
// ".SY "trelvo-tool COMMAND"" up to ".YS"; those of ".SY trelvo-tool" alone
// (the help) come under "".
std::map<std::string, std::string> manSynopsis(const std::string& page) {
    const std::size_t start = page.find(".SH SYNOPSIS\n");
    const std::size_t end = page.find("\n.SH ", start + 1);
    std::map<std::string, std::string> synopsis;
    std::string command;
    const std::regex named(R"re(\.SY "?trelvo-tool( ([a-z][a-z-]*))?"?)re");
    for (const std::string& line : linesOf(page.substr(start, end - start))) {
        std::smatch m;
        if (std::regex_match(line, m, named)) command = m[2];
        else if (line != ".YS") synopsis[command] += line + "\n";
    }
    return synopsis;
}

const std::regex optionPattern("--[a-z0-9]+(-[a-z0-9]+)*");

// The options a synopsis names, "[--x]" where a "[" comes before them on
// their line.
Names manOptions(const std::string& synopsis) {
    Names names;
    for (const std::string& line : linesOf(synopsis)) {
        for (std::sregex_iterator m(line.begin(), line.end(), optionPattern), end; m != end; ++m) {
            const bool optional = line.find('[') < static_cast<std::size_t>(m->position());
            names.insert(optional ? "[" + m->str() + "]" : m->str());
        }
    }
    return names;
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

TEST(ToolUsage, TheManualPageNamesEveryCommandAndOption) {
    // Hyphens as they read, not as troff is told to print them: "\-\-dry\-run".
    const std::string page = std::regex_replace(readSource(manPage), std::regex(R"(\\-)"), "-");
    const std::map<std::string, std::string> synopsis = manSynopsis(page);
    const std::string body = page.substr(page.find("\n.SH ", page.find(".SH SYNOPSIS\n") + 1));

    Names commands;
    for (const auto& [command, lines] : synopsis)
        if (!command.empty()) commands.insert(command);
    expectNames(commandNames(), commands, manPage + ", SYNOPSIS, commands:");
    expectNames({"--help"}, synopsis.count("") ? manOptions(synopsis.at("")) : Names{},
                manPage + ", SYNOPSIS without a command:");

    for (const ToolCommand& command : TrelvoTool::commands()) {
        const auto lines = synopsis.find(command.name);
        if (lines != synopsis.end())
            expectNames(synopsisOptions(command), manOptions(lines->second),
                        manPage + ", SYNOPSIS of " + command.name + ":");
        if (body.find("\n.B " + command.name + "\n") == std::string::npos)
            ADD_FAILURE() << manPage << " lacks the command " << command.name << " under COMMANDS";
        for (const ToolOption& option : command.options)
            if (!std::regex_search(body, std::regex("--" + option.name + "(?![a-z0-9-])")))
                ADD_FAILURE() << manPage << " says what --" << option.name << " of " << command.name
                              << " does nowhere: add it under COMMANDS (" << command.name << ") or OPTIONS";
    }
}

TEST(ToolUsage, TheBashCompletionOffersEveryCommandAndOption) {
    const std::string script = readSource(completion);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(script, m, std::regex(R"re(local commands="([^"]*)")re")));
    expectNames(commandNames(), matches(m[1].str(), std::regex("[^ ]+")), completion + ", commands=");

    std::map<std::string, Names> offered;
    for (const std::string& line : linesOf(script))
        if (std::regex_match(line, m, std::regex(R"re(\s*([a-z-]+)\) options="([^"]*)".*)re")))
            offered[m[1]] = matches(m[2].str(), std::regex("[^ ]+"));
    // The options after which the script completes a value, not an option.
    const std::size_t prev = script.find("case $prev in");
    ASSERT_NE(prev, std::string::npos);
    const Names beforeValues =
        matches(script.substr(prev, script.find("esac", prev) - prev), optionPattern);

    Names takingValues;
    for (const ToolCommand& command : TrelvoTool::commands()) {
        expectNames(optionNames(command), offered[command.name], completion + ", options of " + command.name + ":");
        for (const ToolOption& option : command.options)
            if (option.takes != ToolOption::Takes::nothing) takingValues.insert("--" + option.name);
    }
    expectNames(takingValues, beforeValues, completion + ", case $prev (the options followed by a value):");
}

// The README and the guides show commands with options in passing; each
// option shown must be one the command takes.
TEST(ToolUsage, TheGuidesShowOnlyOptionsTheCommandsTake) {
    std::vector<std::string> guides{"README.md"};
    if (fs::is_directory(sourceDir + "/docs"))
        for (const auto& file : fs::recursive_directory_iterator(sourceDir + "/docs"))
            if (file.path().extension() == ".md") guides.push_back(fs::relative(file.path(), sourceDir).string());
    std::map<std::string, const ToolCommand*> commands;
    for (const ToolCommand& c : TrelvoTool::commands()) commands[c.name] = &c;
    // A command and the rest of its code span or line.
    const std::regex shown(R"(trelvo-tool ([a-z][a-z-]*)((?:(?!trelvo-tool)[^`])*))");
    for (const std::string& guide : guides) {
        const std::vector<std::string> lines = linesOf(readSource(guide));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (std::sregex_iterator m(lines[i].begin(), lines[i].end(), shown), end; m != end; ++m) {
                const auto command = commands.find((*m)[1]);
                if (command == commands.end()) continue;  // prose: "trelvo-tool does the same"
                Names taken = optionNames(*command->second);
                taken.insert("--help");
                for (const std::string& name : matches((*m)[2], optionPattern))
                    if (!taken.count(name))
                        ADD_FAILURE() << guide << ":" << i + 1 << ": " << command->first << " has no option " << name;
            }
        }
    }
}

#pragma once

#include <string>
#include <vector>

namespace trelvo {

class ToolArguments;
class TrelvoTool;

// One option of a trelvo-tool command, as the parser takes it and the usage
// shows it.
struct ToolOption {
    enum class Takes {
        value,    // the next word
        nothing,  // a flag
        words,    // every word up to the next option
    };
    std::string name;  // without the leading "--"
    Takes takes = Takes::value;
    std::string valueName;  // how the usage names the value: "UPCHAR", "0|1"
    bool required = false;
};

// A trelvo-tool command: the words it expects, its options and what runs it.
// The parser, the usage and the test that keeps the manual page and the bash
// completion in step all read the one table of these.
struct ToolCommand {
    std::string name;
    std::string operands;  // shown before the options: "FILE OUT"
    std::vector<ToolOption> options;
    std::string trailing;  // shown after the options: "TEXT...", "< TSV"
    int (TrelvoTool::*run)(const ToolArguments&) = nullptr;

    const ToolOption* option(const std::string& optionName) const;
    // Its usage, starting with lead ("usage: " or spaces of the same width),
    // wrapped so that lines stay within a terminal's 80 columns.
    std::string usage(const std::string& lead = "usage: ") const;
};

// The usage of the whole tool: every command, then how to ask for help.
std::string usageOf(const std::vector<ToolCommand>& commands);

}  // namespace trelvo

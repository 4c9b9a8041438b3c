#include "ToolCommand.h"

namespace trelvo {

namespace {

constexpr std::size_t lineWidth = 79;
constexpr const char* program = "trelvo-tool ";

std::string shown(const ToolOption& option) {
    std::string text = "--" + option.name;
    if (option.takes != ToolOption::Takes::nothing) text += " " + option.valueName;
    if (option.takes == ToolOption::Takes::words) text += "...";
    return option.required ? text : "[" + text + "]";
}

}  // namespace

const ToolOption* ToolCommand::option(const std::string& optionName) const {
    for (const ToolOption& o : options)
        if (o.name == optionName) return &o;
    return nullptr;
}

std::string ToolCommand::usage(const std::string& lead) const {
    std::vector<std::string> items;
    if (!operands.empty()) items.push_back(operands);
    for (const ToolOption& o : options) items.push_back(shown(o));
    if (!trailing.empty()) items.push_back(trailing);
    // Continued lines start under the command's name.
    const std::string indent(lead.size() + std::string(program).size(), ' ');
    std::string text = lead + program + name;
    std::size_t lineStart = 0;
    for (const std::string& item : items) {
        if (text.size() - lineStart + 1 + item.size() > lineWidth) {
            text += "\n";
            lineStart = text.size();
            text += indent + item;
        } else {
            text += " " + item;
        }
    }
    return text + "\n";
}

std::string usageOf(const std::vector<ToolCommand>& commands) {
    const std::string continued(std::string("usage: ").size(), ' ');
    std::string text;
    for (const ToolCommand& command : commands) text += text.empty() ? command.usage() : command.usage(continued);
    return text + continued + program + "-h|--help\n" + continued + program + "COMMAND --help\n";
}

}  // namespace trelvo

#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace trelvo {

struct ToolCommand;

// Options and positional words of one trelvo-tool command, read as the
// command's table entry says. --help is known to every command and excuses
// the options it requires. An unknown option, a missing value or a missing
// required option throws ToolError.
class ToolArguments {
public:
    ToolArguments(const std::vector<std::string>& args, const ToolCommand& command);

    bool flag(const std::string& name) const;
    std::optional<std::string> get(const std::string& name) const;
    // The value of an option the command cannot do without.
    std::string require(const std::string& name) const;
    // The one positional word of a command that takes exactly one FILE.
    const std::string& file() const;

    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> lists;

private:
    std::map<std::string, std::string> options_;
    std::set<std::string> flags_;
};

}  // namespace trelvo

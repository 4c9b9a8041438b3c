#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace trelvo {

// Options and positional words of one trelvo-tool command. A known name
// ending in "!" is a flag without a value; one ending in "*" takes every word
// up to the next option; any other takes one value. An unknown option or a
// missing value throws ToolError.
class ToolArguments {
public:
    ToolArguments(const std::vector<std::string>& args, const std::vector<std::string>& known);

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

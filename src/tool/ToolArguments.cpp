#include "ToolArguments.h"

#include "ToolCommand.h"
#include "ToolError.h"

namespace trelvo {

ToolArguments::ToolArguments(const std::vector<std::string>& args, const ToolCommand& command) {
    auto isOption = [](const std::string& a) { return a.size() > 2 && a.compare(0, 2, "--") == 0; };
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!isOption(a)) {
            positional.push_back(a);
            continue;
        }
        const std::string name = a.substr(2);
        const ToolOption* option = command.option(name);
        if (name == "help" || (option && option->takes == ToolOption::Takes::nothing)) {
            flags_.insert(name);
        } else if (!option) {
            throw ToolError("unknown option " + a);
        } else if (option->takes == ToolOption::Takes::words) {
            std::vector<std::string>& list = lists[name];
            while (i + 1 < args.size() && !isOption(args[i + 1])) list.push_back(args[++i]);
        } else {
            if (i + 1 >= args.size()) throw ToolError("option " + a + " needs a value");
            options_[name] = args[++i];
        }
    }
    if (flag("help")) return;
    for (const ToolOption& option : command.options)
        if (option.required) require(option.name);
}

bool ToolArguments::flag(const std::string& name) const { return flags_.count(name) > 0; }

std::optional<std::string> ToolArguments::get(const std::string& name) const {
    auto it = options_.find(name);
    if (it == options_.end()) return std::nullopt;
    return it->second;
}

std::string ToolArguments::require(const std::string& name) const {
    auto value = get(name);
    if (!value) throw ToolError("missing option --" + name);
    return *value;
}

const std::string& ToolArguments::file() const {
    if (positional.size() != 1) throw ToolError("expected one FILE");
    return positional[0];
}

}  // namespace trelvo

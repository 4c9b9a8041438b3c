#include "ToolArguments.h"

#include <algorithm>

#include "ToolError.h"

namespace trelvo {

ToolArguments::ToolArguments(const std::vector<std::string>& args, const std::vector<std::string>& known) {
    auto isOption = [](const std::string& a) { return a.size() > 2 && a.compare(0, 2, "--") == 0; };
    auto knows = [&](const std::string& name) { return std::find(known.begin(), known.end(), name) != known.end(); };
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!isOption(a)) {
            positional.push_back(a);
            continue;
        }
        const std::string name = a.substr(2);
        if (knows(name + "!")) {
            flags_.insert(name);
        } else if (knows(name + "*")) {
            std::vector<std::string>& list = lists[name];
            while (i + 1 < args.size() && !isOption(args[i + 1])) list.push_back(args[++i]);
        } else if (knows(name)) {
            if (i + 1 >= args.size()) throw ToolError("option " + a + " needs a value");
            options_[name] = args[++i];
        } else {
            throw ToolError("unknown option " + a);
        }
    }
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

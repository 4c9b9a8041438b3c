#include "ToolError.h"

#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/WholeFile.h"

namespace trelvo {

std::string dictionaryLimits() {
    return std::to_string(dictionaryLimit >> 30) + " GiB or " + std::to_string(dictionaryEntryLimit) + " entries";
}

ToolError unreadableDictionary(const std::string& path) {
    return ToolError("cannot read dictionary " + path + ": not a dictionary, cut short, or larger than " +
                     dictionaryLimits());
}

ToolError unwritableDictionary(const std::string& path) {
    return ToolError("cannot write " + path + ", or the dictionary would be larger than " + dictionaryLimits());
}

}  // namespace trelvo

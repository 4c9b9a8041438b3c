#pragma once

#include <stdexcept>
#include <string>

namespace trelvo {

// A failure that ends a trelvo-tool command with its message.
struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The limits of a dictionary file, as the messages name them.
std::string dictionaryLimits();
ToolError unreadableDictionary(const std::string& path);
// A save the writer refused leaves the old file as it was.
ToolError unwritableDictionary(const std::string& path);

}  // namespace trelvo

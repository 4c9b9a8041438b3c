#pragma once

#include <string>
#include <vector>

namespace trelvo {

// The dictionary forms of an inflected word of one language ("návěstidla" →
// "návěstidlo"), UTF-8 in and out; none for a word it does not know.
class WordStems {
public:
    virtual ~WordStems() = default;
    virtual std::vector<std::string> stems(const std::string& word) const = 0;
};

}  // namespace trelvo

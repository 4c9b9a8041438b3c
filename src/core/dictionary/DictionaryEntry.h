#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace trelvo {

enum EntryFlags : std::uint32_t {
    efDefault = 0,       // delivered with the dictionary
    efImported = 1,      // added by import or synchronisation
    efUserModified = 2,  // added, edited or cleared by the user
};

// One entry: text 0 is the term (language 0), text 1 the translation
// (language 1), text 2 the note. Texts are bytes in their language's code page.
struct DictionaryEntry {
    std::array<std::string, 3> texts;
    std::uint32_t flags = efDefault;

    std::string& term() { return texts[0]; }
    std::string& translation() { return texts[1]; }
    std::string& note() { return texts[2]; }
    const std::string& term() const { return texts[0]; }
    const std::string& translation() const { return texts[1]; }
    const std::string& note() const { return texts[2]; }

    bool operator==(const DictionaryEntry&) const = default;
};

}  // namespace trelvo

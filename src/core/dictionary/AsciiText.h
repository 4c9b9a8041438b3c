#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// Letter case of ASCII alone, whatever the process's locale: file names,
// hexadecimal IDs and language codes are ASCII, and a locale's case rules
// must not touch the 8-bit letters of a code page beside them.
inline char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string asciiLower(std::string text) {
    for (char& c : text) c = asciiLower(c);
    return text;
}

inline std::string asciiUpper(std::string text) {
    for (char& c : text) c = asciiUpper(c);
    return text;
}

// text equals lower, which is written in lower case, in any letter case.
inline bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (asciiLower(text[i]) != lower[i]) return false;
    return true;
}

// text ends in lowerEnding (".dsl", ".csv"), in any letter case.
inline bool endsWithIgnoringCase(std::string_view text, std::string_view lowerEnding) {
    return text.size() >= lowerEnding.size() &&
           equalsIgnoringCase(text.substr(text.size() - lowerEnding.size()), lowerEnding);
}

}  // namespace trelvo

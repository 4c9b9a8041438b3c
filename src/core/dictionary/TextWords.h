#pragma once

#include <string_view>

namespace trelvo {

// Blanks as the program's text files and search texts know them.
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The first run of non-blank characters.
inline std::string_view firstWord(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && isBlank(text[begin])) ++begin;
    std::size_t end = begin;
    while (end < text.size() && !isBlank(text[end])) ++end;
    return text.substr(begin, end - begin);
}

}  // namespace trelvo

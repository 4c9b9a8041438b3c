#pragma once

#include <string>
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

// A text as an entry keeps it: each run of control characters (tabs, line
// breaks and the rest below 32) inside it becomes one space, and a run at
// either end goes, so that no entry can split the lines or the columns of an
// export. The same in every code page.
inline std::string entryText(std::string_view text) {
    auto isControl = [](char c) { return static_cast<unsigned char>(c) < 32; };
    while (!text.empty() && isControl(text.front())) text.remove_prefix(1);
    while (!text.empty() && isControl(text.back())) text.remove_suffix(1);
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (!isControl(text[i])) {
            kept += text[i++];
            continue;
        }
        kept += ' ';
        while (isControl(text[i])) ++i;  // the text ends in no control character
    }
    return kept;
}

// True when text holds nothing but spaces.
inline bool isEmptyText(std::string_view text) { return text.find_first_not_of(' ') == text.npos; }

}  // namespace trelvo

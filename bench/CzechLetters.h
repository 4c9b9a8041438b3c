#pragma once

#include <string>

// Czech texts as users change them when they type: in capitals, in small
// letters, without diacritics. Only the letters of Czech and ASCII change.
namespace czech_letters {

inline const std::u16string small = u"áčďéěíňóřšťúůýž";
inline const std::u16string capital = u"ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ";

// Each letter of from becomes the one at its place in to.
inline std::u16string replaced(std::u16string text, const std::u16string& from, const std::u16string& to) {
    for (char16_t& c : text)
        if (auto at = from.find(c); at != std::u16string::npos) c = to[at];
    return text;
}

inline std::u16string capitals(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return replaced(std::move(text), small, capital);
}

inline std::u16string smallLetters(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return replaced(std::move(text), capital, small);
}

inline std::u16string withoutDiacritics(std::u16string text) {
    return replaced(std::move(text), small + capital, u"acdeeinorstuuyzACDEEINORSTUUYZ");
}

}  // namespace czech_letters

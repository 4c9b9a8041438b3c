#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/dictionary/DictionaryHeader.h"

namespace trelvo {

// The ISO 639-1 code of a dictionary language, for the xml:lang of the
// interchange formats. The file format has no room for it, so it is derived
// from the language's name (in the header's code page, Czech or English, as
// "Čeština" or "Czech") and, for a name it does not know, from a character
// set that only one language uses; else the user's code for it kept in the
// side file languageCodesPath beside the dictionary; "und" (undetermined)
// when there is none.
std::string languageCode(const DictionaryHeader& header, int side);

// The code derived from the language's name and character set alone, "und"
// when they say nothing: the languages the user is asked about.
std::string derivedLanguageCode(const DictionaryHeader& header, int side);

// "NAME.dsl.lang" beside the dictionary: one line a language, its code.
std::string languageCodesPath(const std::string& dictionaryPath);
// The largest side file read: it holds two short lines, and a larger file
// (or a pipe, or a device) is no side file of the program's.
inline constexpr std::size_t languageCodesLimit = 4096;
// The code the side file's bytes keep for language side, if any.
std::optional<std::string> keptLanguageCode(std::string_view kept, int side);

// A code the side file may keep: two or three lower-case letters.
bool isLanguageCode(std::string_view code);

// Keeps the user's codes of the two languages (an empty one for a language
// whose code is derived); false when the side file cannot be written.
bool storeLanguageCodes(const std::string& dictionaryPath, const std::string& code0, const std::string& code1);

// True when the xml:lang value names the language of code: "cs", "cs-CZ" and
// "CS" all name Czech.
bool sameLanguage(std::string_view xmlLang, std::string_view code);

}  // namespace trelvo

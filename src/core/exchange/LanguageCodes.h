#pragma once

#include <string>
#include <string_view>

#include "core/dictionary/DictionaryHeader.h"

namespace trelvo {

// The ISO 639-1 code of a dictionary language, for the xml:lang of the
// interchange formats. The file format has no room for it, so it is derived
// from the language's name (in the header's code page, Czech or English, as
// "Čeština" or "Czech") and, for a name it does not know, from a character
// set that only one language uses; "und" (undetermined) otherwise.
std::string languageCode(const DictionaryHeader& header, int side);

// True when the xml:lang value names the language of code: "cs", "cs-CZ" and
// "CS" all name Czech.
bool sameLanguage(std::string_view xmlLang, std::string_view code);

}  // namespace trelvo

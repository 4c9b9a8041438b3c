#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace trelvo {

// The properties of a dictionary. Texts are in code page 1250; pictures are
// the BMP file bytes exactly as stored (empty: no picture).
struct DictionaryHeader {
    std::string name;
    std::array<std::string, 2> languageName;
    std::array<std::int32_t, 2> languageCharset{1, 1};
    std::array<std::string, 2> languageImage;
    std::string author;
    std::string version;
    std::string note;
    std::string updateStamp;      // YYYYMMDDHHMM of the last automatic update, or empty
    std::string idAndAccessCode;  // 8 hex digits of ID, then the access code
    std::string filePath;         // never stored in the file; empty: no dictionary open

    bool operator==(const DictionaryHeader&) const = default;
};

}  // namespace trelvo

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/dictionary/DictionaryHeader.h"

namespace trelvo {

// The properties of a dictionary as the properties dialog edits them, and the
// rules that guard and apply them. Texts are in code page 1250.
struct DictionaryProperties {
    std::string name;
    std::array<std::string, 2> languageName;
    std::array<int, 2> charsetItem{0, 0};  // position in the list of character sets
    std::string author;
    std::string version;
    std::string note;
    std::string id;          // 8 upper-case hexadecimal digits
    std::string accessCode;  // empty: open to everyone
    // Per language: empty keeps the picture, " " removes it, anything else is
    // the path of a BMP file to take.
    std::array<std::string, 2> pendingImage;

    static constexpr int charsetItems = 6;
    static int charsetOfItem(int item);
    // A code not in the list shows as item 0.
    static int itemOfCharset(int charset);

    static DictionaryProperties of(const DictionaryHeader& header);
    // "%04X%04X" of two numbers in 0 .. 65535.
    static std::string newId(const std::function<std::uint32_t()>& random);
    static bool isValidId(const std::string& id);

    // The first eight characters of idAndAccessCode and the rest.
    static std::string idOf(const std::string& idAndAccessCode);
    static std::string accessCodeOf(const std::string& idAndAccessCode);

    enum class Failure { none, badId, badPicture };
    // Writes these properties into header. Nothing of the header changes on a
    // failure; badPicture names the file in failedPicture.
    Failure applyTo(DictionaryHeader& header, std::string& failedPicture) const;
};

// What a typed access code grants: an empty stored code needs no typing; an
// empty typed one cancels without a word; another one is wrong.
enum class AccessCheck { granted, cancelled, wrongCode };
AccessCheck checkAccessCode(const std::string& idAndAccessCode, const std::string& typed);

}  // namespace trelvo

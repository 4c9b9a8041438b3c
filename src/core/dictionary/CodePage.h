#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// Conversion between a language's 8-bit texts and Unicode. One UTF-16 unit
// always gives one byte; characters the code page lacks become '?'.
class CodePage {
public:
    // The Windows code page of a font character-set code (1250 for unknown codes).
    static int codePageOfCharset(int charsetCode);
    // Header texts (name, author, language names, ...) use the UI's code page.
    static constexpr int headerCodePage = 1250;

    static std::u16string toUnicode(std::string_view bytes, int codePage);
    static std::string fromUnicode(std::u16string_view text, int codePage);

    static std::string toUtf8(std::string_view bytes, int codePage);
    static std::string fromUtf8(std::string_view utf8, int codePage);
    // The same into bytes or utf8, whose memory is reused: for a caller converting many texts.
    static void fromUtf8(std::string_view utf8, int codePage, std::string& bytes);
    static void toUtf8(std::string_view bytes, int codePage, std::string& utf8);

    static std::string utf16ToUtf8(std::u16string_view text);
    // Malformed sequences become U+FFFD (and so '?' in any code page).
    static std::u16string utf8ToUtf16(std::string_view utf8);
};

}  // namespace trelvo

// How the tool prints texts that hold control characters, and reads its own
// escapes back.
#include <gtest/gtest.h>

#include "tool/PrintableText.h"

namespace {

using trelvo::fromPrintable;
using trelvo::printable;

TEST(PrintableText, ControlCharactersAndBackslashesAreEscapedAndNothingElse) {
    EXPECT_EQ(printable("návěstidlo 1 → \"A\" ~ x"), "návěstidlo 1 → \"A\" ~ x");
    EXPECT_EQ(printable("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    EXPECT_EQ(printable("\x1B]0;title\x07"), "\\x1B]0;title\\x07");
    EXPECT_EQ(printable(std::string("\0\x01\x1F\x7F", 4)), "\\x00\\x01\\x1F\\x7F");
    // U+009B (a one-byte CSI for some terminals) and U+0080, U+009F; U+00A0 and U+00FF are letters.
    EXPECT_EQ(printable("\xC2\x9B" "1m \xC2\x80\xC2\x9F\xC2\xA0\xC3\xBF"), "\\xC2\\x9B" "1m \\xC2\\x80\\xC2\\x9F\xC2\xA0\xC3\xBF");
    EXPECT_EQ(printable("\xC2"), "\xC2") << "a cut sequence at the end is no control character";
    EXPECT_EQ(printable(""), "");
}

TEST(PrintableText, WhatIsPrintedReadsBackAsTheSameText) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
    for (const std::string& text : {everyByte, std::string("\\x41\\t\\"), std::string("C:\\temp\\new"),
                                    std::string("\xC2\x9B\xC2")})
        EXPECT_EQ(fromPrintable(printable(text)), text);
    // Other backslashes, as someone may type them, are taken as they stand.
    EXPECT_EQ(fromPrintable("C:\\data\\x4 \\xZZ \\"), "C:\\data\\x4 \\xZZ \\");
    EXPECT_EQ(fromPrintable("\\x4a\\x4A\\t"), "JJ\t");
}

}  // namespace

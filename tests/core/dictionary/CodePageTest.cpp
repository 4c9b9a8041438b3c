#include <gtest/gtest.h>

#include "core/dictionary/CodePage.h"

using trelvo::CodePage;

TEST(CodePage, CharsetsMapToTheirCodePages) {
    EXPECT_EQ(CodePage::codePageOfCharset(1), 1250);
    EXPECT_EQ(CodePage::codePageOfCharset(238), 1250);
    EXPECT_EQ(CodePage::codePageOfCharset(204), 1251);
    EXPECT_EQ(CodePage::codePageOfCharset(186), 1257);
    EXPECT_EQ(CodePage::codePageOfCharset(0), 1252);
    EXPECT_EQ(CodePage::codePageOfCharset(162), 1254);
    EXPECT_EQ(CodePage::codePageOfCharset(55), 1250);
}

TEST(CodePage, LettersOfEachLanguageConvertBothWays) {
    struct Case { int cp; const char* utf8; const char* bytes; };
    const Case cases[] = {
        {1250, "příliš žluťoučký kůň", "p\xF8\xED\x6Ci\x9A \x9El\x75\x9Do\x75\xE8k\xFD k\xF9\xF2"},
        {1251, "ёж счётчик", "\xB8\xE6 \xF1\xF7\xB8\xF2\xF7\xE8\xEA"},
        {1252, "crème à ñ", "cr\xE8me \xE0 \xF1"},
        {1254, "ılık İ ş", "\xFDl\xFDk \xDD \xFE"},
        {1257, "ąčęėįšųūž", "\xE0\xE8\xE6\xEB\xE1\xF0\xF8\xFB\xFE"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CodePage::fromUtf8(c.utf8, c.cp), c.bytes) << c.cp;
        EXPECT_EQ(CodePage::toUtf8(c.bytes, c.cp), c.utf8) << c.cp;
    }
}

TEST(CodePage, MissingCharactersBecomeOneQuestionMarkPerUnit) {
    EXPECT_EQ(CodePage::fromUtf8("a€b", 1251), "a\x88" "b") << "1251 has the euro sign";
    EXPECT_EQ(CodePage::fromUtf8("Жè", 1250), "??");
    // A character outside the basic plane is two UTF-16 units, so two bytes.
    EXPECT_EQ(CodePage::fromUtf8("x😀y", 1252), "x??y");
    EXPECT_EQ(CodePage::fromUnicode(u"\xD800", 1250), "?");
}

TEST(CodePage, EveryByteSurvivesARoundTrip) {
    for (int cp : {1250, 1251, 1252, 1254, 1257}) {
        std::string all;
        for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
        std::u16string text = CodePage::toUnicode(all, cp);
        ASSERT_EQ(text.size(), all.size());
        EXPECT_EQ(CodePage::fromUnicode(text, cp), all) << cp;
        // The one pass to UTF-8, into a string longer before, gives what the way through UTF-16 does.
        std::string reused(1000, 'x');
        CodePage::toUtf8(all, cp, reused);
        EXPECT_EQ(reused, CodePage::utf16ToUtf8(text)) << cp;
        EXPECT_EQ(CodePage::fromUtf8(reused, cp), all) << cp;
    }
}

TEST(CodePage, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(CodePage::utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(CodePage::utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong";
    EXPECT_EQ(CodePage::utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "surrogate";
    EXPECT_EQ(CodePage::utf8ToUtf16("\xFF" "b"), u"\uFFFD" "b");
    EXPECT_EQ(CodePage::utf16ToUtf8(u"\xDC00z"), "\xEF\xBF\xBDz") << "lone low surrogate";
    EXPECT_EQ(CodePage::utf16ToUtf8(CodePage::utf8ToUtf16("ž😀")), "ž😀");
}

// fromUtf8 converts in one pass; it must give what the two steps through
// UTF-16 give, malformed and astral input included.
TEST(CodePage, DirectConversionFromUtf8MatchesTheWayThroughUtf16) {
    const std::string pieces[] = {"a", "ž", "Ж", "€", "😀", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xFF", "\xF4\x90\x80\x80",
                                  std::string(1, '\0'), "\xE2\x82", " ", "ı", "ą",
                                  // long runs of ASCII, as typed terms mostly are
                                  "signal box", "zabezpecovaci"};
    std::uint32_t state = 12345;
    // One string takes every conversion in turn, longer and shorter ones, as
    // a caller reusing its memory does.
    std::string reused;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int k = round % 9; k > 0; --k) {
            state = state * 1103515245u + 12345u;
            text += pieces[(state >> 16) % std::size(pieces)];
        }
        for (int cp : {1250, 1251, 1252, 1254, 1257}) {
            const std::string expected = CodePage::fromUnicode(CodePage::utf8ToUtf16(text), cp);
            ASSERT_EQ(CodePage::fromUtf8(text, cp), expected) << cp << " " << text;
            CodePage::fromUtf8(text, cp, reused);
            ASSERT_EQ(reused, expected) << cp << " " << text;
        }
    }
}

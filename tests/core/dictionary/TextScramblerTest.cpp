#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/dictionary/TextScrambler.h"

namespace {

std::vector<std::uint8_t> scrambled(const std::vector<std::uint8_t>& plain) {
    std::vector<std::uint8_t> out(plain.size());
    trelvo::scrambleText(plain.data(), out.data(), plain.size());
    return out;
}

std::vector<std::uint8_t> unscrambled(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out(data.size());
    trelvo::unscrambleText(data.data(), out.data(), data.size());
    return out;
}

}  // namespace

TEST(TextScrambler, EveryByteValueRoundTripsAtEveryPositionOfTheKey) {
    // Position i mod 20 selects key byte and operation, and the state depends on
    // the bytes before, so vary the prefix too.
    for (int position = 0; position < 40; ++position) {
        for (int value = 1; value < 256; ++value) {
            std::vector<std::uint8_t> plain(static_cast<std::size_t>(position) + 3);
            for (std::size_t i = 0; i < plain.size(); ++i)
                plain[i] = static_cast<std::uint8_t>(1 + (i * 37 + static_cast<std::size_t>(value)) % 255);
            plain[static_cast<std::size_t>(position)] = static_cast<std::uint8_t>(value);
            ASSERT_EQ(unscrambled(scrambled(plain)), plain) << "position " << position << " value " << value;
        }
    }
}

TEST(TextScrambler, SameTextGivesSameBytesWhateverCameBefore) {
    std::vector<std::uint8_t> text{'n', 0xE1, 'v', 0xEC, 's', 't'};
    std::vector<std::uint8_t> first = scrambled(text);
    std::vector<std::uint8_t> other(50, 0x5A);
    scrambled(other);
    EXPECT_EQ(scrambled(text), first);
    EXPECT_NE(first, text) << "a text must not be stored as it is";
}

TEST(TextScrambler, ScramblingIsNotByteWiseSubstitution) {
    // Twenty equal bytes: different positions use different key bytes and modes,
    // so the output bytes differ from one another.
    std::vector<std::uint8_t> out = scrambled(std::vector<std::uint8_t>(20, 'a'));
    std::sort(out.begin(), out.end());
    EXPECT_GT(std::unique(out.begin(), out.end()) - out.begin(), 10);
}

TEST(TextScrambler, WorksInPlace) {
    std::vector<std::uint8_t> text{'b', 'a', 'l', 0xED, 'z', 'a'};
    std::vector<std::uint8_t> buffer = text;
    trelvo::scrambleText(buffer.data(), buffer.data(), buffer.size());
    EXPECT_EQ(buffer, scrambled(text));
    trelvo::unscrambleText(buffer.data(), buffer.data(), buffer.size());
    EXPECT_EQ(buffer, text);
}

// Terms and translations go through the two-text calls: every pair of
// lengths around the period must give each text's own bytes, in place too.
TEST(TextScrambler, TwoTextsAtOnceGiveTheBytesOfOneAtATime) {
    for (std::size_t lengthA = 0; lengthA <= 62; ++lengthA) {
        for (std::size_t lengthB = 0; lengthB <= 62; lengthB += lengthA % 3 + 1) {
            std::vector<std::uint8_t> a(lengthA), b(lengthB);
            for (std::size_t i = 0; i < lengthA; ++i) a[i] = static_cast<std::uint8_t>(1 + (i * 53 + lengthB) % 255);
            for (std::size_t i = 0; i < lengthB; ++i) b[i] = static_cast<std::uint8_t>(1 + (i * 29 + lengthA) % 255);
            std::vector<std::uint8_t> outA(lengthA), outB(lengthB);
            trelvo::scrambleTwoTexts(a.data(), outA.data(), lengthA, b.data(), outB.data(), lengthB);
            ASSERT_EQ(outA, scrambled(a)) << lengthA << " and " << lengthB;
            ASSERT_EQ(outB, scrambled(b)) << lengthA << " and " << lengthB;
            trelvo::unscrambleTwoTexts(outA.data(), outA.data(), lengthA, outB.data(), outB.data(), lengthB);
            ASSERT_EQ(outA, a);
            ASSERT_EQ(outB, b);
        }
    }
}

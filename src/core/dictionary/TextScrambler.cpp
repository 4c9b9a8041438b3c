#include "TextScrambler.h"

#include <array>

namespace trelvo {

namespace {

// Fixed for ever: files written with other constants cannot be read.
constexpr std::array<std::uint8_t, 20> K{0x5B, 0xC3, 0x17, 0x8E, 0x2A, 0xF1, 0x64, 0x09, 0xB7, 0x3D,
                                         0x92, 0x4F, 0xE8, 0x71, 0x06, 0xAC, 0x38, 0xD5, 0x6B, 0x1E};
// Even positions use the value, odd ones twice the value, so this table mixes
// all five operations: 1..6 and the rotations of 0, 7 and above.
constexpr std::array<std::uint8_t, 10> M{1, 2, 3, 4, 5, 6, 0, 9, 3, 7};
constexpr std::uint8_t B = 0xA7;

constexpr std::uint8_t startState() {
    unsigned s = B;
    for (auto k : K) s += k;
    for (auto m : M) s += m;
    return static_cast<std::uint8_t>(s);
}

constexpr std::uint8_t rotl(std::uint8_t x, unsigned n) {
    n &= 7;
    return n == 0 ? x : static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr std::uint8_t rotr(std::uint8_t x, unsigned n) {
    n &= 7;
    return n == 0 ? x : static_cast<std::uint8_t>((x >> n) | (x << (8 - n)));
}

// The operation of each key position: M[j div 2], doubled at odd positions.
constexpr std::array<unsigned, 20> modes = [] {
    std::array<unsigned, 20> v{};
    for (std::size_t j = 0; j < 20; ++j) v[j] = j % 2 == 1 ? M[j / 2] << 1 : M[j / 2];
    return v;
}();

constexpr std::uint8_t b8(unsigned x) { return static_cast<std::uint8_t>(x); }

}  // namespace

void scrambleText(const std::uint8_t* plain, std::uint8_t* scrambled, std::size_t length) {
    std::uint8_t s = startState();
    for (std::size_t i = 0, j = 0; i < length; ++i, j = j == 19 ? 0 : j + 1) {
        const std::uint8_t k = K[j];
        const std::uint8_t p = plain[i];
        std::uint8_t c;
        switch (modes[j]) {
            case 1: case 5: c = b8(k + s + p); break;
            case 2: c = b8(b8(~k) + b8(~s) + b8(~p)); break;
            case 3: case 6: c = b8(rotr(s, k % 8) + rotr(p, (k / 16) % 8) + k); break;
            case 4: c = b8(k - s - p); break;
            default: c = b8(rotl(s, k % 8) + rotl(p, (k / 16) % 8) + k); break;
        }
        scrambled[i] = c;
        s = b8(p + c + j);
    }
}

void unscrambleText(const std::uint8_t* scrambled, std::uint8_t* plain, std::size_t length) {
    std::uint8_t s = startState();
    for (std::size_t i = 0, j = 0; i < length; ++i, j = j == 19 ? 0 : j + 1) {
        const std::uint8_t k = K[j];
        const std::uint8_t c = scrambled[i];
        std::uint8_t p;
        switch (modes[j]) {
            case 1: case 5: p = b8(c - s - k); break;
            case 2: p = b8(b8(~k) + b8(~s) + b8(~c)); break;
            case 3: case 6: p = rotl(b8(c - rotr(s, k % 8) - k), (k / 16) % 8); break;
            case 4: p = b8(k - s - c); break;
            default: p = rotr(b8(c - rotl(s, k % 8) - k), (k / 16) % 8); break;
        }
        plain[i] = p;
        s = b8(p + c + j);
    }
}

}  // namespace trelvo

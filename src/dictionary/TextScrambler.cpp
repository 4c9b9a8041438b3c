#include "TextScrambler.h"

#include <array>
#include <utility>

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

// One position of the cycle, with its key byte and operation known at compile
// time, so that a full cycle of 20 positions runs as straight-line code.
template <std::size_t j>
inline std::uint8_t scrambleByte(std::uint8_t p, std::uint8_t& s) {
    constexpr std::uint8_t k = K[j];
    constexpr unsigned mode = modes[j];
    std::uint8_t c;
    if constexpr (mode == 1 || mode == 5) c = b8(k + s + p);
    else if constexpr (mode == 2) c = b8(b8(~k) + b8(~s) + b8(~p));
    else if constexpr (mode == 3 || mode == 6) c = b8(rotr(s, k % 8) + rotr(p, (k / 16) % 8) + k);
    else if constexpr (mode == 4) c = b8(k - s - p);
    else c = b8(rotl(s, k % 8) + rotl(p, (k / 16) % 8) + k);
    s = b8(p + c + j);
    return c;
}

template <std::size_t j>
inline std::uint8_t unscrambleByte(std::uint8_t c, std::uint8_t& s) {
    constexpr std::uint8_t k = K[j];
    constexpr unsigned mode = modes[j];
    std::uint8_t p;
    if constexpr (mode == 1 || mode == 5) p = b8(c - s - k);
    else if constexpr (mode == 2) p = b8(b8(~k) + b8(~s) + b8(~c));
    else if constexpr (mode == 3 || mode == 6) p = rotl(b8(c - rotr(s, k % 8) - k), (k / 16) % 8);
    else if constexpr (mode == 4) p = b8(k - s - c);
    else p = rotr(b8(c - rotl(s, k % 8) - k), (k / 16) % 8);
    s = b8(p + c + j);
    return p;
}

template <bool scramble, std::size_t j>
inline void step(const std::uint8_t* in, std::uint8_t* out, std::uint8_t& s) {
    out[j] = scramble ? scrambleByte<j>(in[j], s) : unscrambleByte<j>(in[j], s);
}

template <bool scramble, std::size_t... J>
inline void fullCycle(const std::uint8_t* in, std::uint8_t* out, std::uint8_t& s, std::index_sequence<J...>) {
    (step<scramble, J>(in, out, s), ...);
}

// The last, incomplete cycle: positions 0..count-1.
template <bool scramble, std::size_t... J>
inline void partCycle(const std::uint8_t* in, std::uint8_t* out, std::size_t count, std::uint8_t& s,
                      std::index_sequence<J...>) {
    ((J < count ? (step<scramble, J>(in, out, s), true) : false) && ...);
}

template <bool scramble>
void transform(const std::uint8_t* in, std::uint8_t* out, std::size_t length) {
    std::uint8_t s = startState();
    std::size_t done = 0;
    for (; length - done >= 20; done += 20)
        fullCycle<scramble>(in + done, out + done, s, std::make_index_sequence<20>{});
    partCycle<scramble>(in + done, out + done, length - done, s, std::make_index_sequence<20>{});
}

}  // namespace

void scrambleText(const std::uint8_t* plain, std::uint8_t* scrambled, std::size_t length) {
    transform<true>(plain, scrambled, length);
}

void unscrambleText(const std::uint8_t* scrambled, std::uint8_t* plain, std::size_t length) {
    transform<false>(scrambled, plain, length);
}

}  // namespace trelvo

#include "TextScrambler.h"

#include <algorithm>
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

constexpr std::size_t period = K.size();

// One byte at key position j, with the operation of j chosen when compiled:
// a text is a chain of such steps, each waiting for the state of the one
// before, and a branch per byte would cost more than the step itself.
template <std::size_t j>
[[gnu::always_inline]] inline std::uint8_t scrambleStep(std::uint8_t p, std::uint8_t& s) {
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
[[gnu::always_inline]] inline std::uint8_t unscrambleStep(std::uint8_t c, std::uint8_t& s) {
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
[[gnu::always_inline]] inline std::uint8_t step(std::uint8_t in, std::uint8_t& s) {
    return scramble ? scrambleStep<j>(in, s) : unscrambleStep<j>(in, s);
}

// The first count (at most one period) bytes of in to out, step j for byte j.
// in and out may be the same place.
template <bool scramble, std::size_t... j>
[[gnu::always_inline]] inline void onePeriod(const std::uint8_t* in, std::uint8_t* out, std::size_t count,
                                           std::uint8_t& s, std::index_sequence<j...>) {
    (void)((j < count && (out[j] = step<scramble, j>(in[j], s), true)) && ...);
}

// A whole period of two texts, step for step: the two chains of states do
// not wait for each other, so the processor runs them side by side.
template <bool scramble, std::size_t... j>
[[gnu::always_inline]] inline void twoPeriods(const std::uint8_t* inA, std::uint8_t* outA, std::uint8_t& sA,
                                            const std::uint8_t* inB, std::uint8_t* outB, std::uint8_t& sB,
                                            std::index_sequence<j...>) {
    ((outA[j] = step<scramble, j>(inA[j], sA), outB[j] = step<scramble, j>(inB[j], sB)), ...);
}

// The same for the last, partial periods: countA and countB bytes, each at most one period.
template <bool scramble, std::size_t... j>
[[gnu::always_inline]] inline void twoPartialPeriods(const std::uint8_t* inA, std::uint8_t* outA,
                                                   std::size_t countA, std::uint8_t& sA,
                                                   const std::uint8_t* inB, std::uint8_t* outB,
                                                   std::size_t countB, std::uint8_t& sB,
                                                   std::index_sequence<j...>) {
    ((j < countA ? void(outA[j] = step<scramble, j>(inA[j], sA)) : void(),
      j < countB ? void(outB[j] = step<scramble, j>(inB[j], sB)) : void()),
     ...);
}

template <bool scramble>
void run(const std::uint8_t* in, std::uint8_t* out, std::size_t length, std::size_t done, std::uint8_t s) {
    for (; done < length; done += period)
        onePeriod<scramble>(in + done, out + done, std::min(length - done, period), s,
                            std::make_index_sequence<period>{});
}

template <bool scramble>
void runTwo(const std::uint8_t* inA, std::uint8_t* outA, std::size_t lengthA, const std::uint8_t* inB,
            std::uint8_t* outB, std::size_t lengthB) {
    std::uint8_t sA = startState(), sB = startState();
    std::size_t done = 0;
    for (; done + period <= lengthA && done + period <= lengthB; done += period)
        twoPeriods<scramble>(inA + done, outA + done, sA, inB + done, outB + done, sB,
                             std::make_index_sequence<period>{});
    if (done < lengthA && done < lengthB) {
        const std::size_t countA = std::min(lengthA - done, period), countB = std::min(lengthB - done, period);
        twoPartialPeriods<scramble>(inA + done, outA + done, countA, sA, inB + done, outB + done, countB, sB,
                                    std::make_index_sequence<period>{});
        done += period;
    }
    run<scramble>(inA, outA, lengthA, done, sA);
    run<scramble>(inB, outB, lengthB, done, sB);
}

}  // namespace

void scrambleText(const std::uint8_t* plain, std::uint8_t* scrambled, std::size_t length) {
    run<true>(plain, scrambled, length, 0, startState());
}

void unscrambleText(const std::uint8_t* scrambled, std::uint8_t* plain, std::size_t length) {
    run<false>(scrambled, plain, length, 0, startState());
}

void scrambleTwoTexts(const std::uint8_t* plainA, std::uint8_t* scrambledA, std::size_t lengthA,
                      const std::uint8_t* plainB, std::uint8_t* scrambledB, std::size_t lengthB) {
    runTwo<true>(plainA, scrambledA, lengthA, plainB, scrambledB, lengthB);
}

void unscrambleTwoTexts(const std::uint8_t* scrambledA, std::uint8_t* plainA, std::size_t lengthA,
                        const std::uint8_t* scrambledB, std::uint8_t* plainB, std::size_t lengthB) {
    runTwo<false>(scrambledA, plainA, lengthA, scrambledB, plainB, lengthB);
}

}  // namespace trelvo

#include "FirstWordFilter.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <utility>

namespace trelvo {

namespace {

// Two bit positions of a word under mask, from one hash.
std::pair<std::uint64_t, std::uint64_t> positionsOf(std::string_view word, std::uint64_t mask) {
    const std::uint64_t hash = std::hash<std::string_view>{}(word);
    return {hash & mask, (hash * 0x9E3779B97F4A7C15u >> 20) & mask};
}

}  // namespace

void FirstWordFilter::reset(std::size_t words) {
    const std::size_t bits = std::bit_ceil(std::max<std::size_t>(words, 64) * bitsPerWord);
    bits_.assign(bits / 64, 0);
}

void FirstWordFilter::add(std::string_view word) {
    if (bits_.empty()) reset(0);
    const auto [a, b] = positionsOf(word, bits_.size() * 64 - 1);
    bits_[a / 64] |= std::uint64_t{1} << (a % 64);
    bits_[b / 64] |= std::uint64_t{1} << (b % 64);
}

bool FirstWordFilter::mayHold(std::string_view word) const {
    if (bits_.empty()) return false;
    const auto [a, b] = positionsOf(word, bits_.size() * 64 - 1);
    return (bits_[a / 64] >> (a % 64) & 1) && (bits_[b / 64] >> (b % 64) & 1);
}

}  // namespace trelvo

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace trelvo {

// The first words that keys of an index begin with, as a small Bloom filter:
// a search can then tell at once, most of the time, that no key of the other
// language begins with a typed word, without a search in that language's
// index, which a large dictionary mostly has to fetch from memory. A word
// added is always held; one never added is held by mistake rarely.
class FirstWordFilter {
public:
    // Empty, with room for about words distinct words; more may be added,
    // at the cost of more mistakes.
    void reset(std::size_t words);
    void add(std::string_view word);
    bool mayHold(std::string_view word) const;

private:
    static constexpr std::size_t bitsPerWord = 16;
    std::vector<std::uint64_t> bits_;
};

}  // namespace trelvo

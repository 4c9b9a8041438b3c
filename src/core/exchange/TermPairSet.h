#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/dictionary/EntryList.h"

namespace trelvo {

// The term and translation pairs of a list's entries, for the test whether an
// incoming pair is there already, byte for byte. A flat table of 8-byte slots
// (32 bits of the pair's hash, the entry's number) instead of a node per
// entry: a million entries take one allocation, a test mostly reads one cache
// line, and texts are compared only where the hash bits agree.
class TermPairSet {
public:
    // The pairs of every entry the list holds now; the list must outlive the set.
    explicit TermPairSet(const EntryList& entries);

    static std::uint64_t hashOf(std::string_view term, std::string_view translation);

    bool contains(std::string_view term, std::string_view translation) const {
        return contains(hashOf(term, translation), term, translation);
    }
    // The same with the hash made beforehand (hashOf).
    bool contains(std::uint64_t hash, std::string_view term, std::string_view translation) const;

private:
    struct Slot {
        std::uint32_t tag;     // the upper half of the hash
        std::uint32_t number;  // the entry's number + 1; 0: empty
    };

    std::size_t home(std::uint64_t hash) const { return static_cast<std::size_t>(hash) & mask_; }
    // The slot holding the pair, or the empty one where it would go. Each
    // pair is held once: a million equal entries in slots one behind the
    // other would make every search that lands among them walk them all.
    std::size_t place(std::uint64_t hash, std::string_view term, std::string_view translation) const;

    const EntryList& entries_;
    LargeVector<Slot> slots_;
    std::size_t mask_ = 0;
};

}  // namespace trelvo

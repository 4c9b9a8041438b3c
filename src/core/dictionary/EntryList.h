#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DictionaryEntry.h"
#include "LargeAllocator.h"

namespace trelvo {

// The entries of a dictionary in file order. Their texts live in one block of
// storage addressed by offsets: a dictionary read from a file keeps the file's
// bytes, unscrambled in place, so a million entries cost no allocation each.
// A text that is set anew is appended; the old bytes are dropped with the list.
class EntryList {
public:
    std::size_t size() const { return slots_.size(); }
    bool empty() const { return slots_.empty(); }

    std::string_view text(std::size_t n, int k) const {
        const Slot& s = slots_[n];
        return {storage_.data() + s.offset[k], s.length[k]};
    }
    std::string_view term(std::size_t n) const { return text(n, 0); }
    std::string_view translation(std::size_t n) const { return text(n, 1); }
    std::string_view note(std::size_t n) const { return text(n, 2); }
    std::uint32_t flags(std::size_t n) const { return slots_[n].flags; }
    DictionaryEntry entry(std::size_t n) const;
    // Has entry n's place in the list fetched into the cache ahead of use, for
    // passes that visit the entries in another order than theirs.
    void prefetch(std::size_t n) const { __builtin_prefetch(&slots_[n]); }
    // Asks for the places of the entries numbered [first, last), then for
    // their texts: for a reader of entries scattered over the storage, a
    // batch of about prefetchBatch ahead of reading them. A pass that does
    // nothing else has many waits for memory under way at once; one spread
    // over other work has few. Always inlined: GCC takes a function that
    // only asks for memory for one without effect, and drops calls to it.
    static constexpr std::size_t prefetchBatch = 64;
    [[gnu::always_inline]] void prefetch(const std::uint32_t* first, const std::uint32_t* last) const {
        for (const std::uint32_t* n = first; n != last; ++n) prefetch(*n);
        for (const std::uint32_t* n = first; n != last; ++n) {
            // Read from a file, an entry's three texts lie one behind the other.
            const Slot& s = slots_[*n];
            __builtin_prefetch(storage_.data() + s.offset[0]);
            __builtin_prefetch(storage_.data() + s.offset[2] + s.length[2]);
        }
    }

    // Texts are cut at a NUL, as in memory they end there, and at the longest
    // text a dictionary file holds.
    void append(std::string_view term, std::string_view translation, std::string_view note,
                std::uint32_t flags);
    void append(const DictionaryEntry& entry);
    // Puts entry in at n; entries from n on move one place up.
    void insert(std::size_t n, const DictionaryEntry& entry);
    void setText(std::size_t n, int k, std::string_view text);
    void setFlags(std::size_t n, std::uint32_t flags) { slots_[n].flags = flags; }
    // Entries behind n move one place down.
    void remove(std::size_t n);
    // Drops the entries from count on, as if the last ones had never been
    // appended; texts appended since the list held count entries go too.
    void truncate(std::size_t count);
    // Keeps only the entries at numbers, in that order; their texts stay where they are.
    void keepOnly(const std::vector<std::uint32_t>& numbers);
    // Puts copies of other's entries in front of this list's own.
    void prepend(const EntryList& other);
    void clear();
    // Room for count entries in all and for textBytes more bytes of text, so
    // that appending them moves the list's storage at most once.
    void reserve(std::size_t count, std::size_t textBytes = 0);

    bool operator==(const EntryList& other) const;

private:
    // The reader builds the list over the file's own bytes.
    friend bool parseDictionary(LargeString bytes, struct DictionaryHeader& header, EntryList& entries,
                                const struct DictionaryLimits& limits);

    struct Slot {
        std::uint32_t offset[3];
        std::uint16_t length[3];
        std::uint32_t flags;
    };

    std::uint32_t store(std::string_view text, std::uint16_t& length);

    LargeVector<Slot> slots_;
    LargeString storage_;
};

}  // namespace trelvo

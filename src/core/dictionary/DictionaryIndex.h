#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CharacterTables.h"
#include "EntryList.h"
#include "FirstWordFilter.h"
#include "IndexRecord.h"
#include "LargeAllocator.h"

namespace trelvo {

// The entries of one language in alphabetical order: records sorted by
// collation key (unsigned bytes), equal keys in the order they were inserted.
// Keys live in one block of storage, so that a million records stay compact.
class DictionaryIndex {
public:
    // The index built from scratch: equal keys in entry-number order, as
    // inserting every entry in turn would give, in one sort.
    static DictionaryIndex build(const EntryList& entries, int side, const CharacterTables& tables,
                                 int table);
    // The entry numbers alone in the order build() gives them, for a reader
    // that goes through the entries once in that order and searches nothing.
    static LargeVector<std::uint32_t> entryOrder(const EntryList& entries, int side, const CharacterTables& tables,
                                                 int table);

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    IndexRecord record(std::size_t position) const { return {key(position), entryNumber(position)}; }
    std::string_view key(std::size_t position) const {
        const Record& r = records_[position];
        return {keys_.data() + r.keyOffset, r.keyLength};
    }
    std::uint32_t entryNumber(std::size_t position) const { return entryNumbers_[position]; }
    // Asks for the cache line of entryNumber(position), for a reader of
    // scattered positions that knows them ahead.
    void prefetchEntryNumber(std::size_t position) const { __builtin_prefetch(entryNumbers_.data() + position); }

    // Inserts behind every record with an equal key; returns the position.
    std::size_t insert(std::string_view key, std::uint32_t entryNumber);
    // Inserts among the records with an equal key by entry number, where
    // build() would place it; returns the position. Taking an entry back in
    // at its old number then leaves the index as it was before it went.
    std::size_t insertInEntryOrder(std::string_view key, std::uint32_t entryNumber);
    // The same as insert() for each record in turn, but one sort of the new
    // records and one merge pass instead of a shift per record. The keys must
    // not be views into this index.
    void insertAll(const std::vector<IndexRecord>& added);
    void remove(std::size_t position);
    // Removes the records of entries numbered from entryNumber on, in one
    // pass that keeps the order of the others.
    void removeFrom(std::uint32_t entryNumber);
    // The position of entry n's record by a scan from the start; size() if none.
    std::size_t find(std::uint32_t entryNumber) const;
    // After entry n was removed from the list: numbers above n fall by one.
    void renumberAfterRemoval(std::uint32_t entryNumber);
    // Before an entry is inserted at n: numbers from n on rise by one.
    void renumberBeforeInsertion(std::uint32_t entryNumber);
    // The first position whose key is not less than key.
    std::size_t lowerBound(std::string_view key) const;
    // The same search taken a step at a time, for a caller with many keys to
    // look up: each step asks for the memory the next one reads, so that the
    // waits of several searches overlap. After allSteps steps, taken as the
    // memory of each may have come, lowerBound(key, lookup) ends it.
    struct Lookup {
        static constexpr int allSteps = 5;
        int steps = 0;
        std::uint64_t prefix = 0, next = 0, tail = 0;  // key bytes 0..7, 8..15, 16..23
        std::size_t lo = 0, hi = 0;  // where it ends: among samples, then records, at last lo == hi
    };
    void step(std::string_view key, Lookup& lookup) const;
    std::size_t lowerBound(std::string_view key, const Lookup& lookup) const;
    void clear();
    // False only when no key's first word (see firstWord) is word. A word
    // that is no key's first word may still give true, rarely after a build,
    // more often after many records were inserted one by one.
    bool mayHaveFirstWord(std::string_view word) const { return firstWords_.mayHold(word); }

    // The first eight key bytes as one big-endian number. Each record holds
    // them and the eight after them beside the place of its key, so that a
    // search step mostly decides on the one record it reads.
    static std::uint64_t prefixOf(std::string_view key) { return wordOf(key, 0); }
    // Key bytes [from, from + 8) as one big-endian number, zeros past the end.
    static std::uint64_t wordOf(std::string_view key, std::size_t from) {
        std::uint64_t word = 0;
        if (from + 8 <= key.size()) {
            std::memcpy(&word, key.data() + from, 8);
            return __builtin_bswap64(word);
        }
        for (std::size_t i = from; i < from + 8; ++i)
            word = word << 8 | (i < key.size() ? static_cast<std::uint8_t>(key[i]) : 0);
        return word;
    }

    // The key at position compared with key (whose prefix is given): <0, 0, >0.
    int compare(std::size_t position, std::string_view key, std::uint64_t keyPrefix) const {
        const Record& r = records_[position];
        if (r.prefix != keyPrefix) return r.prefix < keyPrefix ? -1 : 1;
        // Keys hold no zero byte, so equal words mean equal keys when both end in them.
        if (r.keyLength <= 8 && key.size() <= 8) return 0;
        return compareFrom8(position, key, wordOf(key, 8));
    }

private:
    // compare() once the prefixes are equal; keyNext is key bytes 8..15.
    int compareFrom8(std::size_t position, std::string_view key, std::uint64_t keyNext) const {
        const Record& r = records_[position];
        if (r.next != keyNext) return r.next < keyNext ? -1 : 1;
        if (r.keyLength <= 16 && key.size() <= 16) return 0;
        return this->key(position).substr(16).compare(key.substr(16));
    }

    // What a search step reads: 24 bytes.
    struct Record {
        std::uint64_t prefix;  // key bytes 0..7
        std::uint64_t next;    // key bytes 8..15
        std::uint32_t keyOffset;
        std::uint16_t keyLength;

        static Record of(std::string_view key, std::uint32_t keyOffset) {
            return {wordOf(key, 0), wordOf(key, 8), keyOffset, static_cast<std::uint16_t>(key.size())};
        }
    };

    // Key bytes 0..15 of every sampleStep-th record, of every sampleStep-th
    // of those, and so on once more, in arrays of their own: a search takes
    // its first step in the smallest, which stays in the nearest cache, and
    // each step asks for the few samples of the next level it will read; it
    // ends among a few neighbouring records, instead of missing the cache at
    // nearly every step. Bytes 16..23 stand apart: they decide only where
    // many keys share their first 16 bytes, as the terms of one field with a
    // long first word do.
    using Sample = unsigned __int128;  // bytes 0..7 in the upper half, 8..15 in the lower
    static constexpr std::size_t sampleStep = 16;
    struct Samples {
        std::vector<Sample> heads;
        std::vector<std::uint64_t> tails;
    };

    std::uint32_t storeKey(std::string_view key);
    std::size_t insertAt(std::size_t position, const std::string& key, std::uint32_t entryNumber);
    // The filter of first words made again from every key.
    void refilter();
    // The samples again, after the records from position from on changed:
    // an entry added at the end costs no pass over the whole index.
    void resample(std::size_t from);

    LargeVector<Record> records_;
    // Position for position with records_, in an array of their own, so that
    // a scan for an entry number reads no more than it needs.
    LargeVector<std::uint32_t> entryNumbers_;
    LargeString keys_;
    Samples samples_;
    Samples topSamples_;
    Samples rootSamples_;
    FirstWordFilter firstWords_;
};

}  // namespace trelvo

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CharacterTables.h"
#include "EntryList.h"
#include "IndexRecord.h"

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

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    IndexRecord record(std::size_t position) const { return {key(position), entryNumber(position)}; }
    std::string_view key(std::size_t position) const {
        const Record& r = records_[position];
        return {keys_.data() + r.keyOffset, r.keyLength};
    }
    std::uint32_t entryNumber(std::size_t position) const { return records_[position].entryNumber; }

    // Inserts behind every record with an equal key; returns the position.
    std::size_t insert(std::string_view key, std::uint32_t entryNumber);
    // The same as insert() for each record in turn, but one sort of the new
    // records and one merge pass instead of a shift per record. The keys must
    // not be views into this index.
    void insertAll(const std::vector<IndexRecord>& added);
    void remove(std::size_t position);
    // The position of entry n's record by a scan from the start; size() if none.
    std::size_t find(std::uint32_t entryNumber) const;
    // After entry n was removed from the list: numbers above n fall by one.
    void renumberAfterRemoval(std::uint32_t entryNumber);
    // The first position whose key is not less than key.
    std::size_t lowerBound(std::string_view key) const;
    void clear();

    // The first eight key bytes as one big-endian number. They are kept for
    // every record in an array of their own, dense enough to stay in the
    // processor's cache, so that a search mostly decides without a key.
    static std::uint64_t prefixOf(std::string_view key);
    // The key at position compared with key (whose prefix is given): <0, 0, >0.
    int compare(std::size_t position, std::string_view key, std::uint64_t keyPrefix) const {
        const std::uint64_t prefix = prefixes_[position];
        if (prefix != keyPrefix) return prefix < keyPrefix ? -1 : 1;
        if (records_[position].keyLength <= 8 && key.size() <= 8) return 0;  // keys hold no zero byte
        return this->key(position).compare(key);
    }

private:
    struct Record {
        std::uint32_t keyOffset;
        std::uint16_t keyLength;
        std::uint32_t entryNumber;
    };

    std::uint32_t storeKey(std::string_view key);

    std::vector<Record> records_;
    std::vector<std::uint64_t> prefixes_;  // position for position with records_
    std::string keys_;
};

}  // namespace trelvo

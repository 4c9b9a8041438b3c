#include "DictionaryIndex.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace trelvo {

namespace {

struct SortItem {
    std::uint64_t prefix;
    std::uint32_t keyOffset;
    std::uint16_t keyLength;
    std::uint32_t entryNumber;
};

}  // namespace

std::uint64_t DictionaryIndex::prefixOf(std::string_view key) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < key.size() ? static_cast<std::uint8_t>(key[i]) : 0);
    return prefix;
}

DictionaryIndex DictionaryIndex::build(const EntryList& entries, int side, const CharacterTables& tables,
                                       int table) {
    DictionaryIndex index;
    std::size_t total = 0;
    for (std::size_t n = 0; n < entries.size(); ++n) total += entries.text(n, side).size();
    index.keys_.reserve(total);

    std::vector<SortItem> items(entries.size());
    std::string key;
    for (std::size_t n = 0; n < entries.size(); ++n) {
        tables.makeCollationKey(entries.text(n, side), table, key);
        std::uint32_t offset = index.storeKey(key);
        items[n] = {prefixOf(key), offset, static_cast<std::uint16_t>(key.size()),
                    static_cast<std::uint32_t>(n)};
    }
    // Keys hold no zero byte, so equal prefixes mean either equal short keys or
    // two keys of more than eight bytes that the rest decides.
    const char* keys = index.keys_.data();
    std::sort(items.begin(), items.end(), [keys](const SortItem& a, const SortItem& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        if (a.keyLength > 8 || b.keyLength > 8) {
            std::string_view ka(keys + a.keyOffset, a.keyLength), kb(keys + b.keyOffset, b.keyLength);
            if (int c = ka.compare(kb); c != 0) return c < 0;
        }
        return a.entryNumber < b.entryNumber;
    });
    index.records_.resize(items.size());
    index.prefixes_.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        index.records_[i] = {items[i].keyOffset, items[i].keyLength, items[i].entryNumber};
        index.prefixes_[i] = items[i].prefix;
    }
    return index;
}

std::uint32_t DictionaryIndex::storeKey(std::string_view key) {
    if (keys_.size() + key.size() > UINT32_MAX) throw std::length_error("index too large");
    auto offset = static_cast<std::uint32_t>(keys_.size());
    keys_.append(key);
    return offset;
}

std::size_t DictionaryIndex::insert(std::string_view key, std::uint32_t entryNumber) {
    std::string copy(key);  // the key may be a view into this index's storage
    const std::uint64_t prefix = prefixOf(copy);
    std::size_t lo = 0, hi = records_.size();
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (compare(mid, copy, prefix) > 0) hi = mid;
        else lo = mid + 1;
    }
    std::uint32_t offset = storeKey(copy);
    records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(lo),
                    Record{offset, static_cast<std::uint16_t>(copy.size()), entryNumber});
    prefixes_.insert(prefixes_.begin() + static_cast<std::ptrdiff_t>(lo), prefix);
    return lo;
}

void DictionaryIndex::insertAll(const std::vector<IndexRecord>& added) {
    if (added.empty()) return;
    std::vector<SortItem> items(added.size());
    for (std::size_t i = 0; i < added.size(); ++i) {
        const IndexRecord& r = added[i];
        items[i] = {prefixOf(r.key), storeKey(r.key), static_cast<std::uint16_t>(r.key.size()), r.entryNumber};
    }
    // Stable, so that equal new keys keep the order they were given in.
    const char* keys = keys_.data();
    auto keyOf = [keys](const SortItem& item) { return std::string_view(keys + item.keyOffset, item.keyLength); };
    std::stable_sort(items.begin(), items.end(), [&keyOf](const SortItem& a, const SortItem& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        if (a.keyLength <= 8 && b.keyLength <= 8) return false;
        return keyOf(a) < keyOf(b);
    });

    std::vector<Record> records;
    std::vector<std::uint64_t> prefixes;
    records.reserve(records_.size() + items.size());
    prefixes.reserve(records_.size() + items.size());
    std::size_t old = 0;
    for (const SortItem& item : items) {
        // Records already there go first among equal keys.
        const std::string_view key = keyOf(item);
        while (old < records_.size() && compare(old, key, item.prefix) <= 0) {
            records.push_back(records_[old]);
            prefixes.push_back(prefixes_[old]);
            ++old;
        }
        records.push_back({item.keyOffset, item.keyLength, item.entryNumber});
        prefixes.push_back(item.prefix);
    }
    records.insert(records.end(), records_.begin() + static_cast<std::ptrdiff_t>(old), records_.end());
    prefixes.insert(prefixes.end(), prefixes_.begin() + static_cast<std::ptrdiff_t>(old), prefixes_.end());
    records_ = std::move(records);
    prefixes_ = std::move(prefixes);
}

void DictionaryIndex::remove(std::size_t position) {
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(position));
    prefixes_.erase(prefixes_.begin() + static_cast<std::ptrdiff_t>(position));
}

std::size_t DictionaryIndex::find(std::uint32_t entryNumber) const {
    for (std::size_t i = 0; i < records_.size(); ++i)
        if (records_[i].entryNumber == entryNumber) return i;
    return records_.size();
}

void DictionaryIndex::renumberAfterRemoval(std::uint32_t entryNumber) {
    for (Record& r : records_)
        if (r.entryNumber > entryNumber) --r.entryNumber;
}

std::size_t DictionaryIndex::lowerBound(std::string_view key) const {
    const std::uint64_t prefix = prefixOf(key);
    std::size_t lo = 0, hi = records_.size();
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (compare(mid, key, prefix) < 0) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

void DictionaryIndex::clear() {
    records_.clear();
    records_.shrink_to_fit();
    prefixes_.clear();
    prefixes_.shrink_to_fit();
    keys_.clear();
    keys_.shrink_to_fit();
}

}  // namespace trelvo

#include "IndexBuilder.h"

#include <algorithm>
#include <cstring>

namespace trelvo {

namespace {

// The first eight key bytes as one big-endian number: most comparisons of a
// sort are decided by it without touching the keys themselves.
std::uint64_t prefixOf(const std::string& key) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < key.size() ? static_cast<std::uint8_t>(key[i]) : 0);
    return prefix;
}

struct SortItem {
    std::uint64_t prefix;
    std::uint32_t entryNumber;
};

}  // namespace

std::vector<IndexRecord> buildIndex(const std::vector<DictionaryEntry>& entries, int side,
                                    const CharacterTables& tables, int table) {
    std::vector<std::string> keys(entries.size());
    std::vector<SortItem> items(entries.size());
    for (std::size_t n = 0; n < entries.size(); ++n) {
        tables.makeCollationKey(entries[n].texts[static_cast<std::size_t>(side)], table, keys[n]);
        items[n] = {prefixOf(keys[n]), static_cast<std::uint32_t>(n)};
    }
    // Keys never hold a zero byte, so equal prefixes with a key shorter than
    // eight bytes mean equal keys; the entry number keeps equal keys in entry order.
    std::sort(items.begin(), items.end(), [&keys](const SortItem& a, const SortItem& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const std::string& ka = keys[a.entryNumber];
        const std::string& kb = keys[b.entryNumber];
        if (ka.size() > 8 || kb.size() > 8) {
            int c = ka.compare(kb);
            if (c != 0) return c < 0;
        }
        return a.entryNumber < b.entryNumber;
    });
    std::vector<IndexRecord> index(entries.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        index[i].key = std::move(keys[items[i].entryNumber]);
        index[i].entryNumber = items[i].entryNumber;
    }
    return index;
}

}  // namespace trelvo

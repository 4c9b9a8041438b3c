#include "DictionaryIndex.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "InHalves.h"
#include "TextWords.h"

namespace trelvo {

namespace {

// A record while the index is built or records are added: the sort decides eight key bytes at a
// time, held in the item itself, so that comparisons do not reach into the
// key storage, which a million keys make far larger than any cache. A
// million items are held in huge pages: fresh memory costs more in small
// pages than the sort's own work on it.
struct BuildItem {
    // Left as they are when a vector of them is made: every item is set
    // afterwards, by whichever thread first touches its memory.
    BuildItem() {}
    BuildItem(std::uint64_t w, std::uint32_t offset, std::uint16_t length, std::uint32_t n)
        : word(w), keyOffset(offset), keyLength(length), entryNumber(n) {}

    std::uint64_t word;  // the eight key bytes at the depth being sorted; the prefix when done
    std::uint32_t keyOffset;
    std::uint16_t keyLength;
    std::uint32_t entryNumber;
};

// Key bytes [8 * depth, 8 * depth + 8) as one big-endian number, zeros past the end.
std::uint64_t wordAt(const char* keys, const BuildItem& item, std::size_t depth) {
    return DictionaryIndex::wordOf(std::string_view(keys + item.keyOffset, item.keyLength), 8 * depth);
}

// How many of the word's eight bytes belong to the key: with equal words the
// shorter key comes first, as a byte-wise comparison would have it.
std::size_t bytesAt(const BuildItem& item, std::size_t depth) {
    const std::size_t from = 8 * depth;
    return item.keyLength <= from ? 0 : std::min<std::size_t>(item.keyLength - from, 8);
}

// From this many items on, they are sorted by radix: a comparison sort of
// many items that share their first bytes costs more than a few linear passes.
constexpr std::size_t radixFrom = 1024;

// Items in the order of their words, one pass for each byte from the lowest
// that not all of them share, through spare.
void sortByWords(BuildItem* first, BuildItem* last, std::vector<BuildItem>& spare) {
    const auto count = static_cast<std::size_t>(last - first);
    std::array<std::array<std::uint32_t, 256>, 8> counts{};
    for (const BuildItem* item = first; item != last; ++item)
        for (std::size_t byte = 0; byte < 8; ++byte) ++counts[byte][(item->word >> (8 * byte)) & 0xFF];
    spare.resize(count);
    BuildItem* from = first;
    BuildItem* to = spare.data();
    for (std::size_t byte = 0; byte < 8; ++byte) {
        std::array<std::uint32_t, 256>& places = counts[byte];
        const unsigned shift = static_cast<unsigned>(8 * byte);
        if (places[(first->word >> shift) & 0xFF] == count) continue;  // all share this byte
        std::uint32_t place = 0;
        for (std::uint32_t& c : places) place += std::exchange(c, place);
        for (const BuildItem* item = from; item != from + count; ++item) to[places[(item->word >> shift) & 0xFF]++] = *item;
        std::swap(from, to);
    }
    if (from != first) std::copy(from, from + count, first);
}

// Sorts items whose keys agree in their first 8 * depth bytes, their words
// at depth set: by key, equal keys by entry number. The words are as they
// were when it returns. spare is room the sort may use.
void sortFrom(BuildItem* first, BuildItem* last, const char* keys, std::size_t depth,
              std::vector<BuildItem>& spare) {
    auto before = [depth](const BuildItem& a, const BuildItem& b) {
        if (a.word != b.word) return a.word < b.word;
        return bytesAt(a, depth) < bytesAt(b, depth);
    };
    // Keys that share a long beginning agree in word after word: nothing to sort there.
    if (!std::is_sorted(first, last, before)) {
        // Keys hold no zero byte, so equal words have equally many key bytes:
        // the words alone give the order.
        if (static_cast<std::size_t>(last - first) >= radixFrom) sortByWords(first, last, spare);
        else std::sort(first, last, before);
    }
    for (BuildItem* run = first; run != last;) {
        BuildItem* end = run + 1;
        while (end != last && end->word == run->word && bytesAt(*end, depth) == bytesAt(*run, depth)) ++end;
        if (end - run > 1) {
            bool longer = false;
            for (BuildItem* item = run; item != end && !longer; ++item)
                longer = item->keyLength > 8 * (depth + 1);
            if (!longer) {
                // Equal keys keep the order of their entries.
                std::sort(run, end,
                          [](const BuildItem& a, const BuildItem& b) { return a.entryNumber < b.entryNumber; });
            } else {
                const std::uint64_t shared = run->word;
                constexpr std::ptrdiff_t ahead = 16;  // keys are scattered: fetch them before they are read
                for (BuildItem* item = run; item != end; ++item) {
                    if (end - item > ahead) __builtin_prefetch(keys + item[ahead].keyOffset + 8 * (depth + 1));
                    item->word = wordAt(keys, *item, depth + 1);
                }
                sortFrom(run, end, keys, depth + 1, spare);
                for (BuildItem* item = run; item != end; ++item) item->word = shared;
            }
        }
        run = end;
    }
}

// The keys of every entry's text on side, made into keys, and one item for
// each entry, sorted into index order.
LargeVector<BuildItem> sortedItems(const EntryList& entries, int side, const CharacterTables& tables, int table,
                                   LargeString& keys) {
    const std::size_t count = entries.size();
    // Each half places its keys from 0; the second half's places move up by
    // the first half's bytes when its keys are made.
    LargeVector<std::uint16_t> lengths(count);
    std::size_t halfBytes[2] = {0, 0};
    inHalves(count, [&](std::size_t from, std::size_t to) {
        std::size_t total = 0;
        for (std::size_t n = from; n < to; ++n) {
            lengths[n] = static_cast<std::uint16_t>(CharacterTables::keyLength(entries.text(n, side)));
            total += lengths[n];
            if (total > UINT32_MAX) throw std::length_error("index too large");
        }
        halfBytes[from == 0 ? 0 : 1] = total;
    });
    if (halfBytes[0] + halfBytes[1] > UINT32_MAX) throw std::length_error("index too large");
    keys.resize(halfBytes[0] + halfBytes[1]);
    char* const at = keys.data();
    // take(n, place of n's key) for each entry of [from, to) in turn.
    auto eachKey = [&](std::size_t from, std::size_t to, auto take) {
        auto offset = static_cast<std::uint32_t>(from == 0 ? 0 : halfBytes[0]);
        for (std::size_t n = from; n < to; ++n) {
            take(n, offset);
            offset += lengths[n];
        }
    };
    auto itemOf = [&](std::size_t n, std::uint32_t offset) {
        return BuildItem(DictionaryIndex::prefixOf(std::string_view(at + offset, lengths[n])), offset, lengths[n],
                         static_cast<std::uint32_t>(n));
    };
    LargeVector<BuildItem> items(count);
    if (count < sharedFrom) {
        eachKey(0, count, [&](std::size_t n, std::uint32_t offset) {
            tables.makeCollationKey(entries.text(n, side), table, at + offset);
            items[n] = itemOf(n, offset);
        });
        std::vector<BuildItem> spare;
        sortFrom(items.data(), items.data() + count, at, 0, spare);
        return items;
    }

    // Many items are dealt into buckets by their first two key bytes as they
    // are made, in entry order within a bucket, the first half's before the
    // second's; the buckets are then sorted each on its own, small enough
    // for the cache, half of them on each core. Each half counts its keys
    // per bucket as it makes them.
    constexpr std::size_t buckets = std::size_t{1} << 16;
    auto bucketOf = [at](std::uint32_t offset, std::uint16_t length) {
        const auto byte = [&](std::size_t i) { return i < length ? static_cast<std::uint8_t>(at[offset + i]) : 0u; };
        return static_cast<std::size_t>(byte(0) << 8 | byte(1));
    };
    std::vector<std::uint32_t> counts[2] = {std::vector<std::uint32_t>(buckets, 0),
                                            std::vector<std::uint32_t>(buckets, 0)};
    inHalves(count, [&](std::size_t from, std::size_t to) {
        std::vector<std::uint32_t>& c = counts[from == 0 ? 0 : 1];
        eachKey(from, to, [&](std::size_t n, std::uint32_t offset) {
            tables.makeCollationKey(entries.text(n, side), table, at + offset);
            ++c[bucketOf(offset, lengths[n])];
        });
    });
    std::vector<std::uint32_t> starts(buckets + 1, 0);
    for (std::size_t b = 0; b < buckets; ++b) {
        starts[b + 1] = starts[b] + counts[0][b] + counts[1][b];
        counts[1][b] = starts[b] + counts[0][b];  // where the second half's items of b go
        counts[0][b] = starts[b];
    }
    inHalves(count, [&](std::size_t from, std::size_t to) {
        std::vector<std::uint32_t>& next = counts[from == 0 ? 0 : 1];
        eachKey(from, to, [&](std::size_t n, std::uint32_t offset) {
            items[next[bucketOf(offset, lengths[n])]++] = itemOf(n, offset);
        });
    });
    LargeVector<std::uint16_t>().swap(lengths);
    // The first bucket that begins past the middle starts the second part.
    const auto middle = static_cast<std::size_t>(
        std::upper_bound(starts.begin(), starts.end(), static_cast<std::uint32_t>(count / 2)) - starts.begin() - 1);
    auto sortBuckets = [&](std::size_t from, std::size_t to) {
        std::vector<BuildItem> spare;
        for (std::size_t b = from; b < to; ++b)
            if (starts[b + 1] - starts[b] > 1)
                sortFrom(items.data() + starts[b], items.data() + starts[b + 1], at, 0, spare);
    };
    bothAtOnce([&] { sortBuckets(0, middle); }, [&] { sortBuckets(middle, buckets); });
    return items;
}

}  // namespace

LargeVector<std::uint32_t> DictionaryIndex::entryOrder(const EntryList& entries, int side,
                                                       const CharacterTables& tables, int table) {
    LargeString keys;
    const LargeVector<BuildItem> items = sortedItems(entries, side, tables, table, keys);
    LargeVector<std::uint32_t> order(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) order[i] = items[i].entryNumber;
    return order;
}

DictionaryIndex DictionaryIndex::build(const EntryList& entries, int side, const CharacterTables& tables,
                                       int table) {
    DictionaryIndex index;
    const std::size_t count = entries.size();
    LargeVector<BuildItem> items = sortedItems(entries, side, tables, table, index.keys_);
    const std::size_t total = index.keys_.size();
    char* keys = index.keys_.data();

    // The keys are laid out again in index order: a search ends among
    // neighbouring records, whose keys then share the cache lines it reads.
    LargeString sorted;
    sorted.resize(total);
    std::uint32_t firstHalf = 0;  // where the keys of the second half begin
    for (std::size_t i = 0; i < count / 2; ++i) firstHalf += items[i].keyLength;
    inHalves(count, [&](std::size_t from, std::size_t to) {
        constexpr std::size_t ahead = 16;  // the old places are scattered
        std::uint32_t at = from == 0 ? 0 : firstHalf;
        for (std::size_t i = from; i < to; ++i) {
            if (i + ahead < to) __builtin_prefetch(keys + items[i + ahead].keyOffset);
            BuildItem& item = items[i];
            std::memcpy(sorted.data() + at, keys + item.keyOffset, item.keyLength);
            item.keyOffset = at;
            at += item.keyLength;
        }
    });
    index.keys_.swap(sorted);
    LargeString().swap(sorted);  // the old keys go before the records take their room

    index.records_.resize(count);
    index.entryNumbers_.resize(count);
    inHalves(count, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const BuildItem& item = items[i];
            index.records_[i] =
                Record::of(std::string_view(index.keys_.data() + item.keyOffset, item.keyLength), item.keyOffset);
            index.entryNumbers_[i] = item.entryNumber;
        }
    });
    index.resample(0);
    index.refilter();
    return index;
}

void DictionaryIndex::refilter() {
    // Keys of one first word mostly lie together: each run is counted, for
    // the filter's size, and then added once.
    auto eachRun = [this](auto take) {
        std::string_view last;
        for (std::size_t i = 0; i < records_.size(); ++i) {
            const std::string_view word = firstWord(key(i));
            if (i == 0 || word != last) take(word);
            last = word;
        }
    };
    std::size_t runs = 0;
    eachRun([&runs](std::string_view) { ++runs; });
    firstWords_.reset(runs);
    eachRun([this](std::string_view word) { firstWords_.add(word); });
}

void DictionaryIndex::resample(std::size_t from) {
    auto sampleEvery = [](std::size_t count) { return (count + sampleStep - 1) / sampleStep; };
    samples_.heads.resize(sampleEvery(records_.size()));
    samples_.tails.resize(samples_.heads.size());
    for (std::size_t i = from / sampleStep; i < samples_.heads.size(); ++i) {
        const Record& r = records_[i * sampleStep];
        samples_.heads[i] = static_cast<Sample>(r.prefix) << 64 | r.next;
        samples_.tails[i] = r.keyLength > 16 ? wordOf(key(i * sampleStep), 16) : 0;
    }
    // A coarser level from the samples of the finer one from finerFrom on.
    auto coarser = [&](const Samples& finer, Samples& level, std::size_t finerFrom) {
        level.heads.resize(sampleEvery(finer.heads.size()));
        level.tails.resize(level.heads.size());
        for (std::size_t i = finerFrom / sampleStep; i < level.heads.size(); ++i) {
            level.heads[i] = finer.heads[i * sampleStep];
            level.tails[i] = finer.tails[i * sampleStep];
        }
    };
    coarser(samples_, topSamples_, from / sampleStep);
    coarser(topSamples_, rootSamples_, from / sampleStep / sampleStep);
}

namespace {

// The first of [first, last) not less than wanted, without a branch to
// mispredict at each step.
template <typename Sample>
const Sample* firstNotBelow(const Sample* first, const Sample* last, Sample wanted) {
    std::size_t count = static_cast<std::size_t>(last - first);
    if (count == 0) return first;
    while (count > 1) {
        const std::size_t half = count / 2;
        // Arithmetic, not a choice: the compiler would branch on one, and the
        // branch goes either way as often.
        first += half * static_cast<std::size_t>(first[half - 1] < wanted);
        count -= half;
    }
    return first + (*first < wanted);
}

// The part [lo, hi) of what every step-th of samples stands for (the next
// finer level, of size items) that may hold the first item not less than
// wanted, whose bytes 16..23 are wantedTail: a sample below wanted stands for
// an item below it, one above for an item above it; equal ones decide nothing.
template <typename Samples, typename Sample>
std::pair<std::size_t, std::size_t> narrowed(const Samples& samples, std::size_t from, std::size_t to,
                                             Sample wanted, std::uint64_t wantedTail, std::size_t step,
                                             std::size_t items) {
    const Sample* heads = samples.heads.data();
    std::size_t below = static_cast<std::size_t>(firstNotBelow(heads + from, heads + to, wanted) - heads);
    std::size_t above = below;
    if (below != to && heads[below] == wanted) {
        // Samples of equal first bytes: their next ones tell them apart.
        const auto equalTo = static_cast<std::size_t>(std::upper_bound(heads + below, heads + to, wanted) - heads);
        const std::uint64_t* tails = samples.tails.data();
        below = static_cast<std::size_t>(firstNotBelow(tails + below, tails + equalTo, wantedTail) - tails);
        above = below == equalTo || tails[below] != wantedTail
                    ? below
                    : static_cast<std::size_t>(std::upper_bound(tails + below, tails + equalTo, wantedTail) - tails);
    }
    const std::size_t lo = below == 0 ? 0 : (below - 1) * step + 1;
    const std::size_t hi = std::min(items, above * step);
    return {lo, hi};
}

// Asks for the cache lines of [first, last) all at once, at most a few: the
// binary search that reads them next would otherwise wait for each in turn.
template <typename T>
void prefetch(const T* first, const T* last) {
    constexpr std::uintptr_t line = 64;
    constexpr std::size_t most = 32;
    if (last - first > static_cast<std::ptrdiff_t>(most)) last = first + most;
    const auto end = reinterpret_cast<std::uintptr_t>(last);
    for (auto at = reinterpret_cast<std::uintptr_t>(first) & ~(line - 1); at < end; at += line)
        __builtin_prefetch(reinterpret_cast<const void*>(at));
}

}  // namespace

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
    return insertAt(lo, copy, entryNumber);
}

std::size_t DictionaryIndex::insertInEntryOrder(std::string_view key, std::uint32_t entryNumber) {
    std::string copy(key);
    const std::uint64_t prefix = prefixOf(copy);
    // The first record not below key, then the first of the equal ones with a higher number:
    // a cleared column makes a million keys equal, so neither is a scan.
    std::size_t lo = 0, hi = records_.size();
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (compare(mid, copy, prefix) >= 0) hi = mid;
        else lo = mid + 1;
    }
    hi = records_.size();
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (compare(mid, copy, prefix) > 0 || entryNumbers_[mid] > entryNumber) hi = mid;
        else lo = mid + 1;
    }
    return insertAt(lo, copy, entryNumber);
}

std::size_t DictionaryIndex::insertAt(std::size_t position, const std::string& key, std::uint32_t entryNumber) {
    std::uint32_t offset = storeKey(key);
    firstWords_.add(firstWord(key));
    records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(position), Record::of(key, offset));
    entryNumbers_.insert(entryNumbers_.begin() + static_cast<std::ptrdiff_t>(position), entryNumber);
    resample(position);
    return position;
}

void DictionaryIndex::insertAll(const std::vector<IndexRecord>& added) {
    if (added.empty()) return;
    std::vector<BuildItem> items(added.size());
    for (std::size_t i = 0; i < added.size(); ++i) {
        const IndexRecord& r = added[i];
        items[i] = {prefixOf(r.key), storeKey(r.key), static_cast<std::uint16_t>(r.key.size()), r.entryNumber};
    }
    // Stable, so that equal new keys keep the order they were given in.
    const char* keys = keys_.data();
    auto keyOf = [keys](const BuildItem& item) { return std::string_view(keys + item.keyOffset, item.keyLength); };
    std::stable_sort(items.begin(), items.end(), [&keyOf](const BuildItem& a, const BuildItem& b) {
        if (a.word != b.word) return a.word < b.word;
        if (a.keyLength <= 8 && b.keyLength <= 8) return false;
        return keyOf(a) < keyOf(b);
    });

    LargeVector<Record> records;
    LargeVector<std::uint32_t> entryNumbers;
    records.reserve(records_.size() + items.size());
    entryNumbers.reserve(records_.size() + items.size());
    std::size_t old = 0;
    for (const BuildItem& item : items) {
        // Records already there go first among equal keys.
        const std::string_view key = keyOf(item);
        while (old < records_.size() && compare(old, key, item.word) <= 0) {
            records.push_back(records_[old]);
            entryNumbers.push_back(entryNumbers_[old]);
            ++old;
        }
        records.push_back(Record::of(key, item.keyOffset));
        entryNumbers.push_back(item.entryNumber);
    }
    records.insert(records.end(), records_.begin() + static_cast<std::ptrdiff_t>(old), records_.end());
    entryNumbers.insert(entryNumbers.end(), entryNumbers_.begin() + static_cast<std::ptrdiff_t>(old),
                        entryNumbers_.end());
    records_ = std::move(records);
    entryNumbers_ = std::move(entryNumbers);
    resample(0);
    refilter();
}

void DictionaryIndex::remove(std::size_t position) {
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(position));
    entryNumbers_.erase(entryNumbers_.begin() + static_cast<std::ptrdiff_t>(position));
    resample(position);
}

void DictionaryIndex::removeFrom(std::uint32_t entryNumber) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (entryNumbers_[i] >= entryNumber) continue;
        records_[kept] = records_[i];
        entryNumbers_[kept++] = entryNumbers_[i];
    }
    records_.resize(kept);
    entryNumbers_.resize(kept);
    resample(0);
}

std::size_t DictionaryIndex::find(std::uint32_t entryNumber) const {
    const auto at = std::find(entryNumbers_.begin(), entryNumbers_.end(), entryNumber);
    return static_cast<std::size_t>(at - entryNumbers_.begin());
}

void DictionaryIndex::renumberAfterRemoval(std::uint32_t entryNumber) {
    for (std::uint32_t& n : entryNumbers_)
        if (n > entryNumber) --n;
}

void DictionaryIndex::renumberBeforeInsertion(std::uint32_t entryNumber) {
    for (std::uint32_t& n : entryNumbers_)
        if (n >= entryNumber) ++n;
}

void DictionaryIndex::step(std::string_view key, Lookup& lookup) const {
    if (lookup.steps == 0) {
        lookup.prefix = prefixOf(key);
        lookup.next = wordOf(key, 8);
        lookup.tail = wordOf(key, 16);
    }
    const Sample wanted = static_cast<Sample>(lookup.prefix) << 64 | lookup.next;
    switch (lookup.steps++) {
        case 0:
            std::tie(lookup.lo, lookup.hi) = narrowed(rootSamples_, 0, rootSamples_.heads.size(), wanted,
                                                      lookup.tail, sampleStep, topSamples_.heads.size());
            // Their bytes 16..23 too, here and below: many samples share their first 16 bytes.
            prefetch(topSamples_.heads.data() + lookup.lo, topSamples_.heads.data() + lookup.hi);
            prefetch(topSamples_.tails.data() + lookup.lo, topSamples_.tails.data() + lookup.hi);
            break;
        case 1:
            std::tie(lookup.lo, lookup.hi) =
                narrowed(topSamples_, lookup.lo, lookup.hi, wanted, lookup.tail, sampleStep, samples_.heads.size());
            prefetch(samples_.heads.data() + lookup.lo, samples_.heads.data() + lookup.hi);
            prefetch(samples_.tails.data() + lookup.lo, samples_.tails.data() + lookup.hi);
            break;
        case 2:
            std::tie(lookup.lo, lookup.hi) =
                narrowed(samples_, lookup.lo, lookup.hi, wanted, lookup.tail, sampleStep, records_.size());
            prefetch(records_.data() + lookup.lo, records_.data() + lookup.hi);
            break;
        case 3: {
            // Records that share the key's first 16 bytes are told apart by the
            // bytes after them, in the key storage: those are asked for all at
            // once, rather than one cache miss after another as the search
            // reaches them.
            constexpr std::size_t fewRecords = 32;
            if (key.size() > 16 && lookup.hi - lookup.lo <= fewRecords)
                for (std::size_t i = lookup.lo; i < lookup.hi; ++i) {
                    const Record& r = records_[i];
                    if (r.prefix == lookup.prefix && r.next == lookup.next && r.keyLength > 16)
                        __builtin_prefetch(keys_.data() + r.keyOffset + 16);
                }
            break;
        }
        case 4: {
            // The records are in the cache by now: the search ends here, and
            // the keys on either side of its end, which a search rule reads
            // next where no key equals, are asked for.
            const std::size_t at = lowerBound(key, lookup);
            lookup.lo = lookup.hi = at;
            if (at < records_.size()) __builtin_prefetch(keys_.data() + records_[at].keyOffset);
            if (at > 0) __builtin_prefetch(keys_.data() + records_[at - 1].keyOffset);
            break;
        }
        default:
            break;
    }
}

std::size_t DictionaryIndex::lowerBound(std::string_view key, const Lookup& lookup) const {
    std::size_t lo = lookup.lo, hi = lookup.hi;
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        const Record& r = records_[mid];
        const bool less = r.prefix != lookup.prefix              ? r.prefix < lookup.prefix
                          : r.keyLength <= 8 && key.size() <= 8 ? false
                                                                 : compareFrom8(mid, key, lookup.next) < 0;
        if (less) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

std::size_t DictionaryIndex::lowerBound(std::string_view key) const {
    Lookup lookup;
    while (lookup.steps < Lookup::allSteps) step(key, lookup);
    return lowerBound(key, lookup);
}

void DictionaryIndex::clear() {
    records_.clear();
    records_.shrink_to_fit();
    entryNumbers_.clear();
    entryNumbers_.shrink_to_fit();
    keys_.clear();
    keys_.shrink_to_fit();
    samples_ = {};
    topSamples_ = {};
    rootSamples_ = {};
    firstWords_ = {};
}

}  // namespace trelvo

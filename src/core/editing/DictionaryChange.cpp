#include "DictionaryChange.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <utility>

#include "core/dictionary/DictionaryFile.h"

namespace trelvo {

namespace {

bool sameEntry(const EntryList& a, std::size_t i, const EntryList& b, std::size_t j) {
    return a.flags(i) == b.flags(j) && a.term(i) == b.term(j) && a.translation(i) == b.translation(j) &&
           a.note(i) == b.note(j);
}

void copyEntry(const EntryList& from, std::size_t n, EntryList& to) {
    to.append(from.term(n), from.translation(n), from.note(n), from.flags(n));
}

// The entries of from at numbers, appended to to; its room is made once,
// so that a list of a million entries holds no spare half.
void copyEntries(const EntryList& from, const std::vector<std::uint32_t>& numbers, EntryList& to) {
    std::size_t bytes = 0;
    for (std::uint32_t n : numbers) bytes += from.term(n).size() + from.translation(n).size() + from.note(n).size();
    to.reserve(to.size() + numbers.size(), bytes);
    for (std::uint32_t n : numbers) copyEntry(from, n, to);
}

std::vector<std::uint32_t> numbersFrom(std::size_t first, std::size_t last) {
    std::vector<std::uint32_t> numbers;
    numbers.reserve(last > first ? last - first : 0);
    for (std::size_t n = first; n < last; ++n) numbers.push_back(static_cast<std::uint32_t>(n));
    return numbers;
}

std::size_t contentHash(const EntryList& list, std::size_t n) {
    std::size_t h = list.flags(n);
    for (int k = 0; k < 3; ++k) h = h * 1000003u ^ std::hash<std::string_view>{}(list.text(n, k));
    return h;
}

// Each step of a small change moves the records of both indexes and scans
// them for a number; past this many entries one pass over the list and one
// build of the indexes cost less.
constexpr std::size_t largeChangeFrom = 64;
// Up to this many entries to take out, one not at its number is looked for by
// a scan; more share one table of every entry's content.
constexpr std::size_t scannedUpTo = 8;

// The entries of a store by content, for a replay of many changes onto it:
// built once when an entry is first missed at its number, it follows the
// changes after it through the places where they put entries in or took them
// out, so that each moved entry is found without a scan of the list. Entries
// it lists may have changed since; every one found is compared again.
class ContentTable {
public:
    // The numbers where an entry equal to removed[i] may stand now, each once.
    std::vector<std::uint32_t> candidates(const EntryList& entries, const EntryList& removed, std::size_t i) {
        if (!built_ || shifts_.size() > shiftsUpTo) build(entries);
        const std::size_t h = contentHash(removed, i);
        std::vector<std::uint32_t> found;
        auto keep = [&](std::uint32_t number, std::size_t since) {
            if (const std::optional<std::uint32_t> now = current(number, since)) found.push_back(*now);
        };
        for (auto it = std::lower_bound(base_.begin(), base_.end(), std::pair{h, std::uint32_t{0}});
             it != base_.end() && it->first == h; ++it)
            keep(it->second, 0);
        auto [first, last] = later_.equal_range(h);
        for (auto it = first; it != last; ++it) keep(it->second.first, it->second.second);
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    }

    void inserted(const EntryList& entries, std::uint32_t n) {
        if (!built_) return;
        shifts_.push_back({n, +1});
        listed(entries, n);
    }
    void removed(std::uint32_t n) {
        if (built_) shifts_.push_back({n, -1});
    }
    void replaced(const EntryList& entries, std::uint32_t n) {
        if (built_) listed(entries, n);
    }
    // The list was made anew.
    void forget() { built_ = false; }

private:
    // Past this many shifts a lookup costs more than a new table.
    static constexpr std::size_t shiftsUpTo = 4096;

    void build(const EntryList& entries) {
        base_.resize(entries.size());
        for (std::size_t n = 0; n < entries.size(); ++n)
            base_[n] = {contentHash(entries, n), static_cast<std::uint32_t>(n)};
        std::sort(base_.begin(), base_.end());
        later_.clear();
        shifts_.clear();
        built_ = true;
    }
    void listed(const EntryList& entries, std::uint32_t n) {
        later_.emplace(contentHash(entries, n), std::pair{n, shifts_.size()});
    }
    // Where the entry that stood at number after the first since shifts stands now; nothing if it was taken out.
    std::optional<std::uint32_t> current(std::uint32_t number, std::size_t since) const {
        for (std::size_t k = since; k < shifts_.size(); ++k) {
            const auto [at, by] = shifts_[k];
            if (by < 0 && number == at) return std::nullopt;
            if (number > at || (by > 0 && number == at)) number = static_cast<std::uint32_t>(number + by);
        }
        return number;
    }

    bool built_ = false;
    std::vector<std::pair<std::size_t, std::uint32_t>> base_;  // by hash
    // Entries listed after the build: the number they got and the shifts before it.
    std::unordered_multimap<std::size_t, std::pair<std::uint32_t, std::size_t>> later_;
    std::vector<std::pair<std::uint32_t, int>> shifts_;
};

// Finds the entries a change takes out in the store as it is now, each store
// entry at most once.
class RemovalFinder {
public:
    RemovalFinder(const EntryList& entries, std::size_t wanted, ContentTable* table)
        : entries_(entries), wanted_(wanted), table_(table), taken_(entries.size(), false) {}

    std::optional<std::uint32_t> find(const EntryList& removed, std::size_t i, std::uint32_t number) {
        if (number < entries_.size() && !taken_[number] && sameEntry(entries_, number, removed, i))
            return take(number);
        if (table_) {
            // The first one, as a scan would find it.
            for (std::uint32_t n : table_->candidates(entries_, removed, i))
                if (n < entries_.size() && !taken_[n] && sameEntry(entries_, n, removed, i)) return take(n);
            return std::nullopt;
        }
        if (wanted_ <= scannedUpTo) {
            for (std::size_t n = 0; n < entries_.size(); ++n)
                if (!taken_[n] && sameEntry(entries_, n, removed, i)) return take(static_cast<std::uint32_t>(n));
            return std::nullopt;
        }
        if (byContent_.empty() && !entries_.empty()) {
            byContent_.reserve(entries_.size());
            for (std::size_t n = 0; n < entries_.size(); ++n)
                byContent_.emplace(contentHash(entries_, n), static_cast<std::uint32_t>(n));
        }
        auto [first, last] = byContent_.equal_range(contentHash(removed, i));
        for (auto it = first; it != last; ++it)
            if (!taken_[it->second] && sameEntry(entries_, it->second, removed, i)) return take(it->second);
        return std::nullopt;
    }

private:
    std::uint32_t take(std::uint32_t n) {
        taken_[n] = true;
        return n;
    }

    const EntryList& entries_;
    std::size_t wanted_;
    ContentTable* table_;
    std::vector<bool> taken_;
    std::unordered_multimap<std::size_t, std::uint32_t> byContent_;
};

// One entry to put in at its number: its place in change.added and its flags.
struct Addition {
    std::size_t index;
    std::uint32_t number;
    std::uint32_t flags;
};

// What a change does to the store as it is now. An entry the change takes
// out and puts a new version of in gets the new version where it was found,
// which need not be its number. A new version is the added entry of the same
// rank and number: as many entries taken out before it as put in, so that in
// the list the change was made on it stands exactly where the old one did.
struct Plan {
    std::vector<std::uint32_t> dropped;                            // ascending
    std::vector<std::pair<std::uint32_t, std::size_t>> replaced;  // entry n becomes added[j]; by n
    std::vector<Addition> placed;                                  // by number
    std::size_t conflicts = 0;

    std::size_t size() const { return dropped.size() + 2 * replaced.size() + placed.size(); }
};

Plan planOf(const DictionaryStore& store, const DictionaryChange& change, ContentTable* table) {
    Plan plan;
    std::vector<bool> paired(change.added.size(), false);
    std::vector<std::uint32_t> lostNumbers;
    RemovalFinder finder(store.entries, change.removed.size(), table);
    for (std::size_t i = 0; i < change.removed.size(); ++i) {
        const std::uint32_t number = i < change.removedNumbers.size() ? change.removedNumbers[i] : UINT32_MAX;
        const std::optional<std::uint32_t> n = finder.find(change.removed, i, number);
        if (!n) {
            lostNumbers.push_back(number);
            continue;
        }
        if (i < change.added.size() && i < change.addedNumbers.size() && change.addedNumbers[i] == number) {
            paired[i] = true;
            plan.replaced.emplace_back(*n, i);
        } else {
            plan.dropped.push_back(*n);
        }
    }
    std::sort(plan.dropped.begin(), plan.dropped.end());
    std::sort(plan.replaced.begin(), plan.replaced.end());
    std::sort(lostNumbers.begin(), lostNumbers.end());
    plan.conflicts = lostNumbers.size();
    for (std::size_t j = 0; j < change.added.size(); ++j) {
        if (paired[j]) continue;
        const std::uint32_t number = j < change.addedNumbers.size() ? change.addedNumbers[j] : UINT32_MAX;
        const bool lostBefore = std::binary_search(lostNumbers.begin(), lostNumbers.end(), number);
        plan.placed.push_back({j, number, lostBefore ? std::uint32_t{efUserModified} : change.added.flags(j)});
    }
    std::stable_sort(plan.placed.begin(), plan.placed.end(),
                     [](const Addition& a, const Addition& b) { return a.number < b.number; });
    return plan;
}

void addIndexRecords(DictionaryStore& store, std::uint32_t n, const CharacterTables& tables) {
    if (!store.indexed) return;
    for (int k = 0; k < 2; ++k)
        store.indexes[static_cast<std::size_t>(k)].insertInEntryOrder(
            tables.makeCollationKey(store.entries.text(n, k), store.tableOf(k)), n);
}

// The plan entry by entry, keeping both indexes as it goes. Returns the
// number of the first entry it put in, if any.
std::optional<std::uint32_t> applyInSteps(DictionaryStore& store, const DictionaryChange& change, const Plan& plan,
                                          const CharacterTables& tables, ContentTable* table) {
    for (const auto& [n, j] : plan.replaced) {
        for (int k = 0; k < 3; ++k) store.entries.setText(n, k, change.added.text(j, k));
        store.entries.setFlags(n, change.added.flags(j));
        if (table) table->replaced(store.entries, n);
        if (!store.indexed) continue;
        for (int k = 0; k < 2; ++k) {
            const std::size_t at = store.findIndexPosition(k, n);
            if (at < store.indexes[static_cast<std::size_t>(k)].size()) store.removeIndexRecord(k, at);
        }
        addIndexRecords(store, n, tables);
    }
    for (auto n = plan.dropped.rbegin(); n != plan.dropped.rend(); ++n) {
        store.removeEntry(*n);
        if (table) table->removed(*n);
    }
    std::optional<std::uint32_t> first;
    if (!plan.replaced.empty()) {
        const std::uint32_t n = plan.replaced.front().first;
        first = n - static_cast<std::uint32_t>(std::lower_bound(plan.dropped.begin(), plan.dropped.end(), n) -
                                               plan.dropped.begin());
    }
    for (const Addition& a : plan.placed) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(a.number, store.entryCount()));
        store.insertEntry(n, change.added.entry(a.index));
        store.entries.setFlags(n, a.flags);
        if (table) table->inserted(store.entries, n);
        addIndexRecords(store, n, tables);
        if (first && n <= *first) ++*first;
        if (!first || n < *first) first = n;
    }
    return first;
}

// The same in one pass over the list, and one build of the indexes.
std::optional<std::uint32_t> applyInOnePass(DictionaryStore& store, const DictionaryChange& change,
                                            const Plan& plan, const CharacterTables& tables) {
    const EntryList& old = store.entries;
    EntryList result;
    result.reserve(old.size() - plan.dropped.size() + plan.placed.size());
    std::optional<std::uint32_t> first;
    auto putIn = [&](std::size_t j, std::uint32_t flags) {
        if (!first) first = static_cast<std::uint32_t>(result.size());
        copyEntry(change.added, j, result);
        result.setFlags(result.size() - 1, flags);
    };
    auto placed = plan.placed.begin();
    auto dropped = plan.dropped.begin();
    auto replaced = plan.replaced.begin();
    for (std::size_t n = 0; n < old.size(); ++n) {
        for (; placed != plan.placed.end() && placed->number <= result.size(); ++placed)
            putIn(placed->index, placed->flags);
        if (dropped != plan.dropped.end() && *dropped == n) {
            ++dropped;
        } else if (replaced != plan.replaced.end() && replaced->first == n) {
            putIn(replaced->second, change.added.flags(replaced->second));
            ++replaced;
        } else {
            copyEntry(old, n, result);
        }
    }
    for (; placed != plan.placed.end(); ++placed) putIn(placed->index, placed->flags);
    store.entries = std::move(result);
    store.rebuildIndexes(tables);
    return first;
}

}  // namespace

DictionaryChange DictionaryChange::inverse() const {
    DictionaryChange back = *this;
    back.invert();
    return back;
}

void DictionaryChange::invert() {
    std::swap(headerBefore, headerAfter);
    std::swap(removed, added);
    std::swap(removedNumbers, addedNumbers);
}

DictionaryChange DictionaryChange::entryAdded(const DictionaryStore& store, std::uint32_t n) {
    DictionaryChange change;
    change.kind = ChangeKind::added;
    copyEntry(store.entries, n, change.added);
    change.addedNumbers.push_back(n);
    return change;
}

DictionaryChange DictionaryChange::entryEdited(const DictionaryStore& store, std::uint32_t n,
                                               const DictionaryEntry& before) {
    DictionaryChange change;
    change.kind = ChangeKind::edited;
    change.removed.append(before);
    change.removedNumbers.push_back(n);
    copyEntry(store.entries, n, change.added);
    change.addedNumbers.push_back(n);
    return change;
}

DictionaryChange DictionaryChange::entryDeleted(std::uint32_t n, const DictionaryEntry& before) {
    DictionaryChange change;
    change.kind = ChangeKind::deleted;
    change.removed.append(before);
    change.removedNumbers.push_back(n);
    return change;
}

namespace {

// The places of the entries two lists share in the same order, as many as
// there are: each entry of before is matched to the first equal one of after
// not matched yet (by a table of content), and of those matches the longest
// run rising in both lists stays. Returns for each entry of before whether it
// stays, and the same for after.
std::pair<std::vector<bool>, std::vector<bool>> sharedInOrder(const EntryList& before, std::size_t beforeFirst,
                                                              std::size_t beforeLast, const EntryList& after,
                                                              std::size_t afterFirst, std::size_t afterLast) {
    const std::size_t beforeCount = beforeLast - beforeFirst;
    const std::size_t afterCount = afterLast - afterFirst;
    std::vector<std::pair<std::size_t, std::uint32_t>> byContent(afterCount);
    for (std::size_t p = 0; p < afterCount; ++p)
        byContent[p] = {contentHash(after, afterFirst + p), static_cast<std::uint32_t>(p)};
    std::sort(byContent.begin(), byContent.end());
    // Where to go on looking in each run of equal hashes: taken places lie
    // at its front, so that many equal entries cost no scan each.
    std::vector<std::uint32_t> from(afterCount);
    for (std::size_t k = 0; k < afterCount; ++k)
        from[k] = k > 0 && byContent[k - 1].first == byContent[k].first ? from[k - 1] : static_cast<std::uint32_t>(k);
    std::vector<bool> taken(afterCount, false);
    constexpr std::uint32_t none = UINT32_MAX;
    std::vector<std::uint32_t> match(beforeCount, none);
    for (std::size_t i = 0; i < beforeCount; ++i) {
        const std::size_t h = contentHash(before, beforeFirst + i);
        auto run = std::lower_bound(byContent.begin(), byContent.end(), std::pair{h, std::uint32_t{0}});
        if (run == byContent.end() || run->first != h) continue;
        const auto start = static_cast<std::size_t>(run - byContent.begin());
        std::uint32_t& cursor = from[start];
        while (cursor < afterCount && byContent[cursor].first == h && taken[byContent[cursor].second]) ++cursor;
        for (std::size_t k = cursor; k < afterCount && byContent[k].first == h; ++k) {
            const std::uint32_t p = byContent[k].second;
            if (!taken[p] && sameEntry(before, beforeFirst + i, after, afterFirst + p)) {
                taken[p] = true;
                match[i] = p;
                break;
            }
        }
    }
    // The longest rising run of matched places: ends[l] is the entry of
    // before ending the best run of length l + 1 found so far.
    std::vector<std::uint32_t> ends;
    std::vector<std::uint32_t> previous(beforeCount, none);
    for (std::size_t i = 0; i < beforeCount; ++i) {
        if (match[i] == none) continue;
        auto at = std::lower_bound(ends.begin(), ends.end(), match[i],
                                   [&match](std::uint32_t e, std::uint32_t p) { return match[e] < p; });
        if (at != ends.begin()) previous[i] = *(at - 1);
        if (at == ends.end()) ends.push_back(static_cast<std::uint32_t>(i));
        else *at = static_cast<std::uint32_t>(i);
    }
    std::pair<std::vector<bool>, std::vector<bool>> stays{std::vector<bool>(beforeCount, false),
                                                          std::vector<bool>(afterCount, false)};
    for (std::uint32_t i = ends.empty() ? none : ends.back(); i != none; i = previous[i]) {
        stays.first[i] = true;
        stays.second[match[i]] = true;
    }
    return stays;
}

// Whether entries of before that differ in place (a sample of inPlace) stand
// elsewhere in after [first, last): only moved entries make a search for
// what the lists share in order worth its time. A cleared column has none.
bool someMoved(const EntryList& before, const std::vector<std::uint32_t>& inPlace, const EntryList& after,
               std::size_t first, std::size_t last) {
    constexpr std::size_t samples = 256;
    std::unordered_multimap<std::size_t, std::uint32_t> sampled;
    for (std::size_t k = 0; k < inPlace.size(); k += inPlace.size() / samples + 1)
        sampled.emplace(contentHash(before, inPlace[k]), inPlace[k]);
    for (std::size_t n = first; n < last; ++n) {
        auto [from, to] = sampled.equal_range(contentHash(after, n));
        for (auto it = from; it != to; ++it)
            if (it->second != n && sameEntry(before, it->second, after, n)) return true;
    }
    return false;
}

}  // namespace

DictionaryChange DictionaryChange::between(ChangeKind kind, const EntryList& before, const EntryList& after) {
    DictionaryChange change;
    change.kind = kind;
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head < shorter && sameEntry(before, head, after, head)) ++head;
    std::size_t tail = 0;
    while (tail < shorter - head && sameEntry(before, before.size() - 1 - tail, after, after.size() - 1 - tail))
        ++tail;
    const std::size_t beforeEnd = before.size() - tail;
    const std::size_t afterEnd = after.size() - tail;
    std::vector<std::uint32_t> inPlace;
    if (beforeEnd - head == afterEnd - head) {
        // Entries changed in place (a cleared column, a conversion): only the ones that differ.
        for (std::size_t n = head; n < beforeEnd; ++n)
            if (!sameEntry(before, n, after, n)) inPlace.push_back(static_cast<std::uint32_t>(n));
        if (inPlace.size() <= (beforeEnd - head) / 2 || !someMoved(before, inPlace, after, head, afterEnd)) {
            change.removedNumbers = inPlace;
            change.addedNumbers = std::move(inPlace);
            copyEntries(before, change.removedNumbers, change.removed);
            copyEntries(after, change.addedNumbers, change.added);
            return change;
        }
    }
    // Entries taken out, put in and moved (a synchronisation puts the user's
    // entries ahead of the new edition's): what both share in the same order
    // stays out of the change, unless that leaves more than the entries that
    // differ in place.
    const auto [beforeStays, afterStays] = sharedInOrder(before, head, beforeEnd, after, head, afterEnd);
    for (std::size_t n = head; n < beforeEnd; ++n)
        if (!beforeStays[n - head]) change.removedNumbers.push_back(static_cast<std::uint32_t>(n));
    for (std::size_t n = head; n < afterEnd; ++n)
        if (!afterStays[n - head]) change.addedNumbers.push_back(static_cast<std::uint32_t>(n));
    if (!inPlace.empty() && change.removedNumbers.size() + change.addedNumbers.size() >= 2 * inPlace.size()) {
        change.removedNumbers = inPlace;
        change.addedNumbers = std::move(inPlace);
    }
    copyEntries(before, change.removedNumbers, change.removed);
    copyEntries(after, change.addedNumbers, change.added);
    return change;
}

DictionaryChange DictionaryChange::appended(ChangeKind kind, const EntryList& entries, std::uint32_t from) {
    DictionaryChange change;
    change.kind = kind;
    change.addedNumbers = numbersFrom(from, entries.size());
    copyEntries(entries, change.addedNumbers, change.added);
    return change;
}

DictionaryChange DictionaryChange::headerChanged(const DictionaryHeader& before, const DictionaryHeader& after) {
    DictionaryChange change;
    change.kind = ChangeKind::properties;
    change.headerBefore = before;
    change.headerAfter = after;
    return change;
}

namespace {

// Whether the store after the change of plan would pass its limits, where
// the change makes it larger: a dictionary over them could not be saved or
// opened again. A change that makes it no larger is never refused.
bool passesLimits(const DictionaryStore& store, const DictionaryChange& change, const Plan& plan) {
    const std::size_t count = store.entryCount() - plan.dropped.size() + plan.placed.size();
    if (count > store.limits.entryCount && count > store.entryCount()) return true;
    std::size_t out = 0;
    std::size_t in = 0;
    for (std::uint32_t n : plan.dropped) out += storedEntrySize(store.entries, n);
    for (const auto& [n, j] : plan.replaced) {
        out += storedEntrySize(store.entries, n);
        in += storedEntrySize(change.added, j);
    }
    for (const Addition& a : plan.placed) in += storedEntrySize(change.added, a.index);
    const DictionaryHeader& header = change.headerAfter ? *change.headerAfter : store.header;
    static const EntryList none;
    const std::size_t headIn = storedSize(header, none);
    const std::size_t headOut = storedSize(store.header, none);
    if (in + headIn <= out + headOut) return false;
    return storedSize(store.header, store.entries) - out - headOut + in + headIn > store.limits.fileSize;
}

// Whether the change only takes entries off the end of the list or only puts
// them on it, in order: an import, its undo and its redo.
bool atTheEnd(const DictionaryStore& store, const Plan& plan) {
    if (!plan.replaced.empty() || plan.dropped.empty() == plan.placed.empty()) return false;
    const std::size_t count = store.entryCount();
    // Dropped numbers are distinct and ascending: the first one says whether they are the last ones.
    if (!plan.dropped.empty()) return plan.dropped.front() == count - plan.dropped.size();
    for (std::size_t k = 0; k < plan.placed.size(); ++k)
        if (plan.placed[k].number != count + k) return false;
    return true;
}

// The list cut or grown at its end; the indexes lose or merge in only the
// records of those entries, without sorting what stays.
std::optional<std::uint32_t> applyAtTheEnd(DictionaryStore& store, const DictionaryChange& change, const Plan& plan,
                                           const CharacterTables& tables) {
    if (!plan.dropped.empty()) {
        const std::uint32_t from = plan.dropped.front();
        store.entries.truncate(from);
        if (store.indexed)
            for (DictionaryIndex& index : store.indexes) index.removeFrom(from);
        return std::nullopt;
    }
    const auto from = static_cast<std::uint32_t>(store.entryCount());
    std::vector<std::uint32_t> numbers;
    numbers.reserve(plan.placed.size());
    for (const Addition& a : plan.placed) numbers.push_back(static_cast<std::uint32_t>(a.index));
    copyEntries(change.added, numbers, store.entries);
    for (std::size_t k = 0; k < plan.placed.size(); ++k) store.entries.setFlags(from + k, plan.placed[k].flags);
    if (!store.indexed) return from;
    for (int side = 0; side < 2; ++side) {
        std::vector<std::string> keys;
        keys.reserve(plan.placed.size());
        for (std::size_t n = from; n < store.entryCount(); ++n)
            keys.push_back(tables.makeCollationKey(store.entries.text(n, side), store.tableOf(side)));
        std::vector<IndexRecord> records;
        records.reserve(keys.size());
        for (std::size_t k = 0; k < keys.size(); ++k)
            records.push_back({keys[k], static_cast<std::uint32_t>(from + k)});
        store.indexes[static_cast<std::size_t>(side)].insertAll(records);
    }
    return from;
}

ChangeApplication applyPlanned(DictionaryStore& store, const DictionaryChange& change, const CharacterTables& tables,
                               ContentTable* table, bool withinLimits) {
    ChangeApplication result;
    // What to take out is found before anything moves. An entry that is not
    // there any more leaves the other program's version; where the change
    // puts a new version of it in, that goes in beside it as the user's.
    const Plan plan = planOf(store, change, table);
    if (withinLimits && passesLimits(store, change, plan)) {
        result.tooLarge = true;
        return result;
    }
    bool charsetsChanged = false;
    if (change.headerAfter) {
        DictionaryHeader header = *change.headerAfter;
        header.filePath = store.header.filePath;
        charsetsChanged = header.languageCharset != store.header.languageCharset;
        store.header = std::move(header);
    }

    const std::size_t entriesBefore = store.entryCount();
    const bool large = plan.size() > largeChangeFrom;
    if (atTheEnd(store, plan)) {
        result.focus = applyAtTheEnd(store, change, plan, tables);
        if (table) table->forget();
    } else if (large) {
        result.focus = applyInOnePass(store, change, plan, tables);
        if (table) table->forget();
    } else {
        result.focus = applyInSteps(store, change, plan, tables, table);
    }
    if (charsetsChanged && !large) store.rebuildIndexes(tables);
    result.applied = plan.size();
    result.conflicts = plan.conflicts;
    // A change that only took entries out leaves the user on the entry behind them.
    if (!result.focus && store.entryCount() > 0 && store.entryCount() != entriesBefore) {
        const std::uint32_t first = plan.dropped.front();
        result.focus = std::min<std::uint32_t>(first, static_cast<std::uint32_t>(store.entryCount() - 1));
    }
    return result;
}

}  // namespace

ChangeApplication applyChange(DictionaryStore& store, const DictionaryChange& change, const CharacterTables& tables) {
    return applyPlanned(store, change, tables, nullptr, true);
}

ChangeApplication applyChanges(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                               const CharacterTables& tables) {
    ChangeApplication result;
    ContentTable table;
    for (const DictionaryChange& change : changes) {
        const ChangeApplication one = applyPlanned(store, change, tables, &table, false);
        result.applied += one.applied;
        result.conflicts += one.conflicts;
        if (one.focus) result.focus = one.focus;
    }
    return result;
}

}  // namespace trelvo

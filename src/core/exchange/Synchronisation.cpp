#include "Synchronisation.h"

#include <cstdint>
#include <unordered_map>
#include <vector>
#include <utility>

#include "core/dictionary/DictionaryEntry.h"
#include "core/dictionary/DictionaryFile.h"

namespace trelvo {

namespace {

constexpr std::size_t idLength = 8;
constexpr std::size_t progressStep = 100;

// The term and translation of the entries present before the merge, so that
// an incoming entry is tested for repetition in constant time. It refers to
// entries by number instead of copying their texts: those entries stay at
// their numbers while new ones are appended behind them.
class KeptKeys {
public:
    explicit KeptKeys(const EntryList& entries) : entries_(entries) {}

    void reserve(std::size_t count) { byHash_.reserve(count); }
    // A pair already there is not added again: a lookup walks every record of
    // its hash, and a million equal entries would make each lookup walk them all.
    void add(std::uint32_t n) {
        if (!contains(entries_.term(n), entries_.translation(n)))
            byHash_.emplace(hashOf(entries_.term(n), entries_.translation(n)), n);
    }

    bool contains(std::string_view term, std::string_view translation) const {
        auto [first, last] = byHash_.equal_range(hashOf(term, translation));
        for (auto it = first; it != last; ++it) {
            if (entries_.term(it->second) == term && entries_.translation(it->second) == translation)
                return true;
        }
        return false;
    }

private:
    static std::size_t hashOf(std::string_view term, std::string_view translation) {
        const std::size_t a = std::hash<std::string_view>{}(term);
        const std::size_t b = std::hash<std::string_view>{}(translation);
        return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    }

    const EntryList& entries_;
    std::unordered_multimap<std::size_t, std::uint32_t> byHash_;
};

class ProgressTicker {
public:
    explicit ProgressTicker(const std::function<void(std::size_t)>& progress) : progress_(progress) {}
    void tick() {
        if (++done_ % progressStep == 0 && progress_) progress_(done_);
    }

private:
    const std::function<void(std::size_t)>& progress_;
    std::size_t done_ = 0;
};

// The incoming entries that no kept entry repeats. Incoming entries are not
// compared with each other, so repeats inside the file all arrive.
std::vector<std::uint32_t> newEntries(const KeptKeys& kept, const EntryList& incoming, ProgressTicker& ticker) {
    std::vector<std::uint32_t> fresh;
    for (std::size_t i = 0; i < incoming.size(); ++i) {
        if (!kept.contains(incoming.term(i), incoming.translation(i))) fresh.push_back(static_cast<std::uint32_t>(i));
        ticker.tick();
    }
    return fresh;
}

void appendEntries(EntryList& target, const EntryList& incoming, const std::vector<std::uint32_t>& chosen,
                   bool markImported) {
    for (std::uint32_t i : chosen)
        target.append(incoming.term(i), incoming.translation(i), incoming.note(i),
                      markImported ? static_cast<std::uint32_t>(efImported) : incoming.flags(i));
}

// Whether the merged dictionary, header and kept entries with the chosen
// incoming ones, could be saved and opened again.
bool withinLimits(const DictionaryLimits& limits, const DictionaryHeader& header, const EntryList& kept,
                  const EntryList& incoming, const std::vector<std::uint32_t>& chosen) {
    const std::size_t count = kept.size() + chosen.size();
    if (!limits.admit(0, count)) return false;
    std::size_t bytes = serializeDictionary(header, EntryList{}).size();
    for (std::size_t n = 0; n < kept.size(); ++n) bytes += storedEntrySize(kept, n);
    for (std::uint32_t i : chosen) bytes += storedEntrySize(incoming, i);
    return limits.admit(bytes, count);
}

}  // namespace

std::string unreadableDictionaryMessage(const std::string& path) {
    return "Soubor \"" + path + "\" nelze načíst jako slovník; nic se nezměnilo.";
}

std::string tooLargeMergeMessage(const std::string& path) {
    // Thousands apart, as Czech writes them.
    std::string count = std::to_string(dictionaryEntryLimit);
    for (std::size_t at = count.size() > 3 ? count.size() - 3 : 0; at > 0; at = at > 3 ? at - 3 : 0)
        count.insert(at, " ");
    return "Spojením se souborem \"" + path + "\" by slovník přesáhl " + count + " záznamů nebo " +
           std::to_string(dictionaryLimit >> 30) + " GiB a nešlo by jej znovu otevřít; nic se nezměnilo.";
}

bool sameDictionaryId(std::string_view idAndAccessCode1, std::string_view idAndAccessCode2) {
    return idAndAccessCode1.substr(0, idLength) == idAndAccessCode2.substr(0, idLength);
}

SyncOutcome synchronise(DictionaryStore& active, const CharacterTables& tables, const std::string& otherPath,
                        const std::function<bool()>& askImportOnly,
                        const std::function<void(std::size_t)>& progress, SyncCounts* counts,
                        const std::function<bool(SyncOutcome, const SyncCounts&)>& merging) {
    if (counts) *counts = {};
    if (!active.isOpen()) return SyncOutcome::noDictionary;

    // Read into a header of its own, so that the active pictures change only
    // when the whole other header is adopted.
    DictionaryHeader otherHeader;
    EntryList otherEntries;
    // An empty or broken file would otherwise pass for a newer edition of a
    // dictionary without ID and wipe its delivered entries.
    if (!readDictionaryFile(otherPath, otherHeader, otherEntries, active.limits)) return SyncOutcome::unreadable;

    const bool edition = sameDictionaryId(active.header.idAndAccessCode, otherHeader.idAndAccessCode);
    if (!edition && (!askImportOnly || !askImportOnly())) return SyncOutcome::declined;
    const SyncOutcome outcome = edition ? SyncOutcome::synchronised : SyncOutcome::imported;

    // The merge is worked out first; the active dictionary changes only once
    // it is agreed to.
    ProgressTicker ticker(progress);
    SyncCounts planned;
    if (edition) {
        // One stable pass into a fresh list: removing the delivered entries
        // one by one would move the rest each time.
        EntryList merged;
        merged.reserve(active.entries.size() + otherEntries.size());
        KeptKeys kept(merged);
        const EntryList& old = active.entries;
        for (std::size_t n = 0; n < old.size(); ++n) {
            if (old.flags(n) != efDefault) {
                merged.append(old.term(n), old.translation(n), old.note(n), old.flags(n));
                kept.add(static_cast<std::uint32_t>(merged.size() - 1));
            }
            ticker.tick();
        }
        const std::vector<std::uint32_t> fresh = newEntries(kept, otherEntries, ticker);
        planned = {old.size() - merged.size(), merged.size(), fresh.size()};
        if (!withinLimits(active.limits, otherHeader, merged, otherEntries, fresh)) return SyncOutcome::tooLarge;
        if (merging && !merging(outcome, planned)) return SyncOutcome::declined;
        appendEntries(merged, otherEntries, fresh, false);
        active.entries = std::move(merged);
        otherHeader.filePath = std::move(active.header.filePath);
        active.header = std::move(otherHeader);
    } else {
        KeptKeys kept(active.entries);
        kept.reserve(active.entries.size());
        for (std::size_t n = 0; n < active.entries.size(); ++n) {
            kept.add(static_cast<std::uint32_t>(n));
            ticker.tick();
        }
        const std::vector<std::uint32_t> fresh = newEntries(kept, otherEntries, ticker);
        planned = {0, active.entries.size(), fresh.size()};
        if (!withinLimits(active.limits, active.header, active.entries, otherEntries, fresh))
            return SyncOutcome::tooLarge;
        if (merging && !merging(outcome, planned)) return SyncOutcome::declined;
        appendEntries(active.entries, otherEntries, fresh, true);
    }

    active.rebuildIndexes(tables);
    if (counts) *counts = planned;
    return outcome;
}

}  // namespace trelvo

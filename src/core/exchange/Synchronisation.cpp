#include "Synchronisation.h"

#include <cstdint>
#include <vector>
#include <utility>

#include "core/dictionary/DictionaryEntry.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/InHalves.h"
#include "CzechNumbers.h"
#include "TermPairSet.h"

namespace trelvo {

namespace {

constexpr std::size_t idLength = 8;
constexpr std::size_t progressStep = 100;

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
// compared with each other, so repeats inside the file all arrive. A large
// file is tested in two halves at once; the half on this thread ticks.
std::vector<std::uint32_t> newEntries(const TermPairSet& kept, const EntryList& incoming, ProgressTicker& ticker) {
    std::vector<std::uint32_t> halves[2];
    // Room for every entry, which takes memory only as it is used: the
    // numbers are never moved while they come, nor when the halves are joined.
    halves[0].reserve(incoming.size());
    inHalves(incoming.size(), [&](std::size_t from, std::size_t to) {
        const bool first = from == 0;
        std::vector<std::uint32_t>& fresh = halves[first ? 0 : 1];
        if (!first) fresh.reserve(to - from);
        for (std::size_t i = from; i < to; ++i) {
            if (!kept.contains(incoming.term(i), incoming.translation(i))) fresh.push_back(static_cast<std::uint32_t>(i));
            if (first) ticker.tick();
        }
    });
    halves[0].insert(halves[0].end(), halves[1].begin(), halves[1].end());
    return std::move(halves[0]);
}

std::size_t textBytes(const EntryList& entries, std::size_t n) {
    return entries.term(n).size() + entries.translation(n).size() + entries.note(n).size();
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
    return "Spojením se souborem \"" + path + "\" by slovník přesáhl " + czechCount(dictionaryEntryLimit) +
           " záznamů nebo " + czechSize(dictionaryLimit) + " a nešlo by jej znovu otevřít; nic se nezměnilo.";
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
        // The entries that stay are copied aside; the merged list is then the
        // other file's own, its texts where they were read, behind the kept.
        std::size_t keptCount = 0, keptBytes = 0;
        const EntryList& old = active.entries;
        for (std::size_t n = 0; n < old.size(); ++n) {
            if (old.flags(n) == efDefault) continue;
            ++keptCount;
            keptBytes += textBytes(old, n);
        }
        EntryList kept;
        kept.reserve(keptCount, keptBytes);
        for (std::size_t n = 0; n < old.size(); ++n) {
            if (old.flags(n) != efDefault) kept.append(old.term(n), old.translation(n), old.note(n), old.flags(n));
            ticker.tick();
        }
        const std::vector<std::uint32_t> fresh = newEntries(TermPairSet(kept), otherEntries, ticker);
        planned = {old.size() - kept.size(), kept.size(), fresh.size()};
        if (!withinLimits(active.limits, otherHeader, kept, otherEntries, fresh)) return SyncOutcome::tooLarge;
        if (merging && !merging(outcome, planned)) return SyncOutcome::declined;
        active.clearIndexes();
        active.entries.clear();  // before the merged list takes its room
        otherEntries.keepOnly(fresh);
        otherEntries.prepend(kept);
        active.entries = std::move(otherEntries);
        otherHeader.filePath = std::move(active.header.filePath);
        active.header = std::move(otherHeader);
    } else {
        std::vector<std::uint32_t> fresh;
        {
            const TermPairSet kept(active.entries);
            fresh = newEntries(kept, otherEntries, ticker);
        }
        planned = {0, active.entries.size(), fresh.size()};
        if (!withinLimits(active.limits, active.header, active.entries, otherEntries, fresh))
            return SyncOutcome::tooLarge;
        if (merging && !merging(outcome, planned)) return SyncOutcome::declined;
        std::size_t bytes = 0;
        for (std::uint32_t i : fresh) bytes += textBytes(otherEntries, i);
        active.entries.reserve(active.entries.size() + fresh.size(), bytes);
        for (std::uint32_t i : fresh)
            active.entries.append(otherEntries.term(i), otherEntries.translation(i), otherEntries.note(i), efImported);
    }

    active.rebuildIndexes(tables);
    if (counts) *counts = planned;
    return outcome;
}

}  // namespace trelvo

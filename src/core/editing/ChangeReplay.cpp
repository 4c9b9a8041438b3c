#include "ChangeReplay.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/TemporaryFile.h"
#include "core/exchange/CzechNumbers.h"
#include "core/exchange/Export.h"
#include "core/settings/ProgramFolder.h"

namespace trelvo {

namespace {

// Whether changes could make store pass its limits: each entry they put in
// added to what it holds now, none taken out, under the largest header.
bool mayPassLimits(const DictionaryStore& store, const std::vector<DictionaryChange>& changes) {
    static const EntryList none;
    std::size_t count = store.entryCount();
    std::size_t entryBytes = 0;
    std::size_t head = storedSize(store.header, none);
    for (const DictionaryChange& change : changes) {
        count += change.added.size();
        for (std::size_t j = 0; j < change.added.size(); ++j) entryBytes += storedEntrySize(change.added, j);
        if (change.headerAfter) head = std::max(head, storedSize(*change.headerAfter, none));
    }
    if (!store.limits.admit(0, count)) return true;
    return !store.limits.admit(storedSize(store.header, store.entries) - storedSize(store.header, none) + head +
                                   entryBytes,
                               count);
}

ReplayCounts replayInPlace(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                           const CharacterTables& tables) {
    // Each change kept in the indexes would move a large part of them: they
    // are built once behind the last.
    const bool indexed = store.indexed && changes.size() > 1;
    if (indexed) {
        store.clearIndexes();
        store.indexed = false;
    }
    ReplayCounts counts;
    counts.conflicts = applyChanges(store, changes, tables).conflicts;
    counts.changes = changes.size();
    if (indexed) {
        store.indexed = true;
        store.rebuildIndexes(tables);
    }
    return counts;
}

}  // namespace

ReplayCounts replayChanges(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                           const CharacterTables& tables) {
    if (!mayPassLimits(store, changes)) return replayInPlace(store, changes, tables);
    // Near the limits the changes go onto a copy of the entries, taken over
    // only when the result is within them.
    DictionaryStore trial;
    trial.header = store.header;
    trial.entries = store.entries;
    trial.indexed = false;
    ReplayCounts counts = replayInPlace(trial, changes, tables);
    if (!store.limits.admit(storedSize(trial.header, trial.entries), trial.entryCount())) {
        counts = {};
        counts.tooLarge = true;
        return counts;
    }
    store.header = std::move(trial.header);
    store.entries = std::move(trial.entries);
    store.rebuildIndexes(tables);
    return counts;
}

std::optional<ReplayCounts> mergeOntoFile(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                                          const CharacterTables& tables) {
    DictionaryStore now;
    now.limits = store.limits;
    // The indexes are built once, behind the last change.
    if (!now.openEntries(store.header.filePath)) return std::nullopt;
    // The path as the window knows it, not as the file was found.
    now.header.filePath = store.header.filePath;
    const ReplayCounts counts = replayChanges(now, changes, tables);
    if (counts.tooLarge) return counts;
    now.indexed = true;
    now.rebuildIndexes(tables);
    now.catalogueNames = std::move(store.catalogueNames);
    now.cataloguePaths = std::move(store.cataloguePaths);
    store = std::move(now);
    return counts;
}

EntryList entriesPutIn(const std::vector<DictionaryChange>& changes) {
    std::vector<DictionaryEntry> kept;
    for (const DictionaryChange& change : changes) {
        // An entry put in and later edited or deleted again is no longer the user's.
        for (std::size_t i = 0; i < change.removed.size(); ++i) {
            const DictionaryEntry gone = change.removed.entry(i);
            for (auto it = kept.rbegin(); it != kept.rend(); ++it)
                if (*it == gone) {
                    kept.erase(std::next(it).base());
                    break;
                }
        }
        for (std::size_t i = 0; i < change.added.size(); ++i) kept.push_back(change.added.entry(i));
    }
    EntryList entries;
    for (const DictionaryEntry& entry : kept) entries.append(entry);
    return entries;
}

std::string saveForImport(const DictionaryHeader& header, const EntryList& entries) {
    DictionaryStore store;
    store.header = header;
    store.entries = entries;
    LargeVector<std::uint32_t> order;
    for (std::uint32_t n = 0; n < entries.size(); ++n) order.push_back(n);
    ExportChoice choice;
    choice.order = &order;
    std::string stem = nameOf(header.filePath);
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    for (const std::string& folder : {folderOf(header.filePath), ProgramFolder::userDataFolder()}) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        for (int k = 1; k < 100; ++k) {
            const std::string path = folder + "/" + stem + " – neuložené změny" +
                                     (k == 1 ? std::string() : " " + std::to_string(k)) + ".csv";
            struct stat taken {};
            if (::lstat(path.c_str(), &taken) == 0) continue;
            const std::optional<std::size_t> written =
                exportEntries(store, choice, ExportFormat::csv, path, [] { return 0u; });
            if (written) return path;
            break;  // a folder that takes no file: the next one
        }
    }
    return {};
}

std::string tooLargeReplayMessage(const std::string& path, const DictionaryLimits& limits) {
    return "Změnami by slovník \"" + path + "\" přesáhl " + czechCount(limits.entryCount) + " záznamů nebo " +
           czechSize(limits.fileSize) + " a nešlo by jej uložit ani znovu otevřít; nic se nezměnilo.";
}

}  // namespace trelvo

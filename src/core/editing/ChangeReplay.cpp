#include "ChangeReplay.h"

#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "core/dictionary/TemporaryFile.h"
#include "core/exchange/Export.h"
#include "core/settings/ProgramFolder.h"

namespace trelvo {

ReplayCounts replayChanges(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                           const CharacterTables& tables) {
    ReplayCounts counts;
    // Each change kept in the indexes would move a large part of them: they
    // are built once behind the last.
    const bool indexed = store.indexed && changes.size() > 1;
    if (indexed) {
        store.clearIndexes();
        store.indexed = false;
    }
    for (const DictionaryChange& change : changes) {
        counts.conflicts += applyChange(store, change, tables).conflicts;
        ++counts.changes;
    }
    if (indexed) {
        store.indexed = true;
        store.rebuildIndexes(tables);
    }
    return counts;
}

std::optional<ReplayCounts> mergeOntoFile(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                                          const CharacterTables& tables) {
    DictionaryStore now;
    now.limits = store.limits;
    if (!now.openFile(store.header.filePath, tables)) return std::nullopt;
    // The path as the window knows it, not as the file was found.
    now.header.filePath = store.header.filePath;
    const ReplayCounts counts = replayChanges(now, changes, tables);
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

}  // namespace trelvo

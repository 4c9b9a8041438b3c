#include "DictionaryStore.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "AsciiText.h"
#include "AtomicFile.h"
#include "DictionaryFile.h"
#include "DictionaryLock.h"
#include "SaveJournal.h"
#include "TemporaryFile.h"

namespace trelvo {

std::uint32_t DictionaryStore::appendEntry(std::string_view term, std::string_view translation,
                                           std::string_view note, std::uint32_t flags) {
    auto n = static_cast<std::uint32_t>(entries.size());
    entries.append(term, translation, note, flags);
    return n;
}

void DictionaryStore::removeEntry(std::uint32_t n) {
    entries.remove(n);
    for (DictionaryIndex& index : indexes) {
        std::size_t position = index.find(n);
        if (position < index.size()) index.remove(position);
        index.renumberAfterRemoval(n);
    }
}

void DictionaryStore::insertEntry(std::uint32_t n, const DictionaryEntry& entry) {
    entries.insert(n, entry);
    for (DictionaryIndex& index : indexes) index.renumberBeforeInsertion(n);
}

std::size_t DictionaryStore::insertIndexRecord(int k, std::string_view key, std::uint32_t n) {
    return indexes[static_cast<std::size_t>(k)].insert(key, n);
}

void DictionaryStore::removeIndexRecord(int k, std::size_t position) {
    indexes[static_cast<std::size_t>(k)].remove(position);
}

std::size_t DictionaryStore::findIndexPosition(int k, std::uint32_t n) const {
    return indexes[static_cast<std::size_t>(k)].find(n);
}

void DictionaryStore::clearIndexes() {
    for (DictionaryIndex& index : indexes) index.clear();
}

void DictionaryStore::rebuildIndexes(const CharacterTables& tables) {
    if (!isOpen() || !indexed) return;
    clearIndexes();
    for (int k = 0; k < 2; ++k) buildIndex(k, tables);
}

void DictionaryStore::buildIndex(int k, const CharacterTables& tables) {
    DictionaryIndex& index = indexes[static_cast<std::size_t>(k)];
    index.clear();  // before the new one takes its room
    index = DictionaryIndex::build(entries, k, tables, tableOf(k));
}

void DictionaryStore::scanCatalogue(const std::string& folder) {
    namespace fs = std::filesystem;
    // A killed save leaves a temporary file as large as the dictionary.
    removeStaleTemporaryFiles(folder);
    catalogueNames.clear();
    cataloguePaths.clear();
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code ignored;
        if (endsWithIgnoringCase(name, ".dsl") && it->is_regular_file(ignored)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    for (const fs::path& file : files) {
        if (auto name = readDictionaryName(file.string())) {
            catalogueNames.push_back(std::move(*name));
            cataloguePaths.push_back(file.string());
        }
    }
}

bool DictionaryStore::readFile(const std::string& path) {
    // A save of it that was cut is finished first, and the leftovers of
    // killed saves beside it go, wherever the dictionary lies.
    finishInterruptedSave(path);
    removeStaleTemporaryFiles(folderOf(path));
    // Taken before the read: a save landing in between then shows as a
    // change at the next save, rather than passing unseen.
    const FileIdentity before = FileIdentity::of(path);
    if (!readDictionaryFile(path, header, entries, limits)) return false;
    header.filePath = path;
    fileIdentity = before;
    return true;
}

bool DictionaryStore::openFile(const std::string& path, const CharacterTables& tables) {
    if (!readFile(path)) return false;
    indexed = true;
    rebuildIndexes(tables);
    return true;
}

bool DictionaryStore::openEntries(const std::string& path) {
    if (!readFile(path)) return false;
    indexed = false;
    clearIndexes();
    return true;
}

bool DictionaryStore::saveDictionary() {
    if (!isOpen() || !writeDictionaryFile(header, entries, header.filePath, limits)) return false;
    fileIdentity = FileIdentity::of(header.filePath);
    return true;
}

DictionaryStore::SaveOutcome DictionaryStore::saveGuarded(const std::function<bool()>& overwrite,
                                                          std::chrono::milliseconds wait,
                                                          const std::function<void()>& beforeWrite) {
    if (!isOpen()) return SaveOutcome::failed;
    // The file as it was when overwrite() agreed to replace it; a still newer
    // change is asked about again.
    std::optional<FileIdentity> agreed;
    for (;;) {
        DictionaryLock lock;
        if (lock.lock(header.filePath, wait) == DictionaryLock::Outcome::busy) return SaveOutcome::busy;
        const FileIdentity now = FileIdentity::of(header.filePath);
        if (now == fileIdentity || now == agreed) {
            if (beforeWrite) beforeWrite();
            if (saveDictionary()) return SaveOutcome::saved;
            if (!saveLeftUnfinished(header.filePath)) return SaveOutcome::failed;
            // The file holds this store's own unfinished save, no other program's change.
            fileIdentity = FileIdentity::of(header.filePath);
            return SaveOutcome::unfinished;
        }
        lock.release();
        if (!overwrite()) return SaveOutcome::declined;
        agreed = now;
    }
}

}  // namespace trelvo

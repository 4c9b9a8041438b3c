#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CharacterTables.h"
#include "DictionaryFile.h"
#include "DictionaryHeader.h"
#include "DictionaryIndex.h"
#include "EntryList.h"

namespace trelvo {

// The one active dictionary: its header, its entries in file order and an
// index per language; beside it the catalogue of the dictionary folder.
class DictionaryStore {
public:
    DictionaryHeader header;  // filePath empty: no dictionary is open
    EntryList entries;
    std::array<DictionaryIndex, 2> indexes;
    std::vector<std::string> catalogueNames;
    std::vector<std::string> cataloguePaths;
    // What the dictionary may grow to: opened, merged into and saved within these.
    DictionaryLimits limits;

    bool isOpen() const { return !header.filePath.empty(); }
    std::size_t entryCount() const { return entries.size(); }
    // The collation table of language k.
    int tableOf(int k) const { return CharacterTables::tableOfCharset(header.languageCharset[k]); }

    // Adds an entry at the end; its number is the old count. The caller adds
    // its index records.
    std::uint32_t appendEntry(std::string_view term, std::string_view translation, std::string_view note,
                              std::uint32_t flags);
    // Removes entry n and its record from each index; entries behind it move
    // one place down in the list and in both indexes.
    void removeEntry(std::uint32_t n);

    std::size_t insertIndexRecord(int k, std::string_view key, std::uint32_t n);
    void removeIndexRecord(int k, std::size_t position);
    std::size_t findIndexPosition(int k, std::uint32_t n) const;
    void clearIndexes();
    // Both indexes from scratch, each keyed with its own language's table.
    void rebuildIndexes(const CharacterTables& tables);

    // The files of folder whose names end in ".dsl" in any letter case, by
    // file name, that read as dictionaries. Stale temporary files of saves
    // in folder are removed first.
    void scanCatalogue(const std::string& folder);

    // Makes the dictionary at path the active one. On failure nothing changes.
    bool openFile(const std::string& path, const CharacterTables& tables);
    // Writes the active dictionary to its file; false when none is open or the
    // write failed (the old file then stays as it was).
    bool saveDictionary() const;
};

}  // namespace trelvo

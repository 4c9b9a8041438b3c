#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "CharacterTables.h"
#include "DictionaryFile.h"
#include "DictionaryHeader.h"
#include "DictionaryIndex.h"
#include "EntryList.h"
#include "FileIdentity.h"

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
    // Whether both indexes are kept in step with the entries. A command that
    // changes the entries and saves them at once has no use for them.
    bool indexed = true;
    // The dictionary file as this store last read or wrote it; another
    // program's save since shows as a difference.
    FileIdentity fileIdentity;
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
    // Puts entry in at n (at most the count); entries from n on move one
    // place up in the list and in both indexes. The caller adds its index records.
    void insertEntry(std::uint32_t n, const DictionaryEntry& entry);

    std::size_t insertIndexRecord(int k, std::string_view key, std::uint32_t n);
    void removeIndexRecord(int k, std::size_t position);
    std::size_t findIndexPosition(int k, std::uint32_t n) const;
    void clearIndexes();
    // Both indexes from scratch, each keyed with its own language's table;
    // nothing while the store keeps no indexes.
    void rebuildIndexes(const CharacterTables& tables);
    // Index k from scratch, whether or not the store keeps indexes.
    void buildIndex(int k, const CharacterTables& tables);

    // The files of folder whose names end in ".dsl" in any letter case, by
    // file name, that read as dictionaries. The leftovers of killed saves in
    // folder are removed first (AtomicFile.h).
    void scanCatalogue(const std::string& folder);

    // Makes the dictionary at path the active one. On failure nothing changes.
    // A save of the file that was cut is finished first (SaveJournal.h).
    bool openFile(const std::string& path, const CharacterTables& tables);
    // The same without indexes: indexed becomes false, and the indexes stay empty.
    bool openEntries(const std::string& path);
    // Writes the active dictionary to its file; false when none is open or the
    // write failed (the old file then stays as it was). The caller holds the
    // dictionary's lock, or is sure no one else writes the file.
    bool saveDictionary();

    enum class SaveOutcome {
        saved,
        failed,    // no dictionary open, or the write failed; the file is as it was
        // The write failed while the file was overwritten in place: the file
        // is cut until its next opening finishes it with these contents.
        unfinished,
        busy,      // another program held the dictionary's lock for the whole wait
        declined,  // the file changed since, and overwrite() said no: nothing written
    };
    // Saves under the dictionary's lock, waiting for it at most wait. When the
    // file is no longer the one this store read or wrote, overwrite() decides
    // first whether it is replaced all the same; the lock is not held while it
    // runs, so that a question to the user keeps no other program waiting.
    // beforeWrite, when given, runs under the lock just before the file is
    // written, when it is as it will be replaced (to back it up).
    SaveOutcome saveGuarded(const std::function<bool()>& overwrite, std::chrono::milliseconds wait,
                            const std::function<void()>& beforeWrite = {});

private:
    // Header and entries from the file at path, its identity taken first.
    bool readFile(const std::string& path);
};

}  // namespace trelvo

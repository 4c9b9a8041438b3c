#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "DictionaryChange.h"

namespace trelvo {

// What replaying a list of changes did.
struct ReplayCounts {
    std::size_t changes = 0;    // changes replayed
    std::size_t conflicts = 0;  // entries changed or removed on the other side too
    // The result would pass the store's limits, and could not be saved or
    // opened again: no change was replayed, the store is as it was.
    bool tooLarge = false;
};

// Applies changes in order to the open dictionary of store, all or none.
ReplayCounts replayChanges(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                           const CharacterTables& tables);

// Reads the dictionary file of store as it is now and replays changes onto
// it: another program's save and this window's changes in one. The store
// then holds the result and the identity of the file as read; its catalogue
// stays. Nothing when the file cannot be read, and the store is as it was;
// the same, with tooLarge, when the result would pass the store's limits.
std::optional<ReplayCounts> mergeOntoFile(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                                          const CharacterTables& tables);

// The entries the changes put in and did not take out again, in the order
// they came: what the user added or edited, for a journal whose file has
// changed since and that cannot be replayed onto it.
EntryList entriesPutIn(const std::vector<DictionaryChange>& changes);

// Writes entries, in the languages of header, as a CSV file that the import
// takes: beside the dictionary file of header, or in the user's data folder
// when its folder takes no file, under a name no file has yet. Gives the
// file's path, empty when it could not be written anywhere.
std::string saveForImport(const DictionaryHeader& header, const EntryList& entries);

// The error text (UTF-8) for changes that would make the dictionary at path
// pass limits; what is done instead follows it.
std::string tooLargeReplayMessage(const std::string& path, const DictionaryLimits& limits);

}  // namespace trelvo

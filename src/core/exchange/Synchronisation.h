#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"

namespace trelvo {

enum class SyncOutcome {
    synchronised,  // same dictionary ID: the other file was taken as a newer edition
    imported,      // different ID, the user agreed: new entries added as imported
    declined,      // different ID, the user refused: nothing changed
    unreadable,    // the reader rejected the other file: nothing changed
    tooLarge,      // the merged dictionary would pass the store's limits: nothing changed
    noDictionary,  // no active dictionary: nothing changed
};

// The error text (UTF-8) for a file at path that the reader rejected.
std::string unreadableDictionaryMessage(const std::string& path);
// The error text (UTF-8) for a merge with the file at path that would leave a
// dictionary too large to be saved and opened again.
std::string tooLargeMergeMessage(const std::string& path);

// Two dictionaries are editions of one when the first 8 bytes of their
// idAndAccessCode match; the access code behind them does not matter.
bool sameDictionaryId(std::string_view idAndAccessCode1, std::string_view idAndAccessCode2);

// What a merge does to the active dictionary's entries.
struct SyncCounts {
    std::size_t replaced = 0;  // the dictionary's own delivered entries, dropped for the new edition
    std::size_t kept = 0;      // entries that stay (the user's and the imported; on an import, all)
    std::size_t added = 0;     // incoming entries appended
    bool operator==(const SyncCounts&) const = default;
};

// Merges the dictionary file at otherPath into the active dictionary.
//
// Equal IDs: the other header (pictures included, filePath excepted) replaces
// the active one, the entries delivered with the old edition (efDefault) are
// dropped, and every entry of the other file that does not repeat a kept
// entry (equal term and equal translation, byte for byte) is appended with
// the flags stored in the file.
// Different IDs: askImportOnly decides (an empty function declines). On yes,
// every entry of the other file not already present is appended as
// efImported; the header and pictures stay.
//
// A merge whose result would pass active.limits is refused before anything
// changes, so that the dictionary is never grown beyond what a save may write.
//
// merging, when given, is called once the other file has been read, the
// import-only question answered and the limits checked, with what the merge
// will do, before anything changes: the moment to ask about a large change
// and to say that the work is under way. Its false declines, changing nothing.
//
// The indexes are rebuilt when entries changed. Saving is left to the caller,
// for synchronised and imported alike. progress is called with the number of
// items handled so far at every hundredth one, so that the window can repaint;
// it may be empty. counts, when given, receives what the merge did.
SyncOutcome synchronise(DictionaryStore& active, const CharacterTables& tables, const std::string& otherPath,
                        const std::function<bool()>& askImportOnly,
                        const std::function<void(std::size_t)>& progress, SyncCounts* counts = nullptr,
                        const std::function<bool(SyncOutcome, const SyncCounts&)>& merging = {});

}  // namespace trelvo

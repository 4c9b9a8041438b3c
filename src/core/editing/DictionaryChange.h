#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryHeader.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/dictionary/EntryList.h"

namespace trelvo {

// What the user did, as the window names it in "Zpět: …" and the journal keeps it.
enum class ChangeKind : std::uint8_t {
    added,                // a new entry
    edited,               // one cell of an entry
    deleted,              // one entry
    clearedTranslations,  // the texts of language 1 emptied
    clearedNotes,
    converted,            // every entry made delivered
    properties,           // the header
    imported,
    synchronised,         // a synchronisation or an update
    restored,             // the contents of a backup
    merged,               // another program's save taken in with this window's changes
};

// One change to the open dictionary in a form that can be taken back, done
// again, written to the recovery journal and replayed onto another state of
// the file (after another program saved it). Entries are whole, so that a
// change can find its entry by content where its number no longer fits.
struct DictionaryChange {
    ChangeKind kind = ChangeKind::edited;
    // The header before and after; both empty when the header stayed. The
    // file path in them is never applied.
    std::optional<DictionaryHeader> headerBefore;
    std::optional<DictionaryHeader> headerAfter;
    // The entries the change took out, with their numbers in the list before
    // it (ascending), and those it put in, with their numbers in the list
    // after it (ascending). An edit takes out the old entry and puts in the
    // new one at the same number.
    EntryList removed;
    std::vector<std::uint32_t> removedNumbers;
    EntryList added;
    std::vector<std::uint32_t> addedNumbers;

    bool empty() const { return !headerAfter && removed.empty() && added.empty(); }
    // The change that takes this one back.
    DictionaryChange inverse() const;
    // Makes this change its own inverse, moving its entries rather than
    // copying them: twice over gives the change back.
    void invert();

    // The entry store holds at number n, added by the caller just now.
    static DictionaryChange entryAdded(const DictionaryStore& store, std::uint32_t n);
    // Entry n was before and is now what store holds at n.
    static DictionaryChange entryEdited(const DictionaryStore& store, std::uint32_t n, const DictionaryEntry& before);
    // Entry n, which was before, has been removed from store.
    static DictionaryChange entryDeleted(std::uint32_t n, const DictionaryEntry& before);
    // Everything between two states of the entries, for changes of many
    // entries: only what differs is kept (the entries both ends share are not).
    static DictionaryChange between(ChangeKind kind, const EntryList& before, const EntryList& after);
    // The entries of entries from number from on, appended just now (an
    // import): no copy of the list before is needed.
    static DictionaryChange appended(ChangeKind kind, const EntryList& entries, std::uint32_t from);
    static DictionaryChange headerChanged(const DictionaryHeader& before, const DictionaryHeader& after);
};

// What applying a change did. An entry to take out is looked for at its
// number first, then by its content; one found nowhere (another program
// changed or deleted it since) is a conflict: the version the other program
// wrote stays, and where the change put a new version of that entry in, it is
// added beside it as the user's.
struct ChangeApplication {
    std::size_t applied = 0;    // entries taken out or put in as the change says
    std::size_t conflicts = 0;  // entries to take out that were not there
    // The entry number the change leaves the user on (for the cursor), if any.
    std::optional<std::uint32_t> focus;
    // The change would have made the dictionary larger than store.limits
    // admit, so that it could not be saved or opened again: nothing changed.
    bool tooLarge = false;
};

// Applies change to the open dictionary of store, keeping its indexes (when
// it keeps them) sorted with tables. Large changes rebuild the indexes once;
// entries taken off or put on the end of the list cost no new sort.
ChangeApplication applyChange(DictionaryStore& store, const DictionaryChange& change, const CharacterTables& tables);

// Applies changes in order, each as applyChange does, with the counts summed
// and the focus of the last change that had one. Entries that moved are found
// through one table of content for all of them, not a search of the list per
// change. The limits are not checked change by change: the caller judges the
// result as a whole.
ChangeApplication applyChanges(DictionaryStore& store, const std::vector<DictionaryChange>& changes,
                               const CharacterTables& tables);

}  // namespace trelvo

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"

namespace trelvo {

// The changes the user makes to the active dictionary's entries, keeping both
// indexes sorted. Texts are bytes in their language's code page.
class EntryEditing {
public:
    EntryEditing(DictionaryStore& store, const CharacterTables& tables, int sourceSide, int targetSide);

    // A new user entry; returns its position in the source index, behind
    // the entries with an equal key. Nothing is added while no dictionary is
    // open (there is no file to keep it), nor for an empty term. Texts keep
    // no control characters (see entryText).
    bool addEntry(std::string_view term, std::string_view translation, std::size_t& position);

    // The text of grid column 0 (source), 1 (target) or 2 (note) of the entry
    // at position of the source index becomes text. False when nothing changed.
    bool commitCellEdit(int column, std::size_t position, std::string_view text);

    // The entry at position of the source index; false when there is none.
    bool deleteEntry(std::size_t position);

    // Empties the texts of language 1, whatever the direction; every entry
    // becomes the user's.
    void clearTranslations();
    // Empties every note; the flags stay.
    void clearNotes();

private:
    void rekey(int side, std::uint32_t entry);

    DictionaryStore& store_;
    const CharacterTables& tables_;
    int sourceSide_;
    int targetSide_;
};

}  // namespace trelvo

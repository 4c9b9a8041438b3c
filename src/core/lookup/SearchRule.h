#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"

namespace trelvo {

// What a search works on: the active dictionary and the direction state of
// the main window, by reference, and the window's own way to swap directions.
struct SearchContext {
    const DictionaryStore& store;
    const CharacterTables& tables;
    int& sourceSide;
    int& targetSide;
    int& sourceTable;
    int& targetTable;
    bool& inFallback;
    std::function<void()> swapDirection;
    // The typed text in the given code page, for the fallback's probe of the
    // other language: typed text stays Unicode until its language is known,
    // or the other language's letters would already be '?'. Empty: the
    // search text's own bytes are used.
    std::function<std::string(int codePage)> typedIn = {};
    // The first position of an index whose key is not less than a key, for a
    // caller that has such searches under way already. Empty: the index's
    // own lowerBound.
    std::function<std::size_t(const DictionaryIndex& index, std::string_view key)> lowerBound = {};
    // Set by a caller that made the text's key itself, ahead of the search:
    // the text passed is that key, and typedIn gives the typed text.
    bool textIsKey = false;
};

// The position in indexes[side] that text leads to: the first equal key; else,
// when the first word belongs to the other language only, that language's
// position after swapping the direction (the typed text in that language's
// code page, keyed with its table); else the nearer neighbour by the count of equal bytes at equal
// positions, a tie to the lower. The text is replaced by its collation key
// (unless a fallback is running, which passes keys, or the caller passed one).
std::size_t findPosition(SearchContext& context, std::string& text, int side, int table);

// Exchanges the two sides and keeps the entry under the cursor: currentPosition
// moves to that entry's place in the new source index. The tables follow.
void swapSides(const DictionaryStore& store, int& sourceSide, int& targetSide, int& sourceTable,
               int& targetTable, std::size_t& currentPosition);

}  // namespace trelvo

#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/lookup/Direction.h"

namespace trelvo {

// What a search works on: the active dictionary and its tables, and what the
// caller offers beyond the search text.
struct SearchContext {
    const DictionaryStore& store;
    const CharacterTables& tables;
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

// Where a search leads. The position is one of the index of
// direction.sourceSide: the direction searched in, or, when the text proved a
// word of the other language (swapsDirection), the swapped one, which the
// caller turns to before it shows the position.
struct SearchAnswer {
    std::size_t position = 0;
    bool swapsDirection = false;
    Direction direction;
};

// Where text leads in the source index of direction: the first equal key;
// else, when the first word belongs to the other language only, that
// language's position, the direction swapped (the typed text in that
// language's code page, keyed with its table); else the nearer neighbour by
// the count of equal bytes at equal positions, a tie to the lower. The text
// is replaced by its collation key (unless the caller passed one).
SearchAnswer findPosition(const SearchContext& context, std::string& text, const Direction& direction);

// Where the entry at position in indexes[fromSide] stands in the other
// index, so that a swap keeps the entry under the cursor; position itself
// when it is beyond the index.
std::size_t positionAcross(const DictionaryStore& store, int fromSide, std::size_t position);

}  // namespace trelvo

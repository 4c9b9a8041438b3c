#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"

namespace trelvo {

// One line of an import file: the term (language 0) and its translation
// (language 1), as bytes in those languages' code pages.
struct ImportedPair {
    std::string term;
    std::string translation;

    bool operator==(const ImportedPair&) const = default;
};

// Longest line the import keeps; the rest of a longer line is dropped, so that
// a stray long line cannot turn into entries of its own.
inline constexpr std::size_t maxImportLineLength = 999;

// The pairs of an import file. UTF-16 LE text (a leading FF FE, or a zero byte
// at an odd offset among bytes 3..21) has its term converted to termCodePage
// and its translation to translationCodePage; other files are taken byte for
// byte, as they are already in the dictionary's code pages.
std::vector<ImportedPair> readImportLines(std::string_view fileBytes, int termCodePage,
                                          int translationCodePage);

// The pairs of a file for the store's languages (their code pages by charset).
std::vector<ImportedPair> readImportLines(std::string_view fileBytes, const DictionaryHeader& header);

// Appends the pairs the dictionary does not hold yet (same term and the same
// translation, byte for byte, among the entries present before the call) as
// imported entries with an empty note, and adds them to both indexes. The
// first column always goes to language 0: a caller showing the swapped
// direction turns it back to normal first. progress is called with the count
// of items handled every 100 items, so that a window can repaint. Returns the
// number of entries added.
std::size_t importPairs(DictionaryStore& store, const CharacterTables& tables,
                        const std::vector<ImportedPair>& pairs,
                        const std::function<void(std::size_t)>& progress);

}  // namespace trelvo

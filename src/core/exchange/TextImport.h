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
    std::string note = {};  // in the code page of the program's texts; word lists have none

    bool operator==(const ImportedPair&) const = default;
};

// Longest line the import keeps; the rest of a longer line is dropped, so that
// a stray long line cannot turn into entries of its own.
inline constexpr std::size_t maxImportLineLength = 999;

enum class TextEncoding { codePages, utf16, utf8 };

// What reading a word list found besides its pairs.
struct ImportReading {
    TextEncoding encoding = TextEncoding::codePages;
    std::size_t replacedCharacters = 0;  // characters the code page lacks, now '?'
    std::vector<std::string> leftLanguages;  // languages of an interchange file the dictionary lacks
    std::string error;                       // why a file could not be read at all
};

// text in codePage; each character the code page lacks becomes '?' and is
// counted in replaced.
std::string toCodePage(std::u16string_view text, int codePage, std::size_t& replaced);

// The pairs of an import file. The encoding is recognised in this order:
// UTF-16 LE (a leading FF FE, or a zero byte at an odd offset among bytes
// 3..21); UTF-8 with its mark (EF BB BF, never part of the first term); text
// that is valid UTF-8 and holds at least one multi-byte sequence. Unicode
// text has its term converted to termCodePage and its translation to
// translationCodePage; any other file is taken byte for byte, as it is
// already in the dictionary's code pages. reading, when given, receives the
// encoding and the count of characters that became '?'.
std::vector<ImportedPair> readImportLines(std::string_view fileBytes, int termCodePage, int translationCodePage,
                                          ImportReading* reading = nullptr);

// The pairs of a file for the store's languages (their code pages by charset).
std::vector<ImportedPair> readImportLines(std::string_view fileBytes, const DictionaryHeader& header,
                                          ImportReading* reading = nullptr);

// The pairs of a file chosen for import: CSV (.csv) and TBX (.tbx) by their
// name's ending, any other file as a word list.
std::vector<ImportedPair> readImportFile(std::string_view fileName, std::string_view fileBytes,
                                         const DictionaryHeader& header, ImportReading* reading = nullptr);

// True when bytes are valid UTF-8 with at least one multi-byte sequence:
// 8-bit text in a code page is that only by rare chance.
bool isUtf8Text(std::string_view bytes);

// Appends the pairs the dictionary does not hold yet (same term and the same
// translation, byte for byte, among the entries present before the call) as
// imported entries with an empty note, and adds them to both indexes while
// the store keeps them. The first column always goes to language 0: a caller
// showing the swapped direction turns it back to normal first. progress is
// called with the count of pairs judged every 100 pairs, so that a window
// can repaint. Returns the number of entries added.
std::size_t importPairs(DictionaryStore& store, const CharacterTables& tables,
                        const std::vector<ImportedPair>& pairs,
                        const std::function<void(std::size_t)>& progress);

}  // namespace trelvo

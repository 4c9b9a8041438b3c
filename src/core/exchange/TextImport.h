#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"
#include "ImportSource.h"

namespace trelvo {

// Longest line the import keeps; the rest of a longer line is dropped, so that
// a stray long line cannot turn into entries of its own.
inline constexpr std::size_t maxImportLineLength = 999;

enum class TextEncoding { codePages, utf16, utf8 };

// What reading an import file found besides its pairs.
struct ImportReading {
    TextEncoding encoding = TextEncoding::codePages;
    std::size_t replacedCharacters = 0;  // characters the code page lacks, now '?'
    std::size_t withdrawnTerms = 0;      // deprecated, superseded or obsolete terms of a termbase, left out
    std::vector<std::string> leftLanguages;  // languages of an interchange file the dictionary lacks
    std::string error;                       // why a file could not be read at all
};

// Receives the pairs of an import file one at a time, as they are read: the
// term (language 0) and its translation (language 1) in those languages' code
// pages, the note in the code page of the program's texts (word lists have
// none). Returning false stops the reading. The views last only for the call.
using PairSink = std::function<bool(std::string_view term, std::string_view translation, std::string_view note)>;

// A text of an import file as an entry keeps it: blanks and control
// characters at either end go, and each run of blanks inside it that holds a
// control character (a tab, a line break, any byte below 32) becomes one
// space, so that no entry can split the lines or the columns of an export,
// and none differs from another only by what was removed. The same in every
// code page.
std::string importedText(std::string_view text);

// text in codePage; each character the code page lacks becomes '?' and is
// counted in replaced.
std::string toCodePage(std::u16string_view text, int codePage, std::size_t& replaced);

// The pairs of a word list. The encoding is recognised in this order: UTF-16
// with its mark (FF FE little-endian, FE FF big-endian), UTF-16 LE without
// one (a zero byte at an odd offset among bytes 3..21); UTF-8 with its mark
// (EF BB BF, never part of the first term); text that is valid UTF-8 and
// holds at least one multi-byte sequence. Unicode text has its term
// converted to termCodePage and its translation to translationCodePage; any
// other file is taken byte for byte, as it is already in the dictionary's
// code pages. Lines are converted one at a time, so that no copy of the whole
// file is made. reading, when given, receives the encoding and the count of
// characters that became '?'.
void readImportLines(std::string_view fileBytes, int termCodePage, int translationCodePage, const PairSink& sink,
                     ImportReading* reading = nullptr);

// The pairs of a word list for the store's languages (their code pages by charset).
void readImportLines(std::string_view fileBytes, const DictionaryHeader& header, const PairSink& sink,
                     ImportReading* reading = nullptr);

// The pairs of a file chosen for import: a termbase (isTermbase) by its
// content, whatever its name, and a file named .tbx as a termbase too, so
// that a broken one is refused rather than read as lines; a workbook
// (isWorkbook) by its content, or by its name (.xlsx); CSV by its name's
// ending (.csv) or its content (isCsv); any other file as a word list. A
// termbase is read as it streams from the source, the others whole. A file
// that cannot be read to its end sets reading's error.
void readImportFile(std::string_view fileName, ImportSource& source, const DictionaryHeader& header,
                    const PairSink& sink, ImportReading* reading = nullptr);
void readImportFile(std::string_view fileName, std::string_view fileBytes, const DictionaryHeader& header,
                    const PairSink& sink, ImportReading* reading = nullptr);

// The whole of an import file as UTF-8, its encoding recognised as a word
// list's (see readImportLines) and given in encoding; 8-bit text is taken as
// codePage.
std::string utf8TextOf(std::string_view fileBytes, int codePage, TextEncoding& encoding);

// True when bytes are valid UTF-8 with at least one multi-byte sequence:
// 8-bit text in a code page is that only by rare chance.
bool isUtf8Text(std::string_view bytes);

enum class ImportOutcome {
    imported,    // the new pairs were added (maybe none)
    unreadable,  // the file is no file of its kind: nothing changed
    tooLarge,    // the dictionary would pass its limits: nothing changed
    cancelled,   // progress asked to stop: nothing changed
};

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::imported;
    ImportReading reading;
    std::size_t read = 0;   // pairs the file gave, up to where the reading stopped
    std::size_t added = 0;  // entries added
};

// Reads the file (see readImportFile) and appends the pairs the dictionary
// does not hold yet (the same term and translation, byte for byte, among the
// entries present before the call) as imported entries, adding them to both
// indexes while the store keeps them. The first column always goes to
// language 0: a caller showing the swapped direction turns it back to normal
// first. The entries go straight into the store, no list of pairs is built
// beside them, so that the import takes little more memory than the file and
// the entries it adds. progress is called with the count of pairs read every
// 100 pairs, so that a window can repaint; when it returns false the import
// stops. An import that is stopped, or that would leave more entries or a
// larger file than the store's limits admit, takes out what it added: the
// dictionary is as it was.
ImportResult importFile(DictionaryStore& store, const CharacterTables& tables, std::string_view fileName,
                        ImportSource& source, const std::function<bool(std::size_t)>& progress);
ImportResult importFile(DictionaryStore& store, const CharacterTables& tables, std::string_view fileName,
                        std::string_view fileBytes, const std::function<bool(std::size_t)>& progress);

// The error text (UTF-8) for an import from path that would pass the dictionary's limits.
std::string tooLargeImportMessage(const std::string& path, const DictionaryLimits& limits);

}  // namespace trelvo

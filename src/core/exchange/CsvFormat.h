#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Export.h"
#include "core/dictionary/DictionaryFile.h"
#include "TextImport.h"

namespace trelvo {

// CSV as spreadsheets and translation tools read it (RFC 4180): UTF-8, a
// header row of the languages' codes (cs,en,note, the source side first),
// lines ended by CR LF, a field with a comma, a quote or a line break in
// quotes and its quotes doubled. One line per selected entry: source text,
// target text, note.
std::string csvOf(const DictionaryStore& store, const ExportChoice& choice);

// True when bytes are CSV by their content: a first row, split at a comma,
// semicolon or tab, that is a header the CSV reader recognises (see
// readCsv); or, without one, first rows (up to 100) of which a semicolon
// or a comma splits every one into as many columns, two or more, while no
// tab splits any, or a tab splits every one into as many columns, three or
// more. A word list, whose two texts a tab parts, stays one, and so does one
// with a comma in some of its terms.
bool isCsv(std::string_view bytes, const DictionaryHeader& header);

// The rows of a CSV file as spreadsheets write it, to sink. The separator
// (semicolon, comma or tab) is the one that splits the rows into columns;
// quoted fields may hold separators, doubled quotes and line breaks (which
// become spaces). The encoding is recognised as a word list's; 8-bit text is
// taken as the code page of the dictionary's non-western language, every
// column alike, as a spreadsheet writes it. A first row that names two
// columns (the dictionary's language names or codes, cs, en-GB, or words such
// as Termín, Překlad, Poznámka, Term, Translation, Source, Target, Note,
// Definition) is the header, and the columns are taken by what it names;
// without one, the columns are term, translation, note. A file whose rows
// have no second column, or that two separators split alike, gives no pairs
// and sets reading's error, saying what was found. A row without a term adds
// nothing.
void readCsv(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink,
             ImportReading* reading = nullptr);

// Columns past these are not read: a glossary has a handful.
inline constexpr std::size_t sheetColumns = 32;
// The longest cell kept, in bytes: enough for the longest text an entry
// holds, in UTF-8; the rest of a longer cell is dropped.
inline constexpr std::size_t sheetCellBytes = 4 * maxTextLength;
// The cells of a row in UTF-8, and how many of them the row has.
using SheetRow = std::array<std::string, sheetColumns>;

// The rows of a sheet or CSV file as pairs for sink, by the header rules of
// readCsv: the function returned takes each row in order and gives false
// once sink stopped. Characters a code page lacks are counted in
// replacedCharacters.
std::function<bool(const SheetRow&, std::size_t)> pairsOfRows(const DictionaryHeader& header, const PairSink& sink,
                                                               std::size_t& replacedCharacters);

}  // namespace trelvo

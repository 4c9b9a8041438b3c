#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Export.h"
#include "TextImport.h"

namespace trelvo {

// CSV as spreadsheets and translation tools read it (RFC 4180): UTF-8, the
// header line term,translation,note, lines ended by CR LF, a field with a
// comma, a quote or a line break in quotes and its quotes doubled. One line
// per selected entry: source text, target text, note.
std::string csvOf(const DictionaryStore& store, const ExportChoice& choice);

// The rows of a CSV file, to sink: column 1 language 0, column 2 language 1,
// column 3 the note; a first row term,translation,... is the header. UTF-8
// (with or without its mark) is converted per language; other text is taken
// as the dictionary's own code pages. The rules of a word list hold: a row
// without a term adds nothing, and line breaks inside a field become spaces.
void readCsv(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink,
             ImportReading* reading = nullptr);

}  // namespace trelvo

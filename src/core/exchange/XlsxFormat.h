#pragma once

#include <string_view>

#include "Export.h"
#include "TextImport.h"
#include "core/dictionary/AtomicFile.h"

namespace trelvo {

// A workbook of one sheet as spreadsheets open it: a header row of the
// languages' codes and "note" (the source side first, as in the CSV export),
// frozen, then one row per selected entry in the source side's index order,
// texts in UTF-8, columns wide enough for their texts. The workbook is built
// in a temporary file and handed to put in pieces. False when it could not be
// built: more rows than a sheet holds (1,048,576) or a failed write.
bool writeXlsx(const DictionaryStore& store, const ExportChoice& choice, const ByteSink& put);

// The most a workbook's sheet or its shared strings may unpack to: more is
// refused before it is inflated, so that a small file cannot fill memory.
inline constexpr std::uint64_t xlsxPartLimit = std::uint64_t{1} << 30;

// True when bytes are a zip archive holding xl/workbook.xml.
bool isWorkbook(std::string_view bytes);

// The rows of the workbook's first sheet, to sink, by the header rules of the
// CSV reader (readCsv): shared and inline strings, numbers as the text the
// cell holds, an empty cell as an empty text. A damaged archive, one without
// a workbook or sheet, or a part beyond xlsxPartLimit sets reading's error;
// found midway, after the rows before it were given (importFile then keeps
// none of them).
void readXlsx(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink,
              ImportReading* reading = nullptr);

}  // namespace trelvo

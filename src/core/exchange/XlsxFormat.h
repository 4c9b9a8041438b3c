#pragma once

#include "Export.h"
#include "core/dictionary/AtomicFile.h"

namespace trelvo {

// A workbook of one sheet as spreadsheets open it: a header row of the
// languages' codes and "note" (the source side first, as in the CSV export),
// frozen, then one row per selected entry in the source side's index order,
// texts in UTF-8, columns wide enough for their texts. The workbook is built
// in a temporary file and handed to put in pieces. False when it could not be
// built: more rows than a sheet holds (1,048,576) or a failed write.
bool writeXlsx(const DictionaryStore& store, const ExportChoice& choice, const ByteSink& put);

}  // namespace trelvo

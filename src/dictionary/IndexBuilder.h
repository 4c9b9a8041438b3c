#pragma once

#include <vector>

#include "CharacterTables.h"
#include "DictionaryEntry.h"
#include "IndexRecord.h"

namespace trelvo {

// The index of one language built from scratch: records sorted by key, equal
// keys in entry-number order (the order one-by-one insertion behind equal keys
// would give, without its quadratic cost).
std::vector<IndexRecord> buildIndex(const std::vector<DictionaryEntry>& entries, int side,
                                    const CharacterTables& tables, int table);

}  // namespace trelvo

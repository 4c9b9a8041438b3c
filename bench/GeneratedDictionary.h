#pragma once

#include <cstddef>
#include <string>

#include "core/dictionary/DictionaryHeader.h"
#include "core/dictionary/EntryList.h"

namespace trelvo {

// Entries whose term and translation are 10 to 40 bytes of Czech letters in
// code page 1250, with spaces; the same for the same seed.
EntryList generatedEntries(std::size_t count, unsigned seed);
DictionaryHeader generatedHeader();

}  // namespace trelvo

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/dictionary/DictionaryStore.h"

namespace trelvo {

// How the export dialog lists the empty note.
inline constexpr const char* blankNote = "<blank>";

// "<blank>", then every distinct non-empty note in the order it first occurs
// in the entry list.
std::vector<std::string> availableNotes(const EntryList& entries);

struct ExportChoice {
    bool byFilter = false;           // "Exportovat podle filtru"
    std::vector<std::string> notes;  // the filter; "<blank>" or "" is the empty note
    bool translatedOnly = false;     // "Exportovat jen přeložené"
    int sourceSide = 0;              // the other side is the target
    // The source side's entry numbers in index order, for a store opened
    // without its indexes; null: the store's index of that side gives them.
    const LargeVector<std::uint32_t>* order = nullptr;
};

// The numbers of the entries to export, in the order of the source side's
// index. With the filter in force, an empty filter admits nothing; entries
// pass "translated only" when their target-side text is not empty.
std::vector<std::uint32_t> selectEntries(const DictionaryStore& store, const ExportChoice& choice);

// The selected entries as lines "source<TAB>target<LF>" in UTF-8, each side
// converted from its language's code page.
std::string utf8TextOf(const DictionaryStore& store, const ExportChoice& choice);

enum class ExportFormat { text, utf8Text, csv, tbx2008, tbx2019, dictionary, xlsx };

// Writes the selected entries in format to path (see exportText and
// exportDictionary; CsvFormat.h, TbxFormat.h and XlsxFormat.h for the
// interchange formats)
// and gives how many they were; nothing when the write failed, and 0 with no
// dictionary open, when nothing is written.
std::optional<std::size_t> exportEntries(const DictionaryStore& store, const ExportChoice& choice,
                                         ExportFormat format, const std::string& path,
                                         const std::function<std::uint32_t()>& random);

// Both write through a temporary file renamed over path. False only when the
// write failed; with no dictionary open nothing is written and they give true,
// as there is nothing to report.
// exportText writes the selected entries as lines "source<TAB>target<CR><LF>",
// bytes as stored.
bool exportText(const DictionaryStore& store, const ExportChoice& choice, const std::string& path);
// A new dictionary of the selected entries (texts in their storage places,
// flags kept, source index order) under the name "<name> (exported)" and a
// new ID drawn from random, which the caller seeds afresh for each export.
bool exportDictionary(const DictionaryStore& store, const ExportChoice& choice, const std::string& path,
                      const std::function<std::uint32_t()>& random);

}  // namespace trelvo

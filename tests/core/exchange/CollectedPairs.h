// The readers of import files with their pairs collected in a list, and an
// import of such a list, for tests that compare what came in.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/exchange/CsvFormat.h"
#include "core/exchange/PairImport.h"
#include "core/exchange/TbxFormat.h"
#include "core/exchange/TextImport.h"

namespace trelvo {

struct ImportedPair {
    std::string term;
    std::string translation;
    std::string note = {};

    bool operator==(const ImportedPair&) const = default;
};
void PrintTo(const ImportedPair& pair, std::ostream* out);  // with TextImportTest's cases

using Pairs = std::vector<ImportedPair>;

inline PairSink collectInto(Pairs& pairs) {
    return [&pairs](std::string_view term, std::string_view translation, std::string_view note) {
        pairs.push_back({std::string(term), std::string(translation), std::string(note)});
        return true;
    };
}

// What read gives to a sink, collected.
template <typename Read>
Pairs collected(Read read) {
    Pairs pairs;
    read(collectInto(pairs));
    return pairs;
}

inline Pairs readImportLines(std::string_view bytes, int termCodePage, int translationCodePage,
                             ImportReading* reading = nullptr) {
    return collected([&](const PairSink& sink) {
        readImportLines(bytes, termCodePage, translationCodePage, sink, reading);
    });
}

inline Pairs readImportLines(std::string_view bytes, const DictionaryHeader& header, ImportReading* reading = nullptr) {
    return collected([&](const PairSink& sink) { readImportLines(bytes, header, sink, reading); });
}

inline Pairs readImportFile(std::string_view name, std::string_view bytes, const DictionaryHeader& header,
                            ImportReading* reading = nullptr) {
    return collected([&](const PairSink& sink) { readImportFile(name, bytes, header, sink, reading); });
}

inline Pairs readCsv(std::string_view bytes, const DictionaryHeader& header, ImportReading* reading = nullptr) {
    return collected([&](const PairSink& sink) { readCsv(bytes, header, sink, reading); });
}

inline Pairs readTbx(std::string_view bytes, const DictionaryHeader& header, ImportReading* reading = nullptr) {
    return collected([&](const PairSink& sink) { readTbx(bytes, header, sink, reading); });
}

// The pairs added and kept as an import of a file giving them would; the number added.
inline std::size_t importPairs(DictionaryStore& store, const CharacterTables& tables, const Pairs& pairs) {
    PairImport import(store);
    for (const ImportedPair& pair : pairs)
        if (!import.add(pair.term, pair.translation, pair.note)) ADD_FAILURE() << "past the limits";
    import.keep(tables);
    return import.added();
}

}  // namespace trelvo

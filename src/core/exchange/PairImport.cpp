#include "PairImport.h"

#include <cstdint>
#include <vector>

#include "core/dictionary/DictionaryEntry.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/IndexRecord.h"

namespace trelvo {

PairImport::PairImport(DictionaryStore& store)
    : store_(store),
      first_(store.entries.size()),
      present_(store.entries),
      fileSize_(storedSize(store.header, store.entries)) {}

bool PairImport::add(std::string_view term, std::string_view translation, std::string_view note) {
    if (present_.contains(term, translation)) return true;
    if (!store_.limits.admit(0, store_.entries.size() + 1)) return false;
    const std::uint32_t n = store_.appendEntry(term, translation, note, efImported);
    const std::size_t size = fileSize_ + storedEntrySize(store_.entries, n);
    if (!store_.limits.admit(size, store_.entries.size())) {
        store_.entries.truncate(n);
        return false;
    }
    fileSize_ = size;
    return true;
}

void PairImport::keep(const CharacterTables& tables) {
    if (!store_.indexed || added() == 0) return;
    // The keys of all new entries in one block, so that a million of them
    // cost no allocation each; the records point into it once it is whole.
    std::string keys;
    std::string key;
    std::vector<std::size_t> ends(added());
    std::vector<IndexRecord> records(added());
    for (int k = 0; k < 2; ++k) {
        keys.clear();
        for (std::size_t i = 0; i < added(); ++i) {
            tables.makeCollationKey(store_.entries.text(first_ + i, k), store_.tableOf(k), key);
            keys += key;
            ends[i] = keys.size();
        }
        for (std::size_t i = 0, begin = 0; i < added(); begin = ends[i++])
            records[i] = {std::string_view(keys).substr(begin, ends[i] - begin), static_cast<std::uint32_t>(first_ + i)};
        store_.indexes[static_cast<std::size_t>(k)].insertAll(records);
    }
}

void PairImport::undo() { store_.entries.truncate(first_); }

}  // namespace trelvo

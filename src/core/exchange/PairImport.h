#pragma once

#include <cstddef>
#include <string_view>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"
#include "TermPairSet.h"

namespace trelvo {

// Adds imported pairs to a dictionary one at a time, as a file is read, and
// either keeps them or takes them all out again. Each pair is judged against
// the entries present when the import began, so that pairs repeated in the
// file are all added; no pair is added past the store's limits.
class PairImport {
public:
    explicit PairImport(DictionaryStore& store);

    // Appends the pair as an imported entry unless the dictionary held it
    // already. False, adding nothing, when the dictionary would then hold
    // more entries, or make a larger file, than its limits admit.
    bool add(std::string_view term, std::string_view translation, std::string_view note);
    std::size_t added() const { return store_.entries.size() - first_; }

    // Adds the new entries to both indexes while the store keeps them.
    void keep(const CharacterTables& tables);
    // Takes the new entries out: the entries are as they were before.
    void undo();

private:
    DictionaryStore& store_;
    const std::size_t first_;  // the number of the first added entry
    TermPairSet present_;
    std::size_t fileSize_;  // of the dictionary as it would be saved now
};

}  // namespace trelvo

#pragma once

#include "core/dictionary/DictionaryStore.h"

namespace trelvo {

// The direction of translation: the side the user searches in and the other
// one, with the collation tables of their languages. They change together.
struct Direction {
    int sourceSide = 0;
    int targetSide = 1;
    int sourceTable = 0;
    int targetTable = 0;

    // Searching in sourceSide of the store's dictionary, with its languages' tables.
    static Direction of(const DictionaryStore& store, int sourceSide) {
        return {sourceSide, 1 - sourceSide, store.tableOf(sourceSide), store.tableOf(1 - sourceSide)};
    }
    // The other way round, the tables taken from the store again.
    Direction swapped(const DictionaryStore& store) const { return of(store, targetSide); }

    bool operator==(const Direction&) const = default;
};

}  // namespace trelvo

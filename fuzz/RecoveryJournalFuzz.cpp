// Any bytes read as a recovery journal must give a journal or nothing, never
// a crash or an allocation beyond their size; what is read must survive
// being written and read again, and replay onto a dictionary it does not
// fit without a fault.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/editing/ChangeReplay.h"
#include "core/editing/RecoveryJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto contents = trelvo::parseRecoveryJournal(bytes);
    if (!contents) return 0;
    std::string written = trelvo::journalBeginning(contents->dictionaryPath, contents->identity);
    for (const trelvo::DictionaryChange& change : contents->changes) written += trelvo::journalRecord(change);
    const auto again = trelvo::parseRecoveryJournal(written);
    if (!again || again->cut || again->dictionaryPath != contents->dictionaryPath ||
        !(again->identity == contents->identity) || again->changes.size() != contents->changes.size())
        std::abort();
    std::string rewritten = trelvo::journalBeginning(again->dictionaryPath, again->identity);
    for (const trelvo::DictionaryChange& change : again->changes) rewritten += trelvo::journalRecord(change);
    if (rewritten != written) std::abort();

    static const trelvo::CharacterTables tables;
    trelvo::DictionaryStore store;
    store.header.filePath = "/fuzz.dsl";
    for (const char* term : {"kolej", "navest", "vyhybka"}) store.entries.append(term, "x", "", 0);
    store.rebuildIndexes(tables);
    trelvo::replayChanges(store, again->changes, tables);
    for (const trelvo::DictionaryIndex& index : store.indexes)
        if (index.size() != store.entryCount()) std::abort();
    return 0;
}

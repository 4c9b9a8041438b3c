// Any word list must import without a fault, in either encoding: the pairs
// are clean lines, nothing the dictionary held is added again, and both
// indexes stay what building them from scratch would give. Each input is read
// as it is and again behind a UTF-16 mark, each time for a Czech-English and
// a Czech-Russian dictionary, keyed with the delivered character tables.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/exchange/CsvFormat.h"
#include "core/exchange/PairImport.h"
#include "core/exchange/TbxFormat.h"
#include "core/exchange/TextImport.h"

namespace {

struct ImportedPair {
    std::string term, translation;
};

std::vector<ImportedPair> readPairs(std::string_view bytes, int termCodePage, int translationCodePage) {
    std::vector<ImportedPair> pairs;
    trelvo::readImportLines(bytes, termCodePage, translationCodePage,
                            [&pairs](std::string_view term, std::string_view translation, std::string_view note) {
                                if (!note.empty()) std::abort();  // word lists have none
                                pairs.push_back({std::string(term), std::string(translation)});
                                return true;
                            });
    return pairs;
}

const trelvo::CharacterTables& deliveredTables() {
    static const trelvo::CharacterTables tables = [] {
        trelvo::CharacterTables t;
        if (!t.loadCharacterTables(TRELVO_FUZZ_UPCHAR)) std::abort();
        return t;
    }();
    return tables;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

void checkPair(const ImportedPair& pair) {
    if (pair.term.empty()) std::abort();
    for (const std::string* text : {&pair.term, &pair.translation}) {
        if (text->size() > trelvo::maxImportLineLength) std::abort();
        if (text->find('\n') != std::string::npos || text->find('\0') != std::string::npos) std::abort();
        if (!text->empty() && (isBlank(text->front()) || isBlank(text->back()))) std::abort();
    }
    // The first tab separates, so the term holds none.
    if (pair.term.find('\t') != std::string::npos) std::abort();
    // Both come from one line, a tab between them when there is a translation.
    if (pair.term.size() + pair.translation.size() + !pair.translation.empty() > trelvo::maxImportLineLength)
        std::abort();
}

// Both indexes as a build from scratch gives them: every entry once, in key
// order, equal keys in entry order (as every entry came after those before).
void checkIndexes(const trelvo::DictionaryStore& store, const trelvo::CharacterTables& tables) {
    for (int k = 0; k < 2; ++k) {
        const trelvo::DictionaryIndex& index = store.indexes[static_cast<std::size_t>(k)];
        const trelvo::DictionaryIndex built = trelvo::DictionaryIndex::build(store.entries, k, tables, store.tableOf(k));
        if (index.size() != store.entries.size() || built.size() != index.size()) std::abort();
        for (std::size_t i = 0; i < index.size(); ++i)
            if (index.key(i) != built.key(i) || index.entryNumber(i) != built.entryNumber(i)) std::abort();
    }
}

void importInto(std::string_view bytes, int charset0, int charset1, int codePage1) {
    const trelvo::CharacterTables& tables = deliveredTables();
    trelvo::DictionaryStore store;
    store.header.filePath = "fuzz.dsl";  // never saved
    store.header.languageCharset = {charset0, charset1};
    const std::vector<ImportedPair> pairs = readPairs(bytes, 1250, codePage1);
    for (const ImportedPair& pair : pairs) checkPair(pair);

    store.appendEntry("n\xE1v\xECst", "signal", "", trelvo::efDefault);
    store.appendEntry("chyba", "fault", "pozn.", trelvo::efUserModified);
    store.appendEntry("CH", "", "", trelvo::efDefault);
    store.rebuildIndexes(tables);

    // The first half goes in first, pair by pair, so that the import of the
    // whole file meets pairs it must skip as well as ones repeated in it.
    const std::vector<ImportedPair> half(pairs.begin(), pairs.begin() + static_cast<std::ptrdiff_t>(pairs.size() / 2));
    for (const std::vector<ImportedPair>* batch : {&half, &pairs}) {
        std::set<std::pair<std::string, std::string>> present;
        for (std::size_t n = 0; n < store.entries.size(); ++n)
            present.emplace(store.entries.term(n), store.entries.translation(n));
        std::vector<const ImportedPair*> expected;
        for (const ImportedPair& pair : *batch)
            if (!present.contains({pair.term, pair.translation})) expected.push_back(&pair);

        const std::size_t before = store.entries.size();
        std::size_t added = 0;
        if (batch == &half) {
            trelvo::PairImport import(store);
            for (const ImportedPair& pair : half)
                if (!import.add(pair.term, pair.translation, {})) std::abort();
            import.keep(tables);
            added = import.added();
        } else {
            std::size_t lastProgress = 0;
            bool progressed = false;
            const trelvo::ImportResult result = trelvo::importFile(store, tables, "fuzz.txt", bytes, [&](std::size_t done) {
                if (progressed && done <= lastProgress) std::abort();
                if (done % 100 != 0) std::abort();
                progressed = true;
                lastProgress = done;
                return true;
            });
            if (result.outcome != trelvo::ImportOutcome::imported || result.read != pairs.size()) std::abort();
            added = result.added;
        }
        if (added != expected.size() || store.entries.size() != before + added) std::abort();
        for (std::size_t i = 0; i < added; ++i) {
            const std::size_t n = before + i;
            if (store.entries.term(n) != expected[i]->term || store.entries.translation(n) != expected[i]->translation ||
                !store.entries.note(n).empty() || store.entries.flags(n) != trelvo::efImported)
                std::abort();
        }
        checkIndexes(store, tables);
    }
    // Everything is there now: the same file again adds nothing, also to a
    // dictionary that may hold no more, which refuses a new pair and stays
    // as it was.
    store.limits.entryCount = store.entries.size();
    if (trelvo::importFile(store, tables, "fuzz.txt", bytes, {}).added != 0) std::abort();
    const trelvo::EntryList entries = store.entries;
    if (trelvo::importFile(store, tables, "fuzz.txt", "nov\xFD \x01\tnew\n", {}).outcome !=
            trelvo::ImportOutcome::tooLarge ||
        !(store.entries == entries))
        std::abort();
    checkIndexes(store, tables);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string given(reinterpret_cast<const char*>(data), size);
    // A termbase or a CSV is known by its content and read as such whatever
    // its name; TbxImportFuzz and CsvImportFuzz take those.
    trelvo::DictionaryHeader header;
    header.languageCharset = {238, 0};
    const std::string marked = "\xFF\xFE" + given;
    for (const std::string* bytes : {&given, &marked}) {
        if (trelvo::isTermbase(*bytes) || trelvo::isCsv(*bytes, header)) continue;
        importInto(*bytes, 238, 0, 1252);
        importInto(*bytes, 238, 204, 1251);
    }
    return 0;
}

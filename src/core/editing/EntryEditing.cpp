#include "EntryEditing.h"

#include <string>

#include "core/dictionary/TextWords.h"

namespace trelvo {

namespace {

// Typed and pasted texts pass a 1000-byte buffer, and keep no tab or line break.
std::string typed(std::string_view text) { return entryText(text.substr(0, CharacterTables::maxKeyLength)); }

}  // namespace

EntryEditing::EntryEditing(DictionaryStore& store, const CharacterTables& tables, int sourceSide, int targetSide)
    : store_(store), tables_(tables), sourceSide_(sourceSide), targetSide_(targetSide) {}

bool EntryEditing::addEntry(std::string_view term, std::string_view translation, std::size_t& position) {
    if (!store_.isOpen()) return false;
    std::string texts[2];
    texts[sourceSide_] = typed(term);
    if (isEmptyText(texts[sourceSide_])) return false;
    texts[targetSide_] = typed(translation);
    const std::uint32_t n = store_.appendEntry(texts[0], texts[1], "", efUserModified);
    for (int k : {sourceSide_, targetSide_})
        store_.insertIndexRecord(k, tables_.makeCollationKey(texts[k], store_.tableOf(k)), n);
    position = store_.findIndexPosition(sourceSide_, n);
    return true;
}

void EntryEditing::rekey(int side, std::uint32_t entry) {
    std::size_t at = store_.findIndexPosition(side, entry);
    if (at < store_.indexes[static_cast<std::size_t>(side)].size()) store_.removeIndexRecord(side, at);
    store_.insertIndexRecord(side, tables_.makeCollationKey(store_.entries.text(entry, side), store_.tableOf(side)),
                             entry);
}

bool EntryEditing::commitCellEdit(int column, std::size_t position, std::string_view text) {
    const DictionaryIndex& source = store_.indexes[static_cast<std::size_t>(sourceSide_)];
    if (position >= source.size() || column < 0 || column > 2) return false;
    const std::uint32_t e = source.entryNumber(position);
    const int k = column == 0 ? sourceSide_ : column == 1 ? targetSide_ : 2;
    const std::string kept = typed(text);
    if (store_.entries.text(e, k) == kept) return false;
    store_.entries.setFlags(e, efUserModified);
    store_.entries.setText(e, k, kept);
    if (column < 2) rekey(k, e);
    return true;
}

bool EntryEditing::deleteEntry(std::size_t position) {
    const DictionaryIndex& source = store_.indexes[static_cast<std::size_t>(sourceSide_)];
    if (position >= source.size()) return false;
    store_.removeEntry(source.entryNumber(position));
    return true;
}

void EntryEditing::clearTranslations() {
    for (std::size_t n = 0; n < store_.entries.size(); ++n) {
        store_.entries.setText(n, 1, "");
        store_.entries.setFlags(n, efUserModified);
    }
    // Every key is now empty: the records keep their order.
    DictionaryIndex& index = store_.indexes[1];
    DictionaryIndex emptied;
    for (std::size_t i = 0; i < index.size(); ++i) emptied.insert("", index.entryNumber(i));
    index = std::move(emptied);
}

void EntryEditing::clearNotes() {
    for (std::size_t n = 0; n < store_.entries.size(); ++n) store_.entries.setText(n, 2, "");
}

}  // namespace trelvo

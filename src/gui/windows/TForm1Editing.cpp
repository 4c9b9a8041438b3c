// Adding, changing and deleting entries, and the commands that change
// a whole column or every entry.
#include "TForm1.h"

#include "MatchList.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QToolButton>
#include <optional>

#include "Tgridik.h"
#include "core/editing/EntryEditing.h"
#include "gui/app/Prompts.h"

namespace trelvo {

// "Umožnit přidávání nových položek": the boxes for a new entry show or go.
void TForm1::ToolButton6Click() {
    const bool adding = toolButton(ToolButton::allowAdding)->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3), static_cast<QWidget*>(Button1)})
        w->setVisible(adding);
    if (adding) offerForReplacing(Edit2);
    layoutMainWindow();
}

void TForm1::switchAddingMode() {
    toolButton(ToolButton::allowAdding)->toggle();
    ToolButton6Click();
}

bool TForm1::EditNewEntryKeyDown(QLineEdit* box, QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Term, translation, then the button, so that the next Enter adds.
            if (box == Edit2) offerForReplacing(Edit3);
            else Button1->setFocus();
            return true;
        case Qt::Key_Escape:
            switchAddingMode();
            Edit1->setFocus();
            return true;
        default:
            return false;
    }
}

void TForm1::entriesChanged(std::size_t position) {
    matchList->dictionaryChanged();
    window.markStale();
    showPosition(position);
}

void TForm1::addEntry() {
    std::size_t position = 0;
    EntryEditing editing(store, characterTables, direction.sourceSide, direction.targetSide);
    if (!editing.addEntry(encode(Edit2->text(), direction.sourceSide), encode(Edit3->text(), direction.targetSide),
                          position))
        return;
    recordChange(DictionaryChange::entryAdded(store, static_cast<std::uint32_t>(store.entryCount() - 1)));
    entriesChanged(position);
    offerForReplacing(Edit2);
}

void TForm1::offerForReplacing(QLineEdit* box) {
    box->setFocus();
    box->selectAll();
}

void TForm1::commitCellEdit(int col, int row, const QString& text) {
    const std::size_t p = window.first() + static_cast<std::size_t>(row);
    const DictionaryIndex& source = sourceIndex();
    if (p >= source.size()) return;
    const std::uint32_t entry = source.entryNumber(p);
    const int side = col == 0 ? direction.sourceSide : col == 1 ? direction.targetSide : 2;
    EntryEditing editing(store, characterTables, direction.sourceSide, direction.targetSide);
    const DictionaryEntry before = store.entries.entry(entry);
    if (!editing.commitCellEdit(col, p, encode(text, side))) {
        // The cell shows what the entry holds, also where the text was cleaned or cut.
        const QScopedValueRollback<bool> quiet(fillingRows_, true);
        if (QTableWidgetItem* cell = grid->item(row, col)) cell->setText(decode(store.entries.text(entry, side), side));
        return;
    }
    recordChange(DictionaryChange::entryEdited(store, entry, before));
    // The rows stay as they are while the editor is still open: reloading
    // them under it would move its cell onto another entry.
    editedEntry_ = entry;
    if (!grid->editing()) showEditedEntry();
}

void TForm1::showEditedEntry() {
    if (!editedEntry_) return;
    // The texts are shown as stored, and the cursor follows the entry.
    const std::size_t position = store.findIndexPosition(direction.sourceSide, *editedEntry_);
    editedEntry_.reset();
    entriesChanged(position);
}

void TForm1::leaveEditTowards(int row, int col) {
    const DictionaryIndex& source = sourceIndex();
    const std::size_t pointed = window.first() + static_cast<std::size_t>(row);
    const std::optional<std::uint32_t> target =
        pointed < source.size() ? std::optional(source.entryNumber(pointed)) : std::nullopt;
    // Keeping the edit may reload the rows around the edited entry.
    finishCellEdit();
    const std::size_t position = target ? store.findIndexPosition(direction.sourceSide, *target) : currentPosition;
    placeCursor(grid->currentRow(), col);
    showPosition(position);
}

void TForm1::deleteEntry() {
    const int row = grid->currentRow();
    if (row < 0) return;
    const std::size_t position = window.first() + static_cast<std::size_t>(row);
    const DictionaryIndex& source = sourceIndex();
    if (position >= source.size()) return;
    // The user sees which entry goes, and Enter keeps it.
    const int side = direction.sourceSide;
    const std::uint32_t entry = source.entryNumber(position);
    const QString term = decode(store.entries.text(entry, side), side);
    if (!env_.prompts->ask(this, QStringLiteral("Upozornění"),
                           QStringLiteral("Opravdu si přejete odstranit záznam „%1“?").arg(term),
                           Prompts::Icon::question, Prompts::Default::no))
        return;
    EntryEditing editing(store, characterTables, direction.sourceSide, direction.targetSide);
    const DictionaryEntry before = store.entries.entry(entry);
    if (!editing.deleteEntry(position)) return;
    recordChange(DictionaryChange::entryDeleted(entry, before));
    entriesChanged(currentPosition);
}

void TForm1::clearTranslations() {
    if (!env_.prompts->ask(this, QStringLiteral("!!!Upozornění!!!"),
                           QStringLiteral("Tato operace vymaže celý sloupec přeložených výrazů, opravdu si přejete "
                                          "pokračovat?"),
                           Prompts::Icon::warning, Prompts::Default::no))
        return;
    const EntryList before = store.entries;
    EntryEditing(store, characterTables, direction.sourceSide, direction.targetSide).clearTranslations();
    recordChange(DictionaryChange::between(ChangeKind::clearedTranslations, before, store.entries));
    entriesChanged(currentPosition);
}

void TForm1::clearNotes() {
    if (!env_.prompts->ask(this, QStringLiteral("!!!Upozornění!!!"),
                           QStringLiteral("Tato operace vymaže celý sloupec poznámek, opravdu si přejete pokračovat?"),
                           Prompts::Icon::warning, Prompts::Default::no))
        return;
    const EntryList before = store.entries;
    EntryEditing(store, characterTables, direction.sourceSide, direction.targetSide).clearNotes();
    recordChange(DictionaryChange::between(ChangeKind::clearedNotes, before, store.entries));
    entriesChanged(currentPosition);
}

void TForm1::convertToDefault() {
    if (!store.isOpen() || !checkAccessCode()) return;
    if (!env_.prompts->ask(this, QStringLiteral("Upozornění"),
                           QStringLiteral("Opravdu si přejete zrušit všechny příznaky importovaných a uživatelsky "
                                          "modifikovaných položek?"),
                           Prompts::Icon::question, Prompts::Default::no))
        return;
    const EntryList before = store.entries;
    for (std::size_t n = 0; n < store.entryCount(); ++n) store.entries.setFlags(n, efDefault);
    recordChange(DictionaryChange::between(ChangeKind::converted, before, store.entries));
    entriesChanged(0);
}

}  // namespace trelvo

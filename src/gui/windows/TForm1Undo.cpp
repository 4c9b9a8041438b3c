// Undo and redo: every change to the entries or the header passes
// recordChange, which keeps it on the undo stack.
#include "TForm1.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QUndoStack>
#include <algorithm>
#include <utility>

#include "ChangeCommand.h"
#include "MatchList.h"
#include "UiText.h"
#include "core/editing/ChangeReplay.h"
#include "gui/app/Prompts.h"

namespace trelvo {

void TForm1::createUndo() {
    undoStack_ = new QUndoStack(this);
    // Unsaved are the changes between the stack's place and where the last save left it.
    connect(undoStack_, &QUndoStack::indexChanged, this, [this] {
        markModified(!undoStack_->isClean());
        // Taken back to the file as saved: after a crash there is nothing to recover,
        // and no question should ask about changes that add up to none.
        if (undoStack_->isClean() && store.isOpen()) startJournal();
        refreshUndoItems();
    });
    PopupMenu2->addSeparator();
    undoItem_ = PopupMenu2->addAction(QString());
    redoItem_ = PopupMenu2->addAction(QString());
    // The menu shows the keys that do the same from the grid.
    for (auto [item, keys] : {std::pair{undoItem_, Qt::CTRL | Qt::Key_Z}, std::pair{redoItem_, Qt::CTRL | Qt::Key_Y}}) {
        item->setShortcut(QKeySequence(keys));
        item->setShortcutContext(Qt::WidgetShortcut);
        item->setShortcutVisibleInContextMenu(true);
    }
    connect(undoItem_, &QAction::triggered, this, &TForm1::undoChange);
    connect(redoItem_, &QAction::triggered, this, &TForm1::redoChange);
    refreshUndoItems();
}

void TForm1::recordChange(DictionaryChange change) {
    if (change.empty()) return;
    noteLargeChange(change);
    // The recovery journal takes each change here, as it happens.
    journalChange(change);
    const QString text = changeName(change);
    undoStack_->push(new ChangeCommand(std::move(change), text,
                                       [this](const DictionaryChange& c) {
                                           if (!applyRecorded(c)) return false;
                                           // An undo or a redo is a change of its own to the journal.
                                           noteLargeChange(c);
                                           journalChange(c);
                                           return true;
                                       }));
    // A change merged into the one before it moves no place on the stack.
    markModified(true);
}

void TForm1::forgetChanges() {
    undoStack_->clear();
    journalUnwrittenTold_ = false;
}

// A step the dictionary's limits refused changed nothing: the stack is put
// back where it was, by a step that changes nothing either.
void TForm1::undoChange() {
    finishCellEdit();
    if (!undoStack_->canUndo()) return;
    undoStack_->undo();
    if (static_cast<ChangeCommand*>(const_cast<QUndoCommand*>(undoStack_->command(undoStack_->index())))->takeRefused())
        undoStack_->redo();
}

void TForm1::redoChange() {
    finishCellEdit();
    if (!undoStack_->canRedo()) return;
    undoStack_->redo();
    if (static_cast<ChangeCommand*>(const_cast<QUndoCommand*>(undoStack_->command(undoStack_->index() - 1)))
            ->takeRefused())
        undoStack_->undo();
}

bool TForm1::applyRecorded(const DictionaryChange& change) {
    const ChangeApplication applied = applyChange(store, change, characterTables);
    if (applied.tooLarge) {
        env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             QString::fromStdString(tooLargeReplayMessage(store.header.filePath, store.limits)));
        return false;
    }
    // The header may have named the languages or their character sets anew.
    direction = Direction::of(store, direction.sourceSide);
    refreshDictionaryStatus();
    matchList->dictionaryChanged();
    window.markStale();
    const DictionaryIndex& index = sourceIndex();
    std::size_t position = currentPosition;
    if (change.added.empty() && !change.removed.empty() && !index.empty()) {
        // Where the entry taken out stood in the grid: on the one behind it.
        const int side = direction.sourceSide;
        position = std::min(index.lowerBound(characterTables.makeCollationKey(change.removed.text(0, side),
                                                                              store.tableOf(side))),
                            index.size() - 1);
    } else if (applied.focus) {
        position = store.findIndexPosition(direction.sourceSide, *applied.focus);
    }
    showPosition(position);
    return true;
}

void TForm1::refreshUndoItems() {
    undoItem_->setEnabled(undoStack_->canUndo());
    undoItem_->setText(undoStack_->canUndo() ? QStringLiteral("Zpět: ") + undoStack_->undoText()
                                             : QStringLiteral("Zpět"));
    redoItem_->setEnabled(undoStack_->canRedo());
    redoItem_->setText(undoStack_->canRedo() ? QStringLiteral("Znovu: ") + undoStack_->redoText()
                                             : QStringLiteral("Znovu"));
}

QString TForm1::changeName(const DictionaryChange& change) const {
    // An entry is named by its term in the language the grid shows first.
    auto termOf = [this](const EntryList& entries) {
        const int side = direction.sourceSide;
        return entries.empty() ? QString() : decode(entries.text(0, side), side);
    };
    switch (change.kind) {
        case ChangeKind::added: return QStringLiteral("přidání záznamu „%1“").arg(termOf(change.added));
        case ChangeKind::edited: return QStringLiteral("úprava záznamu „%1“").arg(termOf(change.removed));
        case ChangeKind::deleted: return QStringLiteral("odstranění záznamu „%1“").arg(termOf(change.removed));
        case ChangeKind::clearedTranslations: return QStringLiteral("vymazání překladů");
        case ChangeKind::clearedNotes: return QStringLiteral("vymazání poznámek");
        case ChangeKind::converted: return QStringLiteral("převod na výchozí položky");
        case ChangeKind::properties: return QStringLiteral("změna vlastností slovníku");
        case ChangeKind::imported: return QStringLiteral("import (%1)").arg(entryCountText(change.added.size()));
        case ChangeKind::synchronised: return QStringLiteral("synchronizace");
        case ChangeKind::restored: return QStringLiteral("obnovení ze zálohy");
        case ChangeKind::merged: return QStringLiteral("sloučení");
    }
    return {};
}

}  // namespace trelvo

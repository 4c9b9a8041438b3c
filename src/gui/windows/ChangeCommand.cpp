#include "ChangeCommand.h"

#include <utility>

namespace trelvo {

ChangeCommand::ChangeCommand(DictionaryChange change, const QString& text, Apply apply)
    : QUndoCommand(text), change_(std::move(change)), apply_(std::move(apply)) {}

// The change is turned round in place: a copy of its inverse would hold every entry of it twice.
void ChangeCommand::undo() {
    if (std::exchange(inPlace_, false)) return;
    change_.invert();
    refused_ = inPlace_ = !apply_(change_);
    change_.invert();
}

void ChangeCommand::redo() {
    if (std::exchange(inPlace_, false)) return;
    refused_ = inPlace_ = !apply_(change_);
}

int ChangeCommand::id() const { return change_.kind == ChangeKind::synchronised ? 1 : -1; }

bool ChangeCommand::mergeWith(const QUndoCommand* other) {
    const DictionaryChange& next = static_cast<const ChangeCommand*>(other)->change_;
    if (next.kind != ChangeKind::synchronised || !next.removed.empty() || !next.added.empty() || !next.headerAfter)
        return false;
    if (!change_.headerBefore) change_.headerBefore = next.headerBefore;
    change_.headerAfter = next.headerAfter;
    return true;
}

}  // namespace trelvo

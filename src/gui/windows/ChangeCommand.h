#pragma once

#include <QUndoCommand>
#include <functional>
#include <utility>

#include "core/editing/DictionaryChange.h"

namespace trelvo {

// One change on the main window's undo stack. It is pushed once the change
// has been made, so its first redo does nothing; later ones, and each undo,
// hand the change or its inverse to apply. Apply may refuse (false): the
// stack is then to be put back, and that step changes nothing.
class ChangeCommand : public QUndoCommand {
public:
    using Apply = std::function<bool(const DictionaryChange&)>;

    ChangeCommand(DictionaryChange change, const QString& text, Apply apply);

    void undo() override;
    void redo() override;
    // An update sets the dictionary's new stamp after its merge: that header
    // change, recorded as a synchronisation of no entries, joins the one before.
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;
    const DictionaryChange& change() const { return change_; }
    // Whether the last undo or redo was refused; asking clears it.
    bool takeRefused() { return std::exchange(refused_, false); }

private:
    DictionaryChange change_;
    Apply apply_;
    // The next undo or redo finds the dictionary as it leaves it already:
    // when pushed, and after a refused step while the stack is put back.
    bool inPlace_ = true;
    bool refused_ = false;
};

}  // namespace trelvo

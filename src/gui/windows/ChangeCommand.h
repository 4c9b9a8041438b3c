#pragma once

#include <QUndoCommand>
#include <functional>

#include "core/editing/DictionaryChange.h"

namespace trelvo {

// One change on the main window's undo stack. It is pushed once the change
// has been made, so its first redo does nothing; later ones, and each undo,
// hand the change or its inverse to apply.
class ChangeCommand : public QUndoCommand {
public:
    using Apply = std::function<void(const DictionaryChange&)>;

    ChangeCommand(DictionaryChange change, const QString& text, Apply apply);

    void undo() override;
    void redo() override;
    // An update sets the dictionary's new stamp after its merge: that header
    // change, recorded as a synchronisation of no entries, joins the one before.
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;
    const DictionaryChange& change() const { return change_; }

private:
    DictionaryChange change_;
    Apply apply_;
    bool made_ = true;  // the change is in the dictionary already when pushed
};

}  // namespace trelvo

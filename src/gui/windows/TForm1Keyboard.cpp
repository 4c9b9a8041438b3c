// The keyboard of the main window as a whole: shortcuts for the tool bar's
// commands, where the focus goes, the menus opened from the keyboard, and
// the help.
#include "TForm1.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QTextBrowser>
#include <QToolButton>

#include "Tgridik.h"

namespace trelvo {

void TForm1::createShortcuts() {
    auto shortcut = [this](const QKeySequence& keys, auto action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    // A key does what a click on the button does, the pressed signal included
    // (it keeps an open cell edit).
    auto button = [this, &shortcut](const QKeySequence& keys, ToolButton b) {
        shortcut(keys, [this, b] { toolButton(b)->click(); });
    };
    button(QKeySequence(Qt::CTRL | Qt::Key_S), ToolButton::saveChanges);
    button(QKeySequence(Qt::CTRL | Qt::Key_N), ToolButton::newDictionary);
    button(QKeySequence(Qt::CTRL | Qt::Key_I), ToolButton::importWords);
    button(QKeySequence(Qt::CTRL | Qt::Key_E), ToolButton::exportEntries);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &TForm1::showDictionaryMenu);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_D), &TForm1::showDictionaryMenu);
    // Ctrl+F goes to the search box and shows the list of matches, even a hidden one.
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_F), [this] {
        focusSearchBox();
        Edit1->selectAll();
        setMatchListHidden(false);
    });
    // In a text box (the search box, the new entry's boxes, a cell editor)
    // these keys take back typing, not a change of the dictionary. The box
    // claims the keys its desktop binds to undo and redo; the others (Ctrl+Y
    // on an X11 desktop) reach the window and are handed to the box here.
    auto undoKey = [this, &shortcut](const QKeySequence& keys, void (QLineEdit::*typing)(), void (TForm1::*change)()) {
        shortcut(keys, [typing, change, window = this] {
            if (auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
                (box->*typing)();
            else
                (window->*change)();
        });
    };
    undoKey(QKeySequence(Qt::CTRL | Qt::Key_Z), &QLineEdit::undo, &TForm1::undoChange);
    undoKey(QKeySequence(Qt::CTRL | Qt::Key_Y), &QLineEdit::redo, &TForm1::redoChange);
    undoKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &QLineEdit::redo, &TForm1::redoChange);
    shortcut(QKeySequence(Qt::Key_F1), [this] { showHelp(QStringLiteral("Klávesy")); });
    // F2 edits the cell under the cursor from anywhere in the window.
    shortcut(QKeySequence(Qt::Key_F2), [this] {
        if (grid->editing() || window.first() + static_cast<std::size_t>(std::max(0, grid->currentRow())) >=
                                   sourceIndex().size())
            return;
        grid->setFocus(Qt::ShortcutFocusReason);
        grid->edit(grid->currentIndex());
    });
    // After a command that showed a dialog or a box the user goes on typing a term.
    // A save asks nothing as a rule: the focus stays, so that Ctrl+Z in the grid
    // takes back the last change and not the search typed before it.
    for (ToolButton b : {ToolButton::newDictionary, ToolButton::settings,
                         ToolButton::synchronise, ToolButton::importWords, ToolButton::exportEntries,
                         ToolButton::convertToDefault})
        connect(toolButton(b), &QToolButton::clicked, this, &TForm1::focusSearchBox);
}

void TForm1::focusSearchBox() { Edit1->setFocus(Qt::OtherFocusReason); }

void TForm1::showDictionaryMenu() {
    finishCellEdit();
    QToolButton* button = toolButton(ToolButton::dictionaryMenu);
    PopupMenu1->popup(button->mapToGlobal(QPoint(0, button->height())));
    // The open dictionary's item is the one Enter takes.
    for (QAction* item : PopupMenu1->actions())
        if (item->isChecked()) PopupMenu1->setActiveAction(item);
}

void TForm1::popupGridMenu() {
    if (grid->editing()) return;
    const QRect cell = grid->visualRect(grid->currentIndex());
    PopupMenu2->popup(grid->viewport()->mapToGlobal(cell.isValid() ? cell.center() : QPoint(0, 0)));
}

void TForm1::showHelp(const QString& topic) {
    if (!helpWindow_) {
        helpWindow_ = new QTextBrowser(this);
        helpWindow_->setWindowFlag(Qt::Window);
        helpWindow_->setWindowTitle(QStringLiteral("Nápověda – Trelvo"));
        helpWindow_->setOpenExternalLinks(false);
        QFile page(QStringLiteral(":/help/trelvo.html"));
        page.open(QIODevice::ReadOnly);
        helpWindow_->setHtml(QString::fromUtf8(page.readAll()));
        helpWindow_->resize(720, 560);
        // Escape closes the help as it closes a dialog.
        connect(new QShortcut(QKeySequence(Qt::Key_Escape), helpWindow_), &QShortcut::activated, helpWindow_,
                &QWidget::close);
    }
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
    helpWindow_->scrollToAnchor(topic);
}

}  // namespace trelvo

#pragma once

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <cstddef>
#include <string>

#include "TForm1.h"

namespace trelvo {

// The one way in which tests (and the grid bench) look into the main window.
// A test drives the window as the user does, through its controls: it types
// into Edit1, clicks toolButton(...), chooses from PopupMenu1 and answers the
// boxes through the prompts seam. What it then checks it reads here, under
// the window's own names, read-only. The few setters at the end put the
// window into a state that no user's steps reach quickly; their names say
// what they stand for.
//
// A probe is a handle: it holds the window by reference and is copied freely.
class TForm1Probe {
public:
    // Not explicit: a TForm1& serves wherever a test wants a probe.
    TForm1Probe(TForm1& window) : w_(&window) {}

    // The window itself, for what any widget offers (show, resize, close, geometry).
    TForm1& window() const { return *w_; }

    // Controls.
    Tgridik* grid() const { return w_->grid; }
    MatchList* matchList() const { return w_->matchList; }
    QLineEdit* Edit1() const { return w_->Edit1; }  // the search box
    QLineEdit* Edit2() const { return w_->Edit2; }  // a new entry's term
    QLineEdit* Edit3() const { return w_->Edit3; }  // a new entry's translation
    QPushButton* Button1() const { return w_->Button1; }  // "zařadit"
    QScrollBar* ScrollBar1() const { return w_->ScrollBar1; }
    QToolButton* toolButton(ToolButton b) const { return w_->toolButton(b); }
    QMenu* PopupMenu1() const { return w_->PopupMenu1; }  // the dictionary menu
    QMenu* PopupMenu2() const { return w_->PopupMenu2; }  // the grid's context menu
    QAction* undoItem() const { return w_->undoItem_; }  // "Zpět…" in PopupMenu2
    QAction* redoItem() const { return w_->redoItem_; }  // "Znovu…"
    QStatusBar* StatusBar1() const { return w_->StatusBar1; }
    QLabel* statusPanel(int i) const { return w_->statusPanels[static_cast<std::size_t>(i)]; }  // 0, 1, 2
    QFrame* Panel1() const { return w_->Panel1; }  // holds Image3, the source language's picture
    QLabel* Image3() const { return w_->Image3; }
    QLabel* Image5() const { return w_->Image5; }  // the banner
    TWhintik* Whintik1() const { return w_->Whintik1; }
    QTimer* Timer2() const { return w_->Timer2; }  // the search while typing
    QTimer* Timer3() const { return w_->Timer3; }  // the reopening of the last dictionary

    // State.
    const DictionaryStore& store() const { return w_->store; }
    const CharacterTables& characterTables() const { return w_->characterTables; }
    const Direction& direction() const { return w_->direction; }
    std::size_t currentPosition() const { return w_->currentPosition; }
    std::size_t windowFirst() const { return w_->window.first(); }
    std::size_t windowLast() const { return w_->window.last(); }
    bool modified() const { return w_->modified; }
    bool autoUpdate() const { return w_->autoUpdate; }
    int lastDictionary() const { return w_->lastDictionary; }
    int lastUpdateDay() const { return w_->lastUpdateDay; }

    // The user's steps, by name.
    void chooseDictionary(int i) const { w_->PopupMenu1->actions()[i]->trigger(); }
    void click(ToolButton b) const { w_->toolButton(b)->click(); }
    // The update check an opening of the dictionary starts, without the opening.
    void checkForUpdate() const { w_->checkForUpdate(); }

    // Setters for states the user's steps do not reach quickly.
    // An entry added in memory and not saved, as an edit leaves it.
    void addUnsavedEntry(const std::string& term, const std::string& translation) const {
        w_->store.appendEntry(term, translation, "", efUserModified);
        w_->modified = true;
    }
    void setModified(bool modified) const { w_->modified = modified; }
    // Moves the cursor's position without moving the grid, to see whether a
    // search moves it again.
    void setCurrentPosition(std::size_t position) const { w_->currentPosition = position; }
    // A dictionary that may hold only this many entries.
    void setEntryLimit(std::size_t entries) const { w_->store.limits.entryCount = entries; }
    // The stored ID and access code, as the properties dialog would leave them.
    void setIdAndAccessCode(const std::string& idAndAccessCode) const {
        w_->store.header.idAndAccessCode = idAndAccessCode;
    }
    // Reloads the rows around position, as after a change of the entries.
    void reloadRowsAt(std::size_t position) const {
        w_->window.markStale();
        w_->showPosition(position);
    }

private:
    TForm1* w_;
};

}  // namespace trelvo

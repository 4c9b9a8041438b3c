// The search box, the grid and its scroll bar: finding an entry, moving
// through the index and the hints of cut-off cells.
#include "TForm1.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "MatchList.h"
#include "Tgridik.h"
#include "UiText.h"
#include "core/lookup/SearchRule.h"
#include "core/settings/ProgramPaths.h"
#include "gui/controls/TWhintik.h"

namespace trelvo {

namespace {

// The hint stands this far below the pointer, clear of its arrow.
constexpr int hintBelowPointer = 20;

}  // namespace

QString TForm1::decode(std::string_view text, int side) const {
    const int codePage = side == 2 ? CodePage::headerCodePage
                             : CodePage::codePageOfCharset(store.header.languageCharset[side]);
    return uiText(text, codePage);
}

std::string TForm1::encode(const QString& text, int side) const {
    // Notes (side 2) are kept in the code page of the program's texts.
    std::string bytes = uiBytes(
        text, side == 2 ? CodePage::headerCodePage : CodePage::codePageOfCharset(store.header.languageCharset[side]));
    // Typed texts pass a 1000-byte buffer.
    if (bytes.size() > CharacterTables::maxKeyLength) bytes.resize(CharacterTables::maxKeyLength);
    return bytes;
}

bool TForm1::refillWindow(int topRowBefore) {
    GridWindow::Placement placement{};
    const DictionaryIndex& index = sourceIndex();
    if (!window.refill(currentPosition, index.size(), grid->currentRow(), topRowBefore, placement)) return false;
    fillRows();
    const QScopedValueRollback<bool> quiet(refilling, true);
    grid->setCurrentCell(placement.cursorRow, std::max(0, grid->currentColumn()));
    grid->setTopVisibleRow(placement.topRow);
    return true;
}

void TForm1::placeCursor(int row, int col) {
    const QScopedValueRollback<bool> quiet(refilling, true);
    grid->setCurrentCell(row, col);
}

void TForm1::showPosition(std::size_t position, std::optional<std::size_t> topPosition) {
    currentPosition = position;
    refillWindow(grid->topVisibleRow());
    setCursorRow(static_cast<int>(currentPosition - window.first()));
    if (topPosition)
        grid->setTopVisibleRow(*topPosition > window.first() ? static_cast<int>(*topPosition - window.first()) : 0);
    syncScrollBar();
}

void TForm1::fillRows() {
    const QScopedValueRollback<bool> quiet(fillingRows_, true);
    const DictionaryIndex& index = sourceIndex();
    const int sides[] = {direction.sourceSide, direction.targetSide, 2};
    for (int row = 0; row < gridRows; ++row) {
        std::size_t position = window.first() + static_cast<std::size_t>(row);
        bool filled = position < window.last();
        std::uint32_t n = filled ? index.entryNumber(position) : 0;
        for (int column = 0; column < 3; ++column) {
            QString text = filled ? decode(store.entries.text(n, sides[column]), sides[column]) : QString();
            if (QTableWidgetItem* cell = grid->item(row, column)) cell->setText(text);
            else grid->setItem(row, column, new QTableWidgetItem(text));
        }
        grid->rowFlags[static_cast<std::size_t>(row)] =
            filled ? static_cast<std::uint8_t>(store.entries.flags(n) & 0xFF) : 0;
    }
    grid->filledRows = static_cast<int>(window.last() - window.first());
    grid->viewport()->update();
}

void TForm1::setCursorRow(int row) { grid->setCurrentCell(row, std::max(0, grid->currentColumn())); }

void TForm1::syncScrollBar() {
    const int topRow = grid->topVisibleRow();
    const int bottomRow = grid->bottomVisibleRow();
    const std::size_t count = sourceIndex().size();
    const int maximum = count > 0 ? static_cast<int>(count - 1) : 0;
    const int page = std::min(bottomRow - topRow, maximum);
    const int position =
        std::min(static_cast<int>(window.first()) + topRow, maximum - page);
    // The bar's value runs to maximum - page, so that its thumb stands for the
    // visible rows.
    const QScopedValueRollback<bool> quiet(syncingScrollBar_, true);
    ScrollBar1->setPageStep(std::max(page, 1));
    ScrollBar1->setRange(0, maximum - page);
    ScrollBar1->setValue(std::max(0, position));
}

void TForm1::finishCellEdit() { grid->commitOpenEdit(); }

void TForm1::ScrollBar1Scroll(int position) {
    if (syncingScrollBar_) return;
    if (grid->editing()) {
        finishCellEdit();
        // Keeping the edit reloaded the rows and the bar: back to where the user put it.
        const QScopedValueRollback<bool> quiet(syncingScrollBar_, true);
        ScrollBar1->setValue(position);
    }
    const std::size_t count = sourceIndex().size();
    if (count == 0) return;
    // The bar stands for the top visible row: the rows follow it, and the
    // cursor keeps its place on the screen.
    const int topRow = grid->topVisibleRow();
    const int distance = std::clamp(grid->currentRow() - topRow, 0, std::max(0, grid->bottomVisibleRow() - topRow));
    const std::size_t top = static_cast<std::size_t>(position);
    showPosition(std::min(top + static_cast<std::size_t>(distance), count - 1), top);
}

void TForm1::StringGrid2MouseWheel(int notches) {
    // Three rows a notch; the bar keeps within the index and moves the rows.
    constexpr int rowsPerNotch = 3;
    ScrollBar1->setValue(ScrollBar1->value() - rowsPerNotch * notches);
}

void TForm1::swapDirection() {
    finishCellEdit();
    // The box's text was last searched in the other direction.
    swappedSinceSearch_ = true;
    // The entry under the cursor stays there, with its other language in column 0.
    const std::size_t kept = positionAcross(store, direction.sourceSide, currentPosition);
    turnTo(direction.swapped(store));
    window.markStale();
    showPosition(kept);
}

void TForm1::turnTo(const Direction& turned) {
    direction = turned;
    grid->viewport()->update();
    refreshDictionaryStatus();
}

void TForm1::runSearch(bool byUser) {
    finishCellEdit();
    const QString typed = Edit1->text();
    std::string buffer = encode(typed, direction.sourceSide);
    const SearchContext context{store, characterTables, [&typed](int codePage) { return uiBytes(typed, codePage); }};
    const SearchAnswer answer = findPosition(context, buffer, direction);
    // A word of the other language: the grid is filled once, in the new direction.
    if (answer.swapsDirection) turnTo(answer.direction);
    swappedSinceSearch_ = false;
    // The entry found stands at the top of the grid.
    window.markStale();
    showPosition(answer.position, answer.position);
    if (byUser) Edit1->selectAll();
    matchList->find(typed);
}

void TForm1::showMatch(std::uint32_t entry, int side) {
    if (entry >= store.entryCount()) return;
    finishCellEdit();
    if (side != direction.sourceSide) {
        swappedSinceSearch_ = true;
        turnTo(direction.swapped(store));
    }
    const std::size_t position = sourceIndex().find(entry);
    if (position >= sourceIndex().size()) return;
    window.markStale();
    showPosition(position, position);
}

void TForm1::setMatchListHidden(bool hidden) {
    matchList->setVisible(!hidden);
    userSettings_.matchListHidden = hidden;
    writeUserSettings(userSettingsPath(), userSettings_);
    layoutMainWindow();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == Edit1) return Edit1KeyDown(key);
        if (watched == Edit2 || watched == Edit3) return EditNewEntryKeyDown(static_cast<QLineEdit*>(watched), key);
    }
    return QWidget::eventFilter(watched, event);
}

// Keys of the search box.
bool TForm1::Edit1KeyDown(QKeyEvent* event) {
    idleTicks = 0;
    switch (event->key()) {
        case Qt::Key_F5:
            swapDirection();
            return true;
        case Qt::Key_F6:
            // Into the match list, to choose from it with the arrows and Enter.
            if (matchList->isVisible()) matchList->focusRows();
            return true;
        case Qt::Key_Insert:
            // Whatever modifiers: Shift+Insert switches the adding mode, it does not paste.
            switchAddingMode();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            // The grid moves its cursor while the focus stays here.
            QKeyEvent copy(QEvent::KeyPress, event->key(), event->modifiers());
            QCoreApplication::sendEvent(grid, &copy);
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            runSearch(true);
            return false;
        default:
            return false;
    }
}

// Timer2 ticks: the search while typing, once the box has rested.
void TForm1::Timer2Timer() {
    if (++idleTicks < idleTicksBeforeSearch) return;
    std::string text = Edit1->text().toStdString();
    if (text == lastSearchText) return;
    idleTicks = 0;
    runSearch(false);
    lastSearchText = text;
}

// Keys of the grid; true when the key was used here.
bool TForm1::StringGrid2KeyDown(QKeyEvent* event) {
    if (grid->editing()) return false;
    const int key = event->key();
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    const std::size_t count = sourceIndex().size();
    if (key == Qt::Key_F5) {
        swapDirection();
        return true;
    }
    if (key == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        switchAddingMode();
        return true;
    }
    // The context menu from the keyboard.
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        popupGridMenu();
        return true;
    }
    if (key == Qt::Key_Delete && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        deleteEntry();
        return true;
    }
    const int rows = grid->bottomVisibleRow() - grid->topVisibleRow();
    switch (key) {
        case Qt::Key_PageUp:
            setCursorRow(std::max(0, grid->currentRow() - rows));
            syncScrollBar();
            return true;
        case Qt::Key_PageDown: {
            const int lastRow = static_cast<int>(std::min<std::size_t>(gridRows, count - window.first())) - 1;
            if (count > window.first()) setCursorRow(std::min(grid->currentRow() + rows, lastRow));
            syncScrollBar();
            return true;
        }
        case Qt::Key_Home:
            showPosition(0, 0);
            return true;
        case Qt::Key_End: {
            if (count == 0) return true;
            // The last entry is the lowest visible row.
            const std::size_t last = count - 1;
            const std::size_t visible = static_cast<std::size_t>(std::max(0, rows));
            showPosition(last, last + 1 > visible ? last + 1 - visible : 0);
            return true;
        }
        default:
            break;
    }
    if ((control && key == Qt::Key_C) || (control && key == Qt::Key_Insert)) {
        if (QTableWidgetItem* cell = grid->currentItem()) QApplication::clipboard()->setText(cell->text());
        return true;
    }
    return false;
}

// The grid's cursor moved: the selection rule.
void TForm1::StringGrid2SelectCell(int row, int col, int previousRow, int previousCol) {
    Timer1->stop();
    if (refilling || row < 0) return;
    const std::size_t count = sourceIndex().size();
    // Empty rows cannot be selected: the cursor goes back where it was.
    if (window.first() + static_cast<std::size_t>(row) >= count) {
        placeCursor(previousRow, previousCol);
        return;
    }
    currentPosition = window.first() + static_cast<std::size_t>(row);
    // The cursor stood on the previous row, and the rows where they were, when the move began.
    const int topRow = grid->topRowBeforeMove();
    placeCursor(previousRow < 0 ? row : previousRow, col);
    if (refillWindow(topRow)) {
        syncScrollBar();
        grid->viewport()->update();
        return;
    }
    placeCursor(row, col);
    Timer1->start();
    syncScrollBar();
    // The whole grid is repainted after every selection.
    grid->viewport()->update();
}

void TForm1::StringGrid2MouseMove(QPoint point) {
    pointerX = point.x();
    pointerY = point.y();
    if (pointerX < 0) return;  // gone from the grid: no hint is looked for
    Timer1->start();
    if (Whintik1->getshow()) Timer1Timer();
}

// Timer1, once the pointer has rested on a cell: the hint of a cut-off text.
void TForm1::Timer1Timer() {
    if (pointerX <= 0 || pointerY <= 0) return;
    const int col = grid->columnAt(pointerX), row = grid->rowAt(pointerY);
    if (col < 0 || row < 0) return;
    if (col == hintCol && row == hintRow) return;
    QTableWidgetItem* cell = grid->item(row, col);
    const QString text = cell ? cell->text() : QString();
    const QFontMetrics metrics(grid->columnFonts[static_cast<std::size_t>(col)]);
    if (grid->columnWidth(col) < metrics.horizontalAdvance(text)) {
        QPoint at = grid->viewport()->mapToGlobal(QPoint(pointerX, pointerY));
        Whintik1->show(text, at.x(), at.y() + hintBelowPointer, 1);
    } else {
        Whintik1->hide();
    }
    hintCol = col;
    hintRow = row;
}

}  // namespace trelvo

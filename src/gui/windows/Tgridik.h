#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QTableWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "core/lookup/GridWindow.h"
#include "gui/controls/ColorRef.h"

namespace trelvo {

// The entry grid: 200 rows that show a window of the source index. It draws
// its cells itself: row stripes with a faint watermark, a half-transparent
// selection with a black frame, and in column 0 the mark of an entry's origin.
// Keys, pointer moves and focus changes go to the main window's handlers.
class Tgridik : public QTableWidget {
    Q_OBJECT
public:
    explicit Tgridik(QWidget* parent = nullptr);

    // Width of the note column, column 2, as the grid starts.
    static constexpr int noteColumnWidth = 30;

    QImage cellImage;
    QImage cellBackground;
    QImage background;
    QImage markerPicture;
    QImage watermark;
    QColor evenRowColor = fromColorRef(0xFFF5F0);
    QColor oddRowColor = fromColorRef(0xF0E5E0);
    QColor selectionColor = fromColorRef(0x805030);
    std::array<QFont, 3> columnFonts;
    std::array<std::uint8_t, GridWindow::rows> rowFlags{};
    // Rows from this one on hold no entry: neither keys nor clicks put the
    // cursor or the highlight there.
    int filledRows = GridWindow::rows;

    // The main window's handlers. A key handler that returns true has used the key.
    std::function<bool(QKeyEvent*)> onKeyDown;
    std::function<void(QPoint)> onPointerMove;  // (-1, -1): the pointer left the grid
    std::function<void(int)> onWheel;  // whole notches, positive away from the user
    std::function<void()> onEnter;
    std::function<void()> onExit;
    // The user left an open cell editor for the cell (row, col), by a click
    // or an arrow key. The grid has not moved: the handler keeps the edit and
    // goes to the entry that stood in that cell.
    std::function<void(int, int)> onLeaveEdit;

    bool editing() const { return state() == QAbstractItemView::EditingState; }
    // Writes the text of an open cell editor into its cell, as Enter would,
    // and closes the editor. The cell's change reaches the main window while
    // the rows are still those the edit was started on.
    void commitOpenEdit();
    // The rows under the client points (1, 1) and (1, height - 1).
    int topVisibleRow() const;
    int bottomVisibleRow() const;
    void setTopVisibleRow(int row);
    // The top visible row as it was when the cursor last moved, before the
    // view scrolled to show the new cell.
    int topRowBeforeMove() const { return topRowBeforeMove_; }

    // Draws one cell; called for every cell the view paints.
    void drawCell(QPainter& painter, int col, int row, const QRect& rect, bool selected);

signals:
    // A cell editor closed, after its text was committed or dropped.
    void editorClosed();

protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void rebuildBackground();
    void blendWatermark(int x, int y);

    int topRowBeforeMove_ = 0;
    // The last press offers no context menu.
    bool refusesMenu_ = false;
    int wheelRest_ = 0;  // eighths of a degree short of a whole notch
};

}  // namespace trelvo

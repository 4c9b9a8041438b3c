#include "Tgridik.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>
#include <algorithm>
#include <optional>

#include "core/dictionary/DictionaryEntry.h"

namespace trelvo {

namespace {

// Hands the painting of every cell to the grid.
class CellPainter : public QStyledItemDelegate {
public:
    explicit CellPainter(Tgridik* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        grid_->drawCell(*painter, index.column(), index.row(), option.rect,
                        option.state.testFlag(QStyle::State_Selected));
    }

    bool eventFilter(QObject* editor, QEvent* event) override {
        // A click on the grid takes the focus from the editor before the grid
        // sees the click. The editor stays open: the grid ends the edit as it
        // takes the click, knowing which cell the user pointed at.
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason &&
            QApplication::focusWidget() == grid_ && grid_->onLeaveEdit)
            return false;
        return QStyledItemDelegate::eventFilter(editor, event);
    }

private:
    Tgridik* grid_;
};

// Seven eighths of b and one eighth of w in every channel, with no carry.
inline QRgb blendEighth(QRgb b, QRgb w) {
    return 0xFF000000u | (((b >> 1) & 0x7F7F7F) + ((b >> 2) & 0x3F3F3F) + ((b >> 3) & 0x1F1F1F) +
                          ((w >> 3) & 0x1F1F1F));
}

// Half of each.
inline QRgb blendHalf(QRgb c, QRgb b) {
    return 0xFF000000u | (((c >> 1) & 0x7F7F7F) + ((b >> 1) & 0x7F7F7F));
}

}  // namespace

Tgridik::Tgridik(QWidget* parent) : QTableWidget(GridWindow::rows, 3, parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setMouseTracking(true);
    setItemDelegate(new CellPainter(this));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(8);
    setColumnWidth(2, noteColumnWidth);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::white);
    setPalette(p);
}

int Tgridik::topVisibleRow() const {
    int row = rowAt(1);
    return row < 0 ? 0 : row;
}

int Tgridik::bottomVisibleRow() const {
    int row = rowAt(viewport()->height() - 1);
    return row < 0 ? rowCount() - 1 : row;
}

void Tgridik::setTopVisibleRow(int row) { verticalScrollBar()->setValue(row); }

void Tgridik::commitOpenEdit() {
    if (!editing()) return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor) return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void Tgridik::rebuildBackground() {
    const QSize size = viewport()->size();
    background = QImage(size, QImage::Format_RGB32);
    const int stripe = std::max(1, rowHeight(0));
    const int n = size.height() / stripe;
    QPainter painter(&background);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i <= n; ++i) {
        painter.setBrush(i % 2 == 0 ? evenRowColor : oddRowColor);
        painter.drawRect(0, i * stripe, size.width(), stripe);
    }
    painter.end();
    const int x = std::max(0, (columnWidth(0) - watermark.width()) / 2);
    const int y = std::max(0, (size.height() - watermark.height()) / 2);
    blendWatermark(x, y);
    blendWatermark(x + columnWidth(0), y);
}

void Tgridik::blendWatermark(int x, int y) {
    if (watermark.isNull()) return;
    int w = watermark.width(), h = watermark.height();
    if (w >= background.width() - x) w = background.width() - x - 1;
    if (h >= background.height() - y) h = background.height() - y - 1;
    for (int row = 0; row <= std::min(h, watermark.height() - 1); ++row) {
        if (y + row < 0 || y + row >= background.height()) continue;
        auto* target = reinterpret_cast<QRgb*>(background.scanLine(y + row)) + x;
        auto* source = reinterpret_cast<const QRgb*>(watermark.constScanLine(row));
        for (int col = 0; col < std::min(w, watermark.width() - 1); ++col)
            target[col] = blendEighth(target[col], source[col]);
    }
}

void Tgridik::drawCell(QPainter& painter, int col, int row, const QRect& rect, bool selected) {
    if (background.size() != viewport()->size()) rebuildBackground();
    painter.save();
    painter.setFont(columnFonts[static_cast<std::size_t>(col)]);
    if (selected) {
        // Half selection colour, half background.
        cellBackground = background.copy(rect);
        cellImage = QImage(rect.size(), QImage::Format_RGB32);
        cellImage.fill(selectionColor);
        for (int y = 0; y < cellImage.height(); ++y) {
            auto* c = reinterpret_cast<QRgb*>(cellImage.scanLine(y));
            auto* b = reinterpret_cast<const QRgb*>(cellBackground.constScanLine(y));
            for (int x = 0; x < cellImage.width(); ++x) c[x] = blendHalf(c[x], b[x]);
        }
        painter.drawImage(rect.topLeft(), cellImage);
        // The black frame stays inside the cell: the view draws the grid
        // lines, and the cells next to it, after this one.
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::white);
    } else {
        painter.drawImage(rect.topLeft(), background, rect);
        painter.setPen(Qt::black);
    }
    QTableWidgetItem* cell = item(row, col);
    if (cell) {
        const QFontMetrics metrics(painter.font());
        painter.save();
        painter.setClipRect(rect);
        painter.drawText(rect.left() + 1, rect.top() + 2 + metrics.ascent(), cell->text());
        painter.restore();
    }
    if (col == 0 && row >= 0 && row < static_cast<int>(rowFlags.size())) {
        const int h = rect.height();
        const std::uint8_t flags = rowFlags[static_cast<std::size_t>(row)];
        if (flags == efUserModified) {
            painter.setPen(Qt::black);
            painter.setBrush(QColor(255, 0, 0));
            const int cx = rect.right() + 1 - h / 2, cy = rect.top() + h / 2;
            painter.drawEllipse(QRect(QPoint(cx - h / 4, cy - h / 4), QPoint(cx + h / 4, cy + h / 4)));
        } else if (flags == efImported && !markerPicture.isNull()) {
            painter.drawImage(rect.right() + 1 - markerPicture.width() - h / 4,
                              rect.top() + h / 2 - markerPicture.height() / 2, markerPicture);
        }
    }
    painter.restore();
}

void Tgridik::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableWidget::closeEditor(editor, hint);
    emit editorClosed();
}

void Tgridik::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    topRowBeforeMove_ = topVisibleRow();
    QTableWidget::currentChanged(current, previous);
}

void Tgridik::keyPressEvent(QKeyEvent* event) {
    if (editing()) {
        // The arrow keys the editor leaves to the grid end the edit. The
        // commit may reload the rows, so the move goes to the main window,
        // which knows the entry that stands in the cell now.
        std::optional<CursorAction> action;
        switch (event->key()) {
            case Qt::Key_Up: action = MoveUp; break;
            case Qt::Key_Down: action = MoveDown; break;
            case Qt::Key_PageUp: action = MovePageUp; break;
            case Qt::Key_PageDown: action = MovePageDown; break;
            default: break;
        }
        if (action && onLeaveEdit) {
            const QModelIndex to = moveCursor(*action, event->modifiers());
            if (to.isValid() && to != currentIndex()) onLeaveEdit(to.row(), to.column());
            event->accept();
            return;
        }
    }
    if (onKeyDown && onKeyDown(event)) {
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

QModelIndex Tgridik::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex to = QTableWidget::moveCursor(action, modifiers);
    return to.isValid() && to.row() >= filledRows ? currentIndex() : to;
}

void Tgridik::mousePressEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    const bool onEmptyRow = at.isValid() && at.row() >= filledRows;
    // A press made while editing, or on a row without an entry, offers no
    // menu: its commands would act on an entry other than the one pressed.
    refusesMenu_ = editing() || onEmptyRow;
    if (editing() && onLeaveEdit) {
        if (!at.isValid()) commitOpenEdit();
        else if (at != currentIndex()) onLeaveEdit(at.row(), at.column());
        else if (QWidget* editor = indexWidget(at)) editor->setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    if (onEmptyRow) {
        // The grid takes the focus, the cursor stays.
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

bool Tgridik::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ContextMenu && refusesMenu_) {
        refusesMenu_ = false;
        event->accept();
        return true;
    }
    return QTableWidget::viewportEvent(event);
}

void Tgridik::wheelEvent(QWheelEvent* event) {
    // The rows never scroll by themselves: the wheel moves through the whole
    // index, as the scroll bar does. Fine wheels add up to whole notches.
    event->accept();
    const int delta = event->angleDelta().y();
    if ((delta > 0 && wheelRest_ < 0) || (delta < 0 && wheelRest_ > 0)) wheelRest_ = 0;
    wheelRest_ += delta;
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    if (notches != 0 && onWheel) onWheel(notches);
}

void Tgridik::mouseMoveEvent(QMouseEvent* event) {
    if (onPointerMove) onPointerMove(event->position().toPoint());
    QTableWidget::mouseMoveEvent(event);
}

void Tgridik::leaveEvent(QEvent* event) {
    if (onPointerMove) onPointerMove(QPoint(-1, -1));
    QTableWidget::leaveEvent(event);
}

void Tgridik::focusInEvent(QFocusEvent* event) {
    if (onEnter) onEnter();
    QTableWidget::focusInEvent(event);
}

void Tgridik::focusOutEvent(QFocusEvent* event) {
    if (onExit) onExit();
    QTableWidget::focusOutEvent(event);
}

}  // namespace trelvo

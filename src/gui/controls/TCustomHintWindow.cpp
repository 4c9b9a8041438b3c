#include "TCustomHintWindow.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <algorithm>

namespace trelvo {

namespace {

QScreen* screenFor(const QPoint& point) {
    if (QScreen* screen = QGuiApplication::screenAt(point)) return screen;
    return QGuiApplication::primaryScreen();
}

// Wrapping and drawing must agree, so both use these flags; no mnemonic
// processing, an '&' in a cell text is shown as it is.
constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

}  // namespace

TCustomHintWindow::TCustomHintWindow(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    // The colours real tooltips use, not the window's.
    setPalette(QToolTip::palette());
}

QRect TCustomHintWindow::CalcHintRect(int maxWidth, const QString& text) const {
    QFontMetrics metrics(font());
    // The height only has to be large enough not to limit the wrapping.
    QRect bounds = metrics.boundingRect(QRect(0, 0, std::max(maxWidth, 1), 1 << 20), textFlags, text);
    QRect rect(0, 0, bounds.width() + extraWidth, bounds.height() + extraHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        int excess = rect.y() + rect.height() - screen->geometry().height();
        if (excess > 0) rect.translate(0, -excess);
    }
    return rect;
}

void TCustomHintWindow::ActivateHint(const QRect& rect, const QString& text) {
    text_ = text;
    QRect placed = rect;
    if (QScreen* screen = screenFor(rect.topLeft())) {
        QRect desktop = screen->availableGeometry();
        if (placed.right() > desktop.right()) placed.moveRight(desktop.right());
        if (placed.bottom() > desktop.bottom()) placed.moveBottom(desktop.bottom());
        // A popup larger than the desktop keeps the start of its text visible.
        if (placed.left() < desktop.left()) placed.moveLeft(desktop.left());
        if (placed.top() < desktop.top()) placed.moveTop(desktop.top());
    }
    setGeometry(placed);
    update();
    // A tooltip window is topmost once mapped, so no raise is needed.
    QWidget::show();
}

void TCustomHintWindow::ReleaseHint() { QWidget::hide(); }

void TCustomHintWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::ToolTipBase));

    painter.setFont(font());
    painter.setPen(colours.color(QPalette::ToolTipText));
    QRect textArea(textInsetX, textInsetY, width() - 2 * textInsetX, height() - 2 * textInsetY);
    painter.drawText(textArea, textFlags, text_);

    // Raised edge: light top and left, dark bottom and right.
    const int right = width() - 1;
    const int bottom = height() - 1;
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(0, 0, right, 0);
    painter.drawLine(0, 0, 0, bottom);
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(0, bottom, right, bottom);
    painter.drawLine(right, 0, right, bottom);
}

}  // namespace trelvo

#include "WCwindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

namespace trelvo {

namespace {

// Wayland does not let a client place its own top-level window.
bool clientMovesRefused() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

}  // namespace

WCwindow::WCwindow(QWidget* owner) : QWidget(owner), owner_(owner) {
    // Key presses reach the control after a click and go on to the owner.
    setFocusPolicy(Qt::ClickFocus);
    backColor_ = owner ? owner->palette().color(QPalette::Window) : palette().color(QPalette::Window);
    if (owner) {
        if (owner->isWindow() && !owner->windowFlags().testFlag(Qt::FramelessWindowHint)) {
            // Changing the flags hides a shown window.
            const bool wasVisible = owner->isVisible();
            owner->setWindowFlag(Qt::FramelessWindowHint, true);
            if (wasVisible) owner->show();
        }
        owner->installEventFilter(this);
        fillOwner();
        // The owner's other controls lie on top.
        lower();
    }
}

// The event filter goes with the object.
WCwindow::~WCwindow() = default;

void WCwindow::SetFCol(const QColor& value) {
    backColor_ = value;
    repaintOwner();
}

void WCwindow::SetFColA1(const QColor& value) {
    actColor1_ = value;
    repaintOwner();
}

void WCwindow::SetFColA2(const QColor& value) {
    actColor2_ = value;
    repaintOwner();
}

void WCwindow::SetFColN1(const QColor& value) {
    noActColor1_ = value;
    repaintOwner();
}

void WCwindow::SetFColN2(const QColor& value) {
    noActColor2_ = value;
    repaintOwner();
}

void WCwindow::SetFFont(const QFont& value) {
    setFont(value);
    repaintOwner();
}

void WCwindow::SetFFocen(bool value) {
    viewFocus_ = value;
    repaintOwner();
}

void WCwindow::SetFCB(bool value) {
    closeButton_ = value;
    repaintOwner();
}

void WCwindow::SetCaption(const QString& text) {
    caption_ = text;
    repaintOwner();
}

WCwindow::Zone WCwindow::zoneAt(const QPoint& point, int width, bool closeEnabled) {
    if (point.y() >= dragBandHeight) return Zone::None;
    if (closeEnabled && point.x() > width - 13 && point.x() < width - 2) return Zone::Close;
    return Zone::Drag;
}

void WCwindow::repaintOwner() {
    if (owner_) owner_->update();
}

void WCwindow::fillOwner() {
    if (owner_) setGeometry(owner_->rect());
}

bool WCwindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && event->type() == QEvent::Resize) fillOwner();
    // The owner's own handling always follows.
    return QWidget::eventFilter(watched, event);
}

// Nothing to draw: the owner paints its own caption if it wants one.
void WCwindow::paintEvent(QPaintEvent*) {}

void WCwindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !owner_) return;
    switch (zoneAt(event->position().toPoint())) {
    case Zone::Close:
        closePressed_ = true;
        update();
        break;
    case Zone::Drag: {
        QWindow* window = owner_->isWindow() ? owner_->windowHandle() : nullptr;
        // Where the client may not move itself, the compositor drags.
        if (clientMovesRefused() && window && window->startSystemMove()) break;
        dragging_ = true;
        pressGlobal_ = event->globalPosition().toPoint();
        ownerStart_ = owner_->pos();
        break;
    }
    case Zone::None:
        break;
    }
}

void WCwindow::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !owner_) return;
    owner_->move(ownerStart_ + event->globalPosition().toPoint() - pressGlobal_);
}

void WCwindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (dragging_) {
        dragging_ = false;
    } else if (closePressed_) {
        closePressed_ = false;
        update();
        if (owner_) owner_->close();
    }
}

void WCwindow::keyPressEvent(QKeyEvent* event) {
    if (!owner_) {
        event->ignore();
        return;
    }
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                   event->nativeVirtualKey(), event->nativeModifiers(), event->text(),
                   event->isAutoRepeat(), event->count());
    QCoreApplication::sendEvent(owner_, &copy);
    // Accepted here, so the press does not reach the owner a second time
    // by the usual passing to the parent.
    event->accept();
}

}  // namespace trelvo

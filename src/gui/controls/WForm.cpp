#include "WForm.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace trelvo {

WForm::WForm(QWidget* parent) : QWidget(parent) {
    // The buffer covers every pixel, so the background is never erased.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::ClickFocus);
    resize(defaultWidth, defaultHeight);
}

WForm::~WForm() = default;

void WForm::SetBitmap(const QImage& image) {
    // A deep copy, so the caller's later painting does not show here.
    bitmap_ = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32).copy();
    if (!bitmap_.isNull()) resize(bitmap_.size());
    update();
}

const QImage& WForm::composeBuffer() {
    if (buffer_.size() != size()) {
        buffer_ = QImage(size(), QImage::Format_RGB32);
        // Where the picture does not reach, a fresh buffer shows black.
        buffer_.fill(Qt::black);
    }
    if (!bitmap_.isNull() && !buffer_.isNull()) {
        QPainter painter(&buffer_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(0, 0), bitmap_, QRect(QPoint(0, 0), size()));
    }
    return buffer_;
}

void WForm::paintEvent(QPaintEvent*) {
    composeBuffer();
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), buffer_);
}

void WForm::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
}

void WForm::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && pressed_ &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) pressed_ = false;
    if (click) emit Click();
}

void WForm::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is not a click of its own.
    pressed_ = false;
    if (event->button() == Qt::LeftButton) emit DblClick();
}

void WForm::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(event->key(), event->modifiers());
    QWidget::keyPressEvent(event);
}

}  // namespace trelvo

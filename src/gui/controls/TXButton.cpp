#include "TXButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace trelvo {

namespace {

QImage rgb32(const QImage& image) {
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TXButton::TXButton(QWidget* parent) : QWidget(parent) {
    // A tab stop, like any push button.
    setFocusPolicy(Qt::StrongFocus);
    // The image covers the button; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(defaultWidth, defaultHeight);
}

TXButton::~TXButton() = default;

void TXButton::SetBitmap(const QImage& image) {
    bitmap_ = rgb32(image);
    if (!bitmap_.isNull()) resize(bitmap_.size());
    update();
}

void TXButton::SetBitmapClick(const QImage& image) {
    bitmapClick_ = rgb32(image);
    update();
}

void TXButton::SetBitmapEnter(const QImage& image) {
    bitmapEnter_ = rgb32(image);
    update();
}

void TXButton::SetPushed(bool on) {
    pushed_ = on;
    update();
}

const QImage& TXButton::currentImage() const {
    if (pushed_ && !bitmapClick_.isNull()) return bitmapClick_;
    if (hover_ && !bitmapEnter_.isNull()) return bitmapEnter_;
    return bitmap_;
}

QImage TXButton::blended(const QImage& image, const QImage& background, int a, int b, int x, int y) {
    QImage result = rgb32(image);
    if (result.isNull() || a + b == 0) return result;
    const QImage under = rgb32(background);
    for (int r = 0; r < result.height(); ++r) {
        const int by = y + r;
        if (by < 0 || by >= under.height()) continue;
        QRgb* row = reinterpret_cast<QRgb*>(result.scanLine(r));
        const QRgb* back = reinterpret_cast<const QRgb*>(under.constScanLine(by));
        for (int c = 0; c < result.width(); ++c) {
            const int bx = x + c;
            if (bx < 0 || bx >= under.width()) continue;
            auto mix = [&](int old, int bg) { return (b * bg + a * old) / (a + b); };
            const QRgb old = row[c];
            const QRgb bg = back[bx];
            row[c] = qRgb(mix(qRed(old), qRed(bg)), mix(qGreen(old), qGreen(bg)),
                          mix(qBlue(old), qBlue(bg)));
        }
    }
    return result;
}

QImage TXButton::overlaid(const QImage& image, const QImage& background, const QRect& area) {
    // Whatever of the area lies outside the background stays black.
    QImage result(area.size(), QImage::Format_RGB32);
    result.fill(Qt::black);
    {
        QPainter painter(&result);
        painter.drawImage(QPoint(0, 0), rgb32(background), area);
    }
    const QImage over = rgb32(image);
    const int w = std::min(over.width(), result.width());
    const int h = std::min(over.height(), result.height());
    for (int r = 0; r < h; ++r) {
        QRgb* row = reinterpret_cast<QRgb*>(result.scanLine(r));
        const QRgb* top = reinterpret_cast<const QRgb*>(over.constScanLine(r));
        for (int c = 0; c < w; ++c)
            if ((top[c] & 0x00FFFFFF) != 0) row[c] = top[c];
    }
    return result;
}

void TXButton::SetTransparent(int a, int b, const QImage& background, int x, int y) {
    bitmap_ = blended(bitmap_, background, a, b, x, y);
    update();
}

void TXButton::SetTransparentClick(int a, int b, const QImage& background, int x, int y) {
    bitmapClick_ = blended(bitmapClick_, background, a, b, x, y);
    update();
}

void TXButton::SetTransparentEnter(int a, int b, const QImage& background, int x, int y) {
    bitmapEnter_ = blended(bitmapEnter_, background, a, b, x, y);
    update();
}

void TXButton::SetTransparent(const QImage& background, int, int) {
    const QRect area = geometry();
    // A missing image stays missing: filled with background it would make
    // the button show bare background under the pointer or while pushed.
    for (QImage* image : {&bitmap_, &bitmapClick_, &bitmapEnter_})
        if (!image->isNull()) *image = overlaid(*image, background, area);
    update();
}

void TXButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), currentImage(), rect());
}

void TXButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QWidget::enterEvent(event);
}

void TXButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QWidget::leaveEvent(event);
}

void TXButton::press(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pushed_ = switch_ ? !pushed_ : true;
        pressed_ = true;
        repaint();
    }
    const QPoint at = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void TXButton::mousePressEvent(QMouseEvent* event) { press(event); }

void TXButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a quick pair still flips a switch.
    press(event);
    if (event->button() == Qt::LeftButton) emit DblClick();
}

void TXButton::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool click = event->button() == Qt::LeftButton && pressed_ && rect().contains(at);
    if (event->button() == Qt::LeftButton) {
        if (!switch_) pushed_ = false;
        pressed_ = false;
        repaint();
    }
    emit MouseUp(event->button(), event->modifiers(), at.x(), at.y());
    if (click) emit Click();
}

void TXButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit MouseMove(event->modifiers(), at.x(), at.y());
}

void TXButton::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(event->key(), event->modifiers());
    QWidget::keyPressEvent(event);
}

}  // namespace trelvo

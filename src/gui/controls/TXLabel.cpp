#include "TXLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QtMath>
#include <algorithm>
#include <cstdlib>

namespace trelvo {

namespace {

// Exact pixel moves, so a turned caption keeps every pixel of its ink.
QImage turned(const QImage& source, int rotation) {
    const int w = source.width();
    const int h = source.height();
    if (rotation != TXLabel::rotateLeft && rotation != TXLabel::rotateRight &&
        rotation != TXLabel::rotateHalf)
        return source;
    QImage result = rotation == TXLabel::rotateHalf ? QImage(w, h, source.format())
                                                    : QImage(h, w, source.format());
    result.setDotsPerMeterX(source.dotsPerMeterX());
    result.setDotsPerMeterY(source.dotsPerMeterY());
    result.setDevicePixelRatio(source.devicePixelRatio());
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            switch (rotation) {
            case TXLabel::rotateLeft:
                reinterpret_cast<QRgb*>(result.scanLine(w - 1 - x))[y] = row[x];
                break;
            case TXLabel::rotateRight:
                reinterpret_cast<QRgb*>(result.scanLine(x))[h - 1 - y] = row[x];
                break;
            default:
                reinterpret_cast<QRgb*>(result.scanLine(h - 1 - y))[w - 1 - x] = row[x];
                break;
            }
        }
    }
    return result;
}

}  // namespace

TXLabel::TXLabel(QWidget* parent) : QWidget(parent) {
    // The parent's painting must show between the letters.
    setAutoFillBackground(false);
    Loaded();
}

TXLabel::~TXLabel() = default;

void TXLabel::SetCaption(const QString& text) {
    if (text == caption_) return;
    caption_ = text;
    update();
}

QColor TXLabel::FontColor() const {
    return fontColor_.isValid() ? fontColor_ : palette().color(foregroundRole());
}

void TXLabel::SetFontColor(const QColor& color) {
    if (color == fontColor_) return;
    fontColor_ = color;
    update();
}

void TXLabel::SetFont2(const QFont& value) {
    if (value == font2_) return;
    font2_ = value;
    invalidate();
}

void TXLabel::SetFont2Color(const QColor& color) {
    if (color == font2Color_) return;
    font2Color_ = color;
    invalidate();
}

void TXLabel::SetShadowText(bool on) {
    if (on == shadowText_) return;
    shadowText_ = on;
    invalidate();
}

void TXLabel::SetOfsX(int pixels) {
    if (pixels == ofsX_) return;
    ofsX_ = pixels;
    invalidate();
}

void TXLabel::SetOfsY(int pixels) {
    if (pixels == ofsY_) return;
    ofsY_ = pixels;
    invalidate();
}

void TXLabel::SetRotation(int rotation) {
    if (rotation == rotation_) return;
    rotation_ = rotation;
    invalidate();
}

void TXLabel::SetLeft(int x) {
    if (rotation_ == rotateHalf) return;
    left_ = x;
    move(x, y());
    right_ = x + width();
}

void TXLabel::SetTop(int y) {
    if (rotation_ == rotateLeft) return;
    top_ = y;
    move(x(), y);
    bottom_ = y + height();
}

void TXLabel::SetRight(int x) {
    right_ = x;
    if (rotation_ != rotateHalf) return;
    left_ = x - width();
    move(left_, y());
}

void TXLabel::SetBottom(int y) {
    bottom_ = y;
    if (rotation_ != rotateLeft) return;
    top_ = y - height();
    move(x(), top_);
}

void TXLabel::Loaded() {
    left_ = x();
    top_ = y();
    bottom_ = top_ + height();
    right_ = left_ + width();
}

void TXLabel::invalidate() {
    dirty_ = true;
    update();
}

bool TXLabel::needsRender() const {
    // QFont's == ignores which attributes were set, and so does the picture.
    return dirty_ || renderedCaption_ != caption_ || renderedFont_ != font() ||
           renderedColor_ != FontColor() || renderedRatio_ != devicePixelRatioF();
}

bool TXLabel::ensureRendered() {
    if (!needsRender()) return false;
    render();
    return true;
}

QFont TXLabel::crisp(const QFont& font) {
    QFont result = font;
    result.setStyleStrategy(QFont::NoAntialias);
    return result;
}

void TXLabel::syncPosition() {
    if (y() != top_) SetTop(y());
    if (x() != left_) SetLeft(x());
}

void TXLabel::render() {
    const QFont textFont = crisp(font());
    const QFont shadowFont = crisp(font2_);
    const QColor textColor = FontColor();

    // Measured and drawn at the widget's resolution, so point sizes agree.
    const QFontMetrics metrics(textFont, this);
    int w = metrics.horizontalAdvance(caption_);
    int h = metrics.height();
    if (shadowText_) {
        w += std::abs(ofsX_);
        h += std::abs(ofsY_);
    }
    w = std::max(w, 2);
    h = std::max(h, 2);

    const int dotsX = qRound(logicalDpiX() / 0.0254);
    const int dotsY = qRound(logicalDpiY() / 0.0254);
    // On a dense screen the caption is drawn with as many pixels as the screen has.
    const qreal ratio = devicePixelRatioF();
    auto blank = [&](Qt::GlobalColor fill) {
        QImage image(qCeil(w * ratio), qCeil(h * ratio), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.setDotsPerMeterX(dotsX);
        image.setDotsPerMeterY(dotsY);
        image.fill(fill);
        return image;
    };
    QImage colour = blank(Qt::black);
    QImage mask = blank(Qt::white);

    // Placed by the top of the text cell, whatever each font's ascent.
    auto draw = [&](QImage& image, const QFont& font, const QColor& color, int x, int y) {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), caption_);
    };
    if (!shadowText_) {
        draw(colour, textFont, textColor, 0, 0);
        draw(mask, textFont, Qt::black, 0, 0);
    } else {
        const int tx = std::max(ofsX_, 0);
        const int ty = std::max(ofsY_, 0);
        const int sx = std::max(-ofsX_, 0);
        const int sy = std::max(-ofsY_, 0);
        draw(colour, shadowFont, font2Color_, sx, sy);
        draw(colour, textFont, textColor, tx, ty);
        draw(mask, shadowFont, Qt::black, sx, sy);
        draw(mask, textFont, Qt::black, tx, ty);
    }

    colourImage_ = turned(colour, rotation_);
    maskImage_ = turned(mask, rotation_);
    const bool across = rotation_ == rotateLeft || rotation_ == rotateRight;
    const QSize size = across ? QSize(h, w) : QSize(w, h);
    if (rotation_ == rotateLeft) {
        // Read upwards, the caption grows away from its bottom edge.
        top_ = bottom_ - size.height();
        setGeometry(x(), top_, size.width(), size.height());
    } else {
        resize(size);
    }

    renderedFont_ = font();
    renderedColor_ = textColor;
    renderedCaption_ = caption_;
    renderedRatio_ = ratio;
    dirty_ = false;
    ++renderCount_;
}

void TXLabel::paintEvent(QPaintEvent*) {
    syncPosition();
    ensureRendered();
    QPainter painter(this);
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawImage(0, 0, maskImage_);
    painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
    painter.drawImage(0, 0, colourImage_);
}

void TXLabel::showEvent(QShowEvent* event) {
    // Sized before the first paint, so that paint covers the whole caption.
    ensureRendered();
    QWidget::showEvent(event);
}

void TXLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) update();
    QWidget::changeEvent(event);
}

void TXLabel::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) pressed_ = true;
    emit MouseDown(event->button(), event->modifiers(), at.x(), at.y());
}

void TXLabel::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool click = event->button() == Qt::LeftButton && pressed_ && rect().contains(at);
    if (event->button() == Qt::LeftButton) pressed_ = false;
    emit MouseUp(event->button(), event->modifiers(), at.x(), at.y());
    if (click) emit Click();
}

void TXLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    // The second press of a double click is not a click of its own.
    pressed_ = false;
    emit MouseDown(event->button(), event->modifiers(), at.x(), at.y());
    if (event->button() == Qt::LeftButton) emit DblClick();
}

void TXLabel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit MouseMove(event->modifiers(), at.x(), at.y());
}

}  // namespace trelvo

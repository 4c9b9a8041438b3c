#include "TAnimShape.h"

#include <QPainter>
#include <algorithm>

namespace trelvo {

namespace {

QImage blackImage(const QSize& size) {
    QImage image(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// Truncating each weighted half separately: the mix of two equal channels
// stays exact, and no result exceeds 255.
inline quint32 mixChannel(quint32 b, quint32 s, int step) {
    return b - ((b * step) >> 4) + ((s * step) >> 4);
}

}  // namespace

TAnimShape::TAnimShape(QWidget* parent) : QWidget(parent), display_(blackImage(size())) {
    startImage_ = display_;
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TAnimShape::tick);
}

TAnimShape::~TAnimShape() = default;

void TAnimShape::SetAnimate(bool on) {
    animate_ = on;
    if (on) {
        startImage_ = display_;
        step_ = 0;
        timer_.start(std::max(interval_, 1));
    } else {
        timer_.stop();
    }
}

void TAnimShape::SetInterval(int milliseconds) {
    interval_ = milliseconds;
    if (animate_) timer_.start(std::max(interval_, 1));
}

void TAnimShape::tick() {
    if (!blendSource || blendSource->isNull()) return;
    // Done: further ticks change nothing (and the count cannot overflow).
    if (step_ > fadeSteps) return;
    ++step_;
    if (step_ == fadeSteps) {
        drawSource();
        emit BlendCompleted(this);
    } else if (step_ < fadeSteps) {
        const QImage::Format format = blendSource->format();
        if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32)
            blend(*blendSource);
        else
            blend(blendSource->convertToFormat(QImage::Format_RGB32));
    }
}

void TAnimShape::clear() {
    fitDisplay();
    display_.fill(Qt::black);
    startImage_ = display_;
    update();
}

void TAnimShape::copybmp() {
    if (!blendSource || blendSource->isNull()) return;
    drawSource();
}

void TAnimShape::drawSource() {
    fitDisplay();
    if (!display_.isNull()) {
        QPainter painter(&display_);
        // A plain copy, whatever the source's alpha says.
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(blendX, blendY, *blendSource);
    }
    startImage_ = display_;
    update();
}

void TAnimShape::blend(const QImage& source) {
    // Only where the source, the picture and the start image all overlap.
    const QRect region = QRect(QPoint(blendX, blendY), source.size()) & display_.rect() &
                         startImage_.rect();
    if (region.isEmpty()) return;
    const int step = step_;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        const quint32* from = reinterpret_cast<const quint32*>(startImage_.constScanLine(y));
        const quint32* to = reinterpret_cast<const quint32*>(source.constScanLine(y - blendY));
        quint32* out = reinterpret_cast<quint32*>(display_.scanLine(y));
        for (int x = region.left(); x <= region.right(); ++x) {
            const quint32 b = from[x];
            const quint32 s = to[x - blendX];
            out[x] = (mixChannel((b >> 16) & 0xFF, (s >> 16) & 0xFF, step) << 16) |
                     (mixChannel((b >> 8) & 0xFF, (s >> 8) & 0xFF, step) << 8) |
                     mixChannel(b & 0xFF, s & 0xFF, step);
        }
    }
    update(region);
}

void TAnimShape::fitDisplay() {
    if (display_.size() == size()) return;
    QImage resized = blackImage(size());
    if (resized.isNull() || display_.isNull()) {
        display_ = resized;
        return;
    }
    QPainter painter(&resized);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, display_);
    painter.end();
    display_ = resized;
}

void TAnimShape::paintEvent(QPaintEvent*) {
    fitDisplay();
    if (display_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, display_);
}

void TAnimShape::resizeEvent(QResizeEvent* event) {
    fitDisplay();
    QWidget::resizeEvent(event);
}

}  // namespace trelvo

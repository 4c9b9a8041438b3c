#include "CASShape.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <QWindow>
#include <QtMath>
#include <algorithm>
#include <cstdlib>

namespace trelvo {

namespace {

QString cutCaption(const QString& text) {
    if (text.size() <= CASShape::maxCaptionLength) return text;
    qsizetype length = CASShape::maxCaptionLength;
    // Never leave half of a surrogate pair at the end.
    if (text.at(length - 1).isHighSurrogate()) --length;
    return text.left(length);
}

// Rounds k * d / steps to the nearest integer, halves away from zero, in
// integers so both directions of a line pick mirrored pixels.
int minorOffset(int k, int d, int steps) {
    const int magnitude = (2 * k * std::abs(d) + steps) / (2 * steps);
    return d < 0 ? -magnitude : magnitude;
}

int clampChannel(float value) { return std::clamp(static_cast<int>(value), 0, 255); }

// Wayland does not let a client place its own top-level window.
bool clientMovesRefused() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

}  // namespace

CASShape::CASShape(QWidget* owner) : QWidget(owner), owner_(owner) {
    setMouseTracking(true);
    backColor_ = owner ? owner->palette().color(QPalette::Window) : palette().color(QPalette::Window);
    SetCaption(QStringLiteral("WCwindow"));
    if (owner) {
        if (owner->isWindow() && !owner->windowFlags().testFlag(Qt::FramelessWindowHint)) {
            // Changing the flags hides a shown window.
            const bool wasVisible = owner->isVisible();
            owner->setWindowFlag(Qt::FramelessWindowHint, true);
            if (wasVisible) owner->show();
        }
        owner->installEventFilter(this);
        fillOwner();
        // The owner's other controls lie on top of the frame.
        lower();
        if (owner->isVisible()) Loaded();
    }
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &CASShape::applicationStateChanged);
}

// The event filter and the application connection go with the object.
CASShape::~CASShape() = default;

void CASShape::Loaded() {
    viewFocus_ = true;
    loaded_ = true;
    if (owner_ && owner_->isWindow()) active_ = owner_->isActiveWindow();
    repaintOwner();
}

void CASShape::SetFCol(const QColor& value) {
    backColor_ = value;
    QPalette colours = palette();
    colours.setColor(QPalette::Window, value);
    setPalette(colours);
    repaintOwner();
}

void CASShape::SetFColA1(const QColor& value) {
    actColor1_ = value;
    repaintOwner();
}

void CASShape::SetFColA2(const QColor& value) {
    actColor2_ = value;
    repaintOwner();
}

void CASShape::SetFColN1(const QColor& value) {
    noActColor1_ = value;
    repaintOwner();
}

void CASShape::SetFColN2(const QColor& value) {
    noActColor2_ = value;
    repaintOwner();
}

void CASShape::SetFFont(const QFont& value) {
    setFont(value);
    repaintOwner();
}

void CASShape::SetFontColor(const QColor& value) {
    fontColor_ = value;
    repaintOwner();
}

void CASShape::SetFFocen(bool value) {
    viewFocus_ = value;
    repaintOwner();
}

void CASShape::SetFCB(bool value) {
    closeButton_ = value;
    repaintOwner();
}

void CASShape::SetFMinB(bool value) {
    minButton_ = value;
    // Without a maximize button the minimize button takes its place.
    minButtonOffset_ = maxButton_ ? 20 : 10;
    maxButtonOffset_ = 10;
    repaintOwner();
}

void CASShape::SetFMaxB(bool value) {
    maxButton_ = value;
    minButtonOffset_ = maxButton_ ? 20 : 10;
    maxButtonOffset_ = 10;
    repaintOwner();
}

void CASShape::SetSizeable(bool value) {
    sizeable_ = value;
    repaintOwner();
}

void CASShape::SetFCapview(bool value) {
    viewCaption_ = value;
    repaintOwner();
}

void CASShape::SetFCaptionHeight(int pixels) {
    captionHeight_ = pixels;
    repaintOwner();
}

void CASShape::SetFCaptionPosHeight(int pixels) {
    captionHPos_ = pixels;
    repaintOwner();
}

void CASShape::SetCaption(const QString& text) {
    caption_ = text;
    captionText_ = cutCaption(text);
    repaintOwner();
}

int CASShape::stripWidth() const { return (owner_ ? owner_->width() : width()) - 4; }

QColor CASShape::gradientStart() const { return !active_ && viewFocus_ ? noActColor1_ : actColor1_; }

QColor CASShape::gradientEnd() const { return !active_ && viewFocus_ ? noActColor2_ : actColor2_; }

CASShape::Zone CASShape::zoneAt(const QPoint& point) const {
    if (point.y() >= captionHeight_ + 2) return Zone::Client;
    const int ws = stripWidth();
    const int x = point.x();
    if (minButton_ && ws - 11 - minButtonOffset_ < x && x < ws - minButtonOffset_) return Zone::MinimizeButton;
    if (maxButton_ && ws - 11 - maxButtonOffset_ < x && x < ws - maxButtonOffset_) return Zone::MaximizeButton;
    if (closeButton_ && ws - 11 < x && x < ws) return Zone::CloseButton;
    return Zone::Caption;
}

QString CASShape::hintAt(const QPoint& point) const {
    switch (zoneAt(point)) {
    case Zone::MinimizeButton:
        return QStringLiteral("Minimalizovat");
    case Zone::MaximizeButton:
        return owner_ && owner_->isMaximized() ? QStringLiteral("Obnovit") : QStringLiteral("Maximalizovat");
    case Zone::CloseButton:
        return QStringLiteral("Zavřít");
    case Zone::Caption:
    case Zone::Client:
        break;
    }
    return toolTip();
}

std::optional<Qt::CursorShape> CASShape::hoverCursorAt(const QPoint& point) const {
    if (!sizeable_) return std::nullopt;
    const int x = point.x();
    const int y = point.y();
    const int w = width();
    const int h = height();
    // A caption this low leaves no room for a top edge of its own.
    if (viewCaption_ && captionHeight_ < 7 && y < 4) return std::nullopt;
    if (x < 4 || x > w - 5) {
        if ((y > h - 20 && x > w - 5) || (y < 20 && x < 4)) return Qt::SizeFDiagCursor;
        if ((y > h - 20 && x < 4) || (y < 20 && x > w - 5)) return Qt::SizeBDiagCursor;
        return Qt::SizeHorCursor;
    }
    if (y < 4 || y > h - 5) {
        if ((y > h - 5 && x > w - 20) || (y < 4 && x < 20)) return Qt::SizeFDiagCursor;
        if ((y > h - 5 && x < 20) || (y < 4 && x > w - 20)) return Qt::SizeBDiagCursor;
        return Qt::SizeVerCursor;
    }
    return Qt::ArrowCursor;
}

QList<QColor> CASShape::captionGradient(const QColor& start, const QColor& end, int width) {
    QList<QColor> columns;
    if (width <= 0) return columns;
    columns.reserve(width);
    // Single precision on purpose: the steps and their rounding are part of
    // how the caption looks.
    const float redStep = static_cast<float>(end.red() - start.red()) / static_cast<float>(width);
    const float greenStep = static_cast<float>(end.green() - start.green()) / static_cast<float>(width);
    const float blueStep = static_cast<float>(end.blue() - start.blue()) / static_cast<float>(width);
    float red = static_cast<float>(start.red());
    float green = static_cast<float>(start.green());
    float blue = static_cast<float>(start.blue());
    for (int x = 0; x < width; ++x) {
        columns.append(QColor(clampChannel(red), clampChannel(green), clampChannel(blue)));
        red += redStep;
        green += greenStep;
        blue += blueStep;
    }
    return columns;
}

QList<QPolygon> CASShape::glyphStrokes(Glyph glyph, int ws, int captionHeight, int offset, bool pressed) {
    const int h = captionHeight / 2;
    const int p = pressed ? 1 : 0;
    const int o = glyph == Glyph::Close ? 0 : offset;
    auto at = [&](int fromRight, int dy) { return QPoint(ws - fromRight - o + p, h + dy + p); };
    switch (glyph) {
    case Glyph::Close:
        return {QPolygon({at(12, -3), at(5, 3)}), QPolygon({at(11, -3), at(4, 3)}),
                QPolygon({at(5, -3), at(12, 3)}), QPolygon({at(6, -3), at(13, 3)})};
    case Glyph::Minimize:
        return {QPolygon({at(12, 3), at(5, 3)}), QPolygon({at(12, 2), at(5, 2)})};
    case Glyph::Maximize:
        return {QPolygon({at(12, -3), at(5, -3), at(5, 3), at(12, 3), at(12, -2), at(5, -2)})};
    case Glyph::Restore:
        return {QPolygon({at(12, -1), at(7, -1), at(7, 3), at(12, 3), at(12, 0), at(7, 0)}),
                QPolygon({at(10, -3), at(5, -3), at(5, 1)})};
    }
    return {};
}

QList<QPoint> CASShape::strokePixels(const QPolygon& polyline) {
    QList<QPoint> pixels;
    for (qsizetype i = 0; i + 1 < polyline.size(); ++i) {
        const QPoint from = polyline.at(i);
        const int dx = polyline.at(i + 1).x() - from.x();
        const int dy = polyline.at(i + 1).y() - from.y();
        const int steps = std::max(std::abs(dx), std::abs(dy));
        for (int k = 0; k < steps; ++k)
            pixels.append(from + QPoint(minorOffset(k, dx, steps), minorOffset(k, dy, steps)));
    }
    return pixels;
}

QList<CASShape::FrameLine> CASShape::frameLines(const QSize& size) {
    const int w = size.width();
    const int h = size.height();
    return {
        {QColor(0, 0, 0), QPolygon({{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}, {0, 0}})},
        {QColor(255, 255, 255), QPolygon({{1, h - 2}, {1, 1}, {w - 2, 1}})},
        {QColor(128, 128, 128), QPolygon({{w - 2, 1}, {w - 2, h - 2}, {1, h - 2}})},
    };
}

Qt::Edges CASShape::sizingEdges(const QSize& size, const QPoint& press, Qt::CursorShape cursor) {
    const Qt::Edges horizontal = size.width() / 2 > press.x() ? Qt::LeftEdge : Qt::RightEdge;
    const Qt::Edges vertical = size.height() / 2 > press.y() ? Qt::TopEdge : Qt::BottomEdge;
    switch (cursor) {
    case Qt::SizeHorCursor:
        return horizontal;
    case Qt::SizeVerCursor:
        return vertical;
    case Qt::SizeFDiagCursor:
    case Qt::SizeBDiagCursor:
        return horizontal | vertical;
    default:
        return {};
    }
}

CASShape::SizingStep CASShape::sizingStep(const QRect& window, const QPoint& press, const QPoint& pointer,
                                          Qt::Edges edges) {
    SizingStep step{window, press};
    // A cursor that does not size drags the window along.
    if (!edges) {
        step.geometry.translate(pointer - press);
        return step;
    }
    // The left and top edges move with the pointer; the right and bottom
    // ones change the size, and the press point follows the pointer.
    auto horizontal = [&] {
        const int d = pointer.x() - press.x();
        const int w = window.width();
        if (edges.testFlag(Qt::LeftEdge)) {
            if (w - d < minimumExtent) return false;
            step.geometry.setLeft(window.left() + d);
        } else {
            if (w + d < minimumExtent) return false;
            step.geometry.setWidth(w + d);
            step.press.setX(pointer.x());
        }
        return true;
    };
    auto vertical = [&] {
        const int d = pointer.y() - press.y();
        const int h = window.height();
        if (edges.testFlag(Qt::TopEdge)) {
            if (h - d < minimumExtent) return false;
            step.geometry.setTop(window.top() + d);
        } else {
            if (h + d < minimumExtent) return false;
            step.geometry.setHeight(h + d);
            step.press.setY(pointer.y());
        }
        return true;
    };
    if ((edges & (Qt::LeftEdge | Qt::RightEdge)) && !horizontal()) return step;
    if (edges & (Qt::TopEdge | Qt::BottomEdge)) vertical();
    return step;
}

QImage CASShape::renderStrip() const {
    const int ws = stripWidth();
    if (ws <= 0 || captionHeight_ <= 0) return QImage();
    // As many pixels as the screen has, so the caption's text is sharp on a
    // dense screen; the gradient and the glyphs keep their design pixels.
    const qreal ratio = devicePixelRatioF();
    QImage strip(qCeil(ws * ratio), qCeil(captionHeight_ * ratio), QImage::Format_RGB32);
    strip.setDevicePixelRatio(ratio);
    // Point-sized fonts must come out as large as on the window.
    strip.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
    strip.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));

    const QList<QColor> columns = captionGradient(gradientStart(), gradientEnd(), ws);
    for (int y = 0; y < strip.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < strip.width(); ++x) line[x] = columns.at(std::min(int(x / ratio), ws - 1)).rgb();
    }

    QPainter painter(&strip);
    painter.setFont(font());
    painter.setPen(fontColor_);
    const QFontMetrics metrics(font(), &strip);
    // The text's top-left corner, not its base line, sits at CaptionHPos.
    painter.drawText(QPoint(5, captionHPos_ + metrics.ascent()), captionText_);

    painter.setPen(glyphColour_);
    auto drawGlyph = [&](Glyph glyph, int offset, bool pressed) {
        for (const QPolygon& stroke : glyphStrokes(glyph, ws, captionHeight_, offset, pressed))
            painter.drawPoints(QPolygon(strokePixels(stroke)));
    };
    if (closeButton_) drawGlyph(Glyph::Close, 0, closePressed_);
    if (minButton_) drawGlyph(Glyph::Minimize, minButtonOffset_, minPressed_);
    if (maxButton_) {
        const bool maximized = owner_ && owner_->isMaximized();
        drawGlyph(maximized ? Glyph::Restore : Glyph::Maximize, maxButtonOffset_, maxPressed_);
    }
    return strip;
}

void CASShape::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (viewCaption_ && event->rect().top() < captionHeight_ + 2) {
        const QImage strip = renderStrip();
        if (!strip.isNull()) painter.drawImage(QPoint(2, 2), strip);
    }
    for (const FrameLine& line : frameLines(size())) {
        painter.setPen(line.colour);
        painter.drawPoints(QPolygon(strokePixels(line.polyline)));
    }
}

bool CASShape::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString hint = hintAt(help->pos());
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), hint, this);
        return true;
    }
    return QWidget::event(event);
}

bool CASShape::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        switch (event->type()) {
        case QEvent::Resize:
            fillOwner();
            break;
        case QEvent::Show:
            if (!loaded_) Loaded();
            break;
        case QEvent::WindowActivate:
            Activate();
            break;
        case QEvent::WindowDeactivate:
            Deactivate();
            break;
        case QEvent::WindowStateChange:
            // Maximize and restore swap glyphs.
            update();
            break;
        default:
            break;
        }
    }
    // The owner's own handling always follows.
    return QWidget::eventFilter(watched, event);
}

void CASShape::Activate() {
    active_ = true;
    emit activated();
    repaintOwner();
}

void CASShape::Deactivate() {
    active_ = false;
    emit deactivated();
    repaintOwner();
}

void CASShape::applicationStateChanged(Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) {
        if (owner_ && QApplication::activeWindow() == owner_) Activate();
    } else {
        // Every window shows its inactive colours while another program has
        // the foreground.
        Deactivate();
    }
}

void CASShape::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (owner_) {
        sizingEdges_ = {};
        if (sizeable_ && !ownerCursorIsDefault()) {
            dragMode_ = DragMode::Sizing;
            press_ = point;
            // The edges are chosen once: a pointer that crosses the middle
            // of a window held at its minimum size must not start moving
            // the opposite edge.
            sizingEdges_ = sizingEdges(size(), point, ownerCursor());
        }
        switch (zoneAt(point)) {
        case Zone::MinimizeButton:
            minPressed_ = true;
            repaintOwner();
            break;
        case Zone::MaximizeButton:
            maxPressed_ = true;
            repaintOwner();
            break;
        case Zone::CloseButton:
            closePressed_ = true;
            repaintOwner();
            break;
        case Zone::Caption:
            if (ownerCursorIsDefault()) dragMode_ = DragMode::Moving;
            press_ = point;
            break;
        case Zone::Client:
            break;
        }
        if (dragMode_ != DragMode::None) {
            dragGeometry_ = owner_->geometry();
            if (event->button() == Qt::LeftButton && startSystemDrag()) dragMode_ = DragMode::None;
        }
    }
    emit mousePressed(event);
}

void CASShape::mouseMoveEvent(QMouseEvent* event) {
    const bool leftHeld = event->buttons().testFlag(Qt::LeftButton);
    if (owner_) {
        if (leftHeld && sizeable_ && dragMode_ == DragMode::Sizing) {
            const Qt::CursorShape cursor = ownerCursor();
            if (cursor != Qt::ArrowCursor) {
                const QPoint pointer = event->globalPosition().toPoint() - dragGeometry_.topLeft();
                const SizingStep step = sizingStep(dragGeometry_, press_, pointer, sizingEdges_);
                press_ = step.press;
                placeOwner(step.geometry);
                // Held at its minimum size, the window's edge waits until the
                // pointer comes back to it.
                if (sizingEdges_.testFlag(Qt::RightEdge))
                    press_.rx() += dragGeometry_.width() - step.geometry.width();
                if (sizingEdges_.testFlag(Qt::BottomEdge))
                    press_.ry() += dragGeometry_.height() - step.geometry.height();
                return;
            }
        } else if (leftHeld && dragMode_ == DragMode::Moving) {
            // The control moves with the window, so the press point stays
            // under the pointer.
            const QPoint topLeft = event->globalPosition().toPoint() - press_;
            emit mouseMoved(event);
            placeOwner(QRect(topLeft, dragGeometry_.size()));
            return;
        }
        if (!leftHeld) followHint(event);
        if (!leftHeld && sizeable_ && dragMode_ == DragMode::None) {
            if (const auto cursor = hoverCursorAt(event->position().toPoint())) {
                if (*cursor != Qt::ArrowCursor)
                    owner_->setCursor(*cursor);
                else if (!ownerCursorIsDefault())
                    owner_->unsetCursor();
            }
        }
    }
    emit mouseMoved(event);
}

void CASShape::mouseReleaseEvent(QMouseEvent* event) {
    dragMode_ = DragMode::None;
    QPointer<CASShape> self(this);
    // Wherever the pointer is now: pressing is what chose the button.
    if (owner_ && closePressed_) {
        closePressed_ = false;
        repaintOwner();
        owner_->close();
        if (!self) return;
    }
    if (owner_ && minPressed_) {
        minPressed_ = false;
        repaintOwner();
        minimizeOwner();
    }
    if (owner_ && maxPressed_) {
        maxPressed_ = false;
        repaintOwner();
        toggleMaximized();
    }
    if (self) emit mouseReleased(event);
}

void CASShape::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click must not press a button again.
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    // As on any title bar, a double click on the caption maximizes and restores.
    if (owner_ && maxButton_ && ownerCursorIsDefault() && zoneAt(event->position().toPoint()) == Zone::Caption)
        toggleMaximized();
    emit doubleClicked();
}

void CASShape::followHint(QMouseEvent* event) {
    const Zone zone = zoneAt(event->position().toPoint());
    if (zone == hoverZone_) return;
    hoverZone_ = zone;
    // A hint already up changes at once, as the tool bar's do from button to button.
    if (QToolTip::isVisible()) {
        const QString hint = hintAt(event->position().toPoint());
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPosition().toPoint(), hint, this);
    }
}

void CASShape::toggleMaximized() {
    if (owner_->isMaximized())
        owner_->showNormal();
    else
        owner_->showMaximized();
}

void CASShape::leaveEvent(QEvent* event) {
    if (dragMode_ == DragMode::None && owner_ && !ownerCursorIsDefault()) owner_->unsetCursor();
    QWidget::leaveEvent(event);
}

void CASShape::repaintOwner() { update(); }

void CASShape::fillOwner() {
    if (owner_) setGeometry(owner_->rect());
}

void CASShape::placeOwner(const QRect& geometry) {
    if (geometry == dragGeometry_) return;
    if (geometry.size() == owner_->size())
        owner_->move(geometry.topLeft());
    else
        owner_->setGeometry(geometry);
    // The window keeps to its own minimum and maximum size.
    dragGeometry_ = QRect(geometry.topLeft(),
                          geometry.size().expandedTo(owner_->minimumSize()).boundedTo(owner_->maximumSize()));
}

Qt::CursorShape CASShape::ownerCursor() const { return owner_ ? owner_->cursor().shape() : Qt::ArrowCursor; }

bool CASShape::startSystemDrag() {
    if (!clientMovesRefused()) return false;
    QWindow* window = owner_->windowHandle();
    if (!window) return false;
    if (dragMode_ == DragMode::Moving || !sizingEdges_) return window->startSystemMove();
    return window->startSystemResize(sizingEdges_);
}

void CASShape::minimizeOwner() {
    if (owner_->parentWidget()) {
        owner_->showMinimized();
        return;
    }
    // The main window takes the whole program down with it.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window->isVisible() && (type == Qt::Window || type == Qt::Dialog)) window->showMinimized();
    }
}

}  // namespace trelvo

#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>
#include <QWidget>

#include "ColorRef.h"

namespace trelvo {

// An invisible caption for a frameless window: the control covers the
// owner's client area, lets the owner be dragged by its top band and closed
// from a small zone at the band's right end, and hands key presses on to
// the owner. It paints nothing; the colours, font and caption are kept for
// the owner to use.
class WCwindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor BackColor READ BackColor WRITE SetFCol)
    Q_PROPERTY(QColor ActColor1 READ ActColor1 WRITE SetFColA1)
    Q_PROPERTY(QColor ActColor2 READ ActColor2 WRITE SetFColA2)
    Q_PROPERTY(QColor NoActColor1 READ NoActColor1 WRITE SetFColN1)
    Q_PROPERTY(QColor NoActColor2 READ NoActColor2 WRITE SetFColN2)
    Q_PROPERTY(QFont Font READ Font WRITE SetFFont)
    Q_PROPERTY(bool ViewFocus READ ViewFocus WRITE SetFFocen)
    Q_PROPERTY(bool CloseButtonEnabled READ CloseButtonEnabled WRITE SetFCB)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    // What a left press at a point does.
    enum class Zone { None, Drag, Close };

    static constexpr int captionHeight = 16;
    // The band that drags: the caption and its 2-pixel frame line.
    static constexpr int dragBandHeight = captionHeight + 2;

    // The control makes itself a child of the owner, fills its client area
    // and switches the owner's window-system frame off.
    explicit WCwindow(QWidget* owner);
    ~WCwindow() override;

    QColor BackColor() const { return backColor_; }
    void SetFCol(const QColor& value);
    QColor ActColor1() const { return actColor1_; }
    void SetFColA1(const QColor& value);
    QColor ActColor2() const { return actColor2_; }
    void SetFColA2(const QColor& value);
    QColor NoActColor1() const { return noActColor1_; }
    void SetFColN1(const QColor& value);
    QColor NoActColor2() const { return noActColor2_; }
    void SetFColN2(const QColor& value);
    QFont Font() const { return font(); }
    void SetFFont(const QFont& value);
    bool ViewFocus() const { return viewFocus_; }
    void SetFFocen(bool value);
    bool CloseButtonEnabled() const { return closeButton_; }
    void SetFCB(bool value);
    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& text);

    QWidget* ownerForm() const { return owner_; }

    // For a control `width` pixels wide: the close zone is the band's
    // columns strictly between width - 13 and width - 2, when enabled.
    static Zone zoneAt(const QPoint& point, int width, bool closeEnabled);
    Zone zoneAt(const QPoint& point) const { return zoneAt(point, width(), closeButton_); }
    bool inDragBand(const QPoint& point) const { return zoneAt(point) == Zone::Drag; }
    bool inCloseZone(const QPoint& point) const { return zoneAt(point) == Zone::Close; }

    bool isDragging() const { return dragging_; }
    bool isClosePressed() const { return closePressed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void repaintOwner();
    void fillOwner();

    QWidget* owner_ = nullptr;
    QColor backColor_;
    QColor actColor1_ = fromColorRef(0xAA0000);
    QColor actColor2_ = fromColorRef(0x440000);
    QColor noActColor1_ = fromColorRef(0xAAAAAA);
    QColor noActColor2_ = fromColorRef(0x222222);
    bool viewFocus_ = false;
    bool closeButton_ = false;
    QString caption_ = QStringLiteral("WCwindow");

    bool dragging_ = false;
    bool closePressed_ = false;
    // Where the drag began, in global coordinates, and where the owner
    // stood then; measured from these, a window system that has not caught
    // up with the last move does not make the window creep.
    QPoint pressGlobal_;
    QPoint ownerStart_;
};

}  // namespace trelvo

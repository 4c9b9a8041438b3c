#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QWidget>

#include "ColorRef.h"
#include <optional>

namespace trelvo {

// The frame and caption of a frameless top-level window. The control covers
// the owner's whole client area underneath the owner's other children, paints
// the 3-D frame and the caption strip with its gradient, title and buttons,
// and moves and sizes the window with the mouse, as the window system's own
// decoration would. It watches the owner through an event filter, so whatever
// the owner does with its own events keeps happening.
class CASShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor BackColor READ BackColor WRITE SetFCol)
    Q_PROPERTY(QColor ActColor1 READ ActColor1 WRITE SetFColA1)
    Q_PROPERTY(QColor ActColor2 READ ActColor2 WRITE SetFColA2)
    Q_PROPERTY(QColor NoActColor1 READ NoActColor1 WRITE SetFColN1)
    Q_PROPERTY(QColor NoActColor2 READ NoActColor2 WRITE SetFColN2)
    Q_PROPERTY(QFont Font READ Font WRITE SetFFont)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(bool ViewFocus READ ViewFocus WRITE SetFFocen)
    Q_PROPERTY(bool CloseButtonEnabled READ CloseButtonEnabled WRITE SetFCB)
    Q_PROPERTY(bool MinButtonEnabled READ MinButtonEnabled WRITE SetFMinB)
    Q_PROPERTY(bool MaxButtonEnabled READ MaxButtonEnabled WRITE SetFMaxB)
    Q_PROPERTY(bool Sizeable READ Sizeable WRITE SetSizeable)
    Q_PROPERTY(bool ViewCaption READ ViewCaption WRITE SetFCapview)
    Q_PROPERTY(int CaptionHeight READ CaptionHeight WRITE SetFCaptionHeight)
    Q_PROPERTY(int CaptionHPos READ CaptionHPos WRITE SetFCaptionPosHeight)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    // What a point of the control is for, as far as a mouse press goes.
    enum class Zone { Client, Caption, MinimizeButton, MaximizeButton, CloseButton };
    enum class Glyph { Close, Minimize, Maximize, Restore };
    enum class DragMode { None, Moving, Sizing };

    // The control makes itself a child of the owner and switches the owner's
    // window-system frame off.
    explicit CASShape(QWidget* owner);
    ~CASShape() override;

    // Call once the owner has set the properties; the first showing of the
    // owner does it otherwise. The colours then follow the window's
    // activation, whatever ViewFocus was set to before.
    void Loaded();


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
    QColor FontColor() const { return fontColor_; }
    void SetFontColor(const QColor& value);
    bool ViewFocus() const { return viewFocus_; }
    void SetFFocen(bool value);
    bool CloseButtonEnabled() const { return closeButton_; }
    void SetFCB(bool value);
    bool MinButtonEnabled() const { return minButton_; }
    void SetFMinB(bool value);
    bool MaxButtonEnabled() const { return maxButton_; }
    void SetFMaxB(bool value);
    bool Sizeable() const { return sizeable_; }
    void SetSizeable(bool value);
    bool ViewCaption() const { return viewCaption_; }
    void SetFCapview(bool value);
    int CaptionHeight() const { return captionHeight_; }
    void SetFCaptionHeight(int pixels);
    int CaptionHPos() const { return captionHPos_; }
    void SetFCaptionPosHeight(int pixels);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& text);
    // The caption as drawn: cut to maxCaptionLength characters.
    const QString& CaptionText() const { return captionText_; }
    static constexpr int maxCaptionLength = 215;

    QWidget* ownerForm() const { return owner_; }
    bool isActive() const { return active_; }
    DragMode dragMode() const { return dragMode_; }
    int minButtonOffset() const { return minButtonOffset_; }
    int maxButtonOffset() const { return maxButtonOffset_; }

    // Width of the caption strip: the client width less the frame.
    int stripWidth() const;
    // Where the caption text's top-left corner lands, in control coordinates.
    QPoint captionTextOrigin() const { return QPoint(2 + 5, 2 + captionHPos_); }
    // The gradient ends in use now: inactive only while the window is
    // inactive and ViewFocus asks for it.
    QColor gradientStart() const;
    QColor gradientEnd() const;

    // What a press at `point` (control coordinates) would hit.
    Zone zoneAt(const QPoint& point) const;
    // The hint shown while the pointer rests at `point`: each caption button
    // names what it does, the rest of the frame shows the control's tool tip.
    QString hintAt(const QPoint& point) const;
    // The cursor that hovering at `point` asks for; none where the cursor
    // must stay as it is. Arrow stands for the default cursor.
    std::optional<Qt::CursorShape> hoverCursorAt(const QPoint& point) const;

    // One colour per column of a strip `width` pixels wide, stepped in
    // single precision from `start` so the caption looks the same on every
    // machine.
    static QList<QColor> captionGradient(const QColor& start, const QColor& end, int width);
    // Polylines of a caption-button glyph in strip coordinates; `offset` is
    // the button's distance from the close button's place.
    static QList<QPolygon> glyphStrokes(Glyph glyph, int stripWidth, int captionHeight, int offset,
                                        bool pressed);
    // The pixels a 1-pixel pen sets along a polyline, each segment stopping
    // short of its last point.
    static QList<QPoint> strokePixels(const QPolygon& polyline);
    // Frame lines of a client area `size`: black outline, white top-left
    // highlight, grey bottom-right shade.
    struct FrameLine {
        QColor colour;
        QPolygon polyline;
    };
    static QList<FrameLine> frameLines(const QSize& size);

    // The edges a sizing drag moves, fixed when it begins: for the cursor's
    // directions, the edges of the halves of the window `size` that hold the
    // press point. None for a cursor that does not size.
    static Qt::Edges sizingEdges(const QSize& size, const QPoint& press, Qt::CursorShape cursor);
    // One step of a sizing drag of `edges`. `window` is the owner's geometry,
    // `press` and `pointer` are in control coordinates at that geometry. A
    // step that would leave the window narrower or lower than minimumExtent
    // pixels is refused; a corner whose horizontal step is refused does not
    // size vertically either.
    struct SizingStep {
        QRect geometry;
        QPoint press;
    };
    static SizingStep sizingStep(const QRect& window, const QPoint& press, const QPoint& pointer, Qt::Edges edges);
    static constexpr int minimumExtent = 10;

    // Renders the caption strip as the next paint will copy it.
    QImage renderStrip() const;

signals:
    // The owner became active or inactive, also through the application
    // coming to or leaving the foreground.
    void activated();
    void deactivated();
    // The mouse events of the control, for whatever the owner wants to do
    // with them; mouseMoved is not sent while sizing.
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);
    // A left double click on the frame or caption; it neither presses a
    // button nor starts a drag. On the caption of a window with a maximize
    // button it also maximizes or restores the window.
    void doubleClicked();

public slots:
    void Activate();
    void Deactivate();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void applicationStateChanged(Qt::ApplicationState state);
    void repaintOwner();
    void fillOwner();
    void placeOwner(const QRect& geometry);
    Qt::CursorShape ownerCursor() const;
    bool ownerCursorIsDefault() const { return ownerCursor() == Qt::ArrowCursor; }
    bool startSystemDrag();
    void minimizeOwner();
    void toggleMaximized();
    void followHint(QMouseEvent* event);

    QWidget* owner_ = nullptr;
    QColor backColor_;
    QColor actColor1_ = fromColorRef(0xAA0000);
    QColor actColor2_ = fromColorRef(0x440000);
    QColor noActColor1_ = fromColorRef(0xAAAAAA);
    QColor noActColor2_ = fromColorRef(0x222222);
    QColor fontColor_ = Qt::white;
    QColor glyphColour_ = Qt::white;
    bool viewFocus_ = false;
    bool closeButton_ = false;
    bool minButton_ = false;
    bool maxButton_ = false;
    bool sizeable_ = false;
    bool viewCaption_ = true;
    int captionHeight_ = 16;
    int captionHPos_ = 1;
    QString caption_;
    QString captionText_;

    bool loaded_ = false;
    bool active_ = false;
    DragMode dragMode_ = DragMode::None;
    QPoint press_;
    Qt::Edges sizingEdges_;
    // Where the pointer last rested, so the hint changes as it crosses from
    // one caption button to another or onto the frame.
    Zone hoverZone_ = Zone::Client;
    // The geometry the drag last asked for; the pointer is measured against
    // it, not against a window system that may not have caught up yet.
    QRect dragGeometry_;
    bool closePressed_ = false;
    bool minPressed_ = false;
    bool maxPressed_ = false;
    int minButtonOffset_ = 10;
    int maxButtonOffset_ = 10;
};

}  // namespace trelvo

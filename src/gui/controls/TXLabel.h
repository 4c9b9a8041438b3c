#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include "ColorRef.h"
#include <cstdint>

namespace trelvo {

// A one-line caption drawn over whatever the parent painted beneath it, with
// an optional drop shadow in a second font and an optional quarter or half
// turn. The caption is rendered once into a colour image (black background)
// and a mask (white background, ink black); a paint then ANDs the mask into
// the screen and ORs the colour image over it, so only the ink covers the
// parent. Rendering happens again only when something that shows changed.
class TXLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(QFont Font2 READ Font2 WRITE SetFont2)
    Q_PROPERTY(QColor Font2Color READ Font2Color WRITE SetFont2Color)
    Q_PROPERTY(bool ShadowText READ ShadowText WRITE SetShadowText)
    Q_PROPERTY(int OfsX READ OfsX WRITE SetOfsX)
    Q_PROPERTY(int OfsY READ OfsY WRITE SetOfsY)
    Q_PROPERTY(int Rotation READ Rotation WRITE SetRotation)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Right READ Right WRITE SetRight)
    Q_PROPERTY(int Bottom READ Bottom WRITE SetBottom)
public:
    enum : int {
        noRotation = 0,
        rotateLeft = 1,   // 90° counter-clockwise, the text reads upwards
        rotateRight = 2,  // 90° clockwise, the text reads downwards
        rotateHalf = 3,   // upside down
    };

    explicit TXLabel(QWidget* parent = nullptr);
    ~TXLabel() override;

    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& text);

    // Follows the parent's font until set.
    QFont Font() const { return font(); }
    void SetFont(const QFont& value) { setFont(value); }
    // Follows the palette's text colour until set.
    QColor FontColor() const;
    void SetFontColor(const QColor& color);

    const QFont& Font2() const { return font2_; }
    void SetFont2(const QFont& value);
    const QColor& Font2Color() const { return font2Color_; }
    void SetFont2Color(const QColor& color);

    // The same colours as the program keeps them, 0x00BBGGRR.
    std::uint32_t FontColorRef() const { return toColorRef(FontColor()); }
    void SetFontColorRef(std::uint32_t value) { SetFontColor(fromColorRef(value)); }
    std::uint32_t Font2ColorRef() const { return toColorRef(font2Color_); }
    void SetFont2ColorRef(std::uint32_t value) { SetFont2Color(fromColorRef(value)); }

    bool ShadowText() const { return shadowText_; }
    void SetShadowText(bool on);
    // The text lies at (max(OfsX, 0), max(OfsY, 0)) and the shadow at
    // (max(-OfsX, 0), max(-OfsY, 0)): OfsX -1 puts the shadow 1 pixel right.
    int OfsX() const { return ofsX_; }
    void SetOfsX(int pixels);
    int OfsY() const { return ofsY_; }
    void SetOfsY(int pixels);
    int Rotation() const { return rotation_; }
    void SetRotation(int rotation);

    // Anchors. Under rotateLeft the label is placed by Bottom (Top is
    // ignored) and keeps its bottom edge when the caption changes size;
    // under rotateHalf Left is ignored and Right places it.
    int Left() const { return left_; }
    void SetLeft(int x);
    int Top() const { return top_; }
    void SetTop(int y);
    int Right() const { return right_; }
    void SetRight(int x);
    int Bottom() const { return bottom_; }
    void SetBottom(int y);
    // Takes the anchors from where the label stands now, as after a form
    // has placed its controls.
    void Loaded();

    // Renders if anything visible changed since the last time and sizes the
    // label to the result; returns true when it rendered.
    bool ensureRendered();
    // What a paint combines with the screen (after ensureRendered).
    const QImage& colourImage() const { return colourImage_; }
    const QImage& maskImage() const { return maskImage_; }
    // How many times the caption was rendered, to tell a cheap repaint.
    int renderCount() const { return renderCount_; }

signals:
    void Click();
    void DblClick();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseMove(Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void invalidate();
    bool needsRender() const;
    void render();
    // Someone may have moved the label with QWidget::move.
    void syncPosition();
    // The fonts as drawn: aliased, since the AND/OR combination is only
    // right for pixels that are fully ink or fully background.
    static QFont crisp(const QFont& font);

    QString caption_;
    QColor fontColor_;  // invalid: the palette's text colour
    QFont font2_;
    QColor font2Color_ = Qt::black;
    bool shadowText_ = false;
    int ofsX_ = 0;
    int ofsY_ = 0;
    int rotation_ = noRotation;
    int left_ = 0;
    int top_ = 0;
    int right_ = 0;
    int bottom_ = 0;

    QImage colourImage_;
    QImage maskImage_;
    QFont renderedFont_;
    QColor renderedColor_;
    QString renderedCaption_;
    qreal renderedRatio_ = 0;
    bool dirty_ = true;
    int renderCount_ = 0;
    bool pressed_ = false;
};

}  // namespace trelvo

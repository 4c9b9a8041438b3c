#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace trelvo {

// The popup of TWhintik: a frameless, topmost window that never takes the
// focus and shows a word-wrapped text over the tooltip colour inside a
// 1-pixel raised edge.
class TCustomHintWindow : public QWidget {
    Q_OBJECT
public:
    explicit TCustomHintWindow(QWidget* parent = nullptr);

    // Outer size of a popup for the text wrapped at maxWidth, measured with
    // this window's font, at the origin; moved up if it would reach below
    // the bottom of the screen.
    QRect CalcHintRect(int maxWidth, const QString& text) const;

    // Shows the popup with the text at the rectangle's size, pushed left or
    // up as far as needed to stay on the available desktop, without
    // activating it.
    void ActivateHint(const QRect& rect, const QString& text);
    // Takes the popup down.
    void ReleaseHint();

    const QString& text() const { return text_; }

    // Extra size around the measured text: 2 pixels of air on each side and
    // the edges, but only the edges above and below, so a one-line hint is
    // no taller than it needs to be.
    static constexpr int extraWidth = 6;
    static constexpr int extraHeight = 2;
    // Text inset from the outer edge: the edge and one pixel at the sides,
    // the edge alone above and below, where the line height has its own air.
    static constexpr int textInsetX = 2;
    static constexpr int textInsetY = 1;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

}  // namespace trelvo

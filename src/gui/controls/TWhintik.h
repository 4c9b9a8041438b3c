#pragma once

#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace trelvo {

class TCustomHintWindow;

// Shows a short text in a popup next to a screen point when the program asks
// for it, at once or after a delay during which the request must not change,
// and takes it down again after TimeView. The control itself is never
// visible; it only owns the two timers and the popup.
class TWhintik : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(int TimeView READ TimeView WRITE Settv)
    Q_PROPERTY(int TimeBeforeView READ TimeBeforeView WRITE Settbv)
    Q_PROPERTY(int MaxWidth READ MaxWidth WRITE SetMaxWidth)
public:
    explicit TWhintik(QWidget* parent = nullptr);
    ~TWhintik() override;

    // Requests a hint with its top-left corner at the screen point (x, y);
    // immediate == 1 shows it at once, anything else after TimeBeforeView.
    // These hide QWidget::show()/hide() on purpose: the control never shows.
    void show(const QString& text, int x, int y, int immediate);
    // Shows the current request now.
    void reallyshow();
    // Takes the hint down and drops a pending request.
    void hide();
    bool getshow() const { return showing_; }

    // Follows the parent's font until set.
    QFont Font() const { return font(); }
    void SetFont(const QFont& value) { setFont(value); }
    int TimeView() const { return timeView_; }
    void Settv(int milliseconds);
    int TimeBeforeView() const { return timeBeforeView_; }
    void Settbv(int milliseconds);
    int MaxWidth() const { return maxWidth_; }
    void SetMaxWidth(int pixels) { maxWidth_ = pixels; }

    TCustomHintWindow* HintWindow() const { return hintWindow_; }
    const QString& HintText() const { return hintText_; }
    int HintX() const { return hintX_; }
    int HintY() const { return hintY_; }

    // Longest text kept from a request.
    static constexpr int maxHintLength = 4999;

    // Whatever asks for it, the control stays hidden.
    void setVisible(bool visible) override;

private:
    TCustomHintWindow* hintWindow_ = nullptr;
    QTimer viewTimer_;        // timer 1: how long a hint stays up
    QTimer beforeViewTimer_;  // timer 2: the delay before a hint shows
    QString hintText_;
    int hintX_ = 0;
    int hintY_ = 0;
    bool showing_ = false;
    int timeView_ = 3000;
    int timeBeforeView_ = 1000;
    int maxWidth_ = 300;
};

}  // namespace trelvo

#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

namespace trelvo {

// Shows an image and cross-fades it, in sixteen timer ticks, to a new image
// placed at (blendX, blendY); the last tick draws the new image exactly and
// reports the end of the fade once. The fade timer belongs to the control, so
// no tick can reach it after it is destroyed.
class TAnimShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Animate READ Animate WRITE SetAnimate)
    Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
public:
    // Ticks needed for a whole fade; the last one draws the source exactly.
    static constexpr int fadeSteps = 16;

    explicit TAnimShape(QWidget* parent = nullptr);
    ~TAnimShape() override;

    // True snapshots what is shown as the fade's start, rewinds the fade and
    // starts the timer (also when already animating); false stops the timer.
    bool Animate() const { return animate_; }
    void SetAnimate(bool on);
    // Milliseconds between ticks; a running timer restarts with the new value.
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);

    // Set directly by the user. The source is not owned and must outlive the
    // fade; without one (or with a null image) the ticks do nothing.
    const QImage* blendSource = nullptr;
    int blendX = 0;
    int blendY = 0;

    // One timer tick: advances the fade by one step (see step()).
    void tick();
    // Fills what is shown black and makes that the fade's start.
    void clear();
    // Draws the source exactly, as the fade's last step does, without the
    // BlendCompleted signal.
    void copybmp();

    // What the control shows (Format_RGB32, the control's size once painted).
    const QImage& display() const { return display_; }
    // What the fade blends from.
    const QImage& startImage() const { return startImage_; }
    // 0 before the first tick, 1..15 while fading, 16 when done; later ticks
    // leave it at 17.
    int step() const { return step_; }
    bool timerActive() const { return timer_.isActive(); }
    int timerInterval() const { return timer_.interval(); }

signals:
    // Emitted once per fade, at its last step.
    void BlendCompleted(trelvo::TAnimShape* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Keeps the picture's top-left part; new area is black.
    void fitDisplay();
    void drawSource();
    void blend(const QImage& source);

    bool animate_ = false;
    int interval_ = 100;
    QTimer timer_;
    QImage display_;
    QImage startImage_;
    int step_ = 0;
};

}  // namespace trelvo

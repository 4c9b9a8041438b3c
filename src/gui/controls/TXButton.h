#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

namespace trelvo {

// A push button drawn entirely from pictures: a normal image, one shown
// while the pointer is over the button and one shown while it is pushed.
// In Switch mode each press flips the pushed state and a release leaves it
// alone, so the button stays down until the next press.
class TXButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE SetBitmap)
    Q_PROPERTY(QImage BitmapClick READ BitmapClick WRITE SetBitmapClick)
    Q_PROPERTY(QImage BitmapEnter READ BitmapEnter WRITE SetBitmapEnter)
    Q_PROPERTY(bool Switch READ Switch WRITE SetSwitch)
    Q_PROPERTY(bool Pushed READ Pushed WRITE SetPushed)
public:
    static constexpr int defaultWidth = 60;
    static constexpr int defaultHeight = 30;

    explicit TXButton(QWidget* parent = nullptr);
    ~TXButton() override;

    // Images are kept as Format_RGB32. Setting the normal image sizes the
    // button to it.
    const QImage& Bitmap() const { return bitmap_; }
    void SetBitmap(const QImage& image);
    const QImage& BitmapClick() const { return bitmapClick_; }
    void SetBitmapClick(const QImage& image);
    const QImage& BitmapEnter() const { return bitmapEnter_; }
    void SetBitmapEnter(const QImage& image);

    bool Switch() const { return switch_; }
    void SetSwitch(bool on) { switch_ = on; }
    bool Pushed() const { return pushed_; }
    void SetPushed(bool on);
    // The pointer is over the button.
    bool Hover() const { return hover_; }

    // The image a paint copies to the button now: the pushed image while
    // pushed, else the hover image under the pointer, else the normal one;
    // a missing image falls through to the next.
    const QImage& currentImage() const;

    // Blends an image with the background under it, per colour byte:
    // (b * background + a * image) / (a + b). `x`, `y` place the image's
    // top-left corner in the background. Pixels without background beneath
    // them, and every pixel when a + b is 0, keep their value.
    static QImage blended(const QImage& image, const QImage& background, int a, int b, int x, int y);
    // The `area` of the background with the image drawn over it, black
    // pixels of the image letting the background through.
    static QImage overlaid(const QImage& image, const QImage& background, const QRect& area);

    // Blend the normal, pushed or hover image with the background.
    void SetTransparent(int a, int b, const QImage& background, int x, int y);
    void SetTransparentClick(int a, int b, const QImage& background, int x, int y);
    void SetTransparentEnter(int a, int b, const QImage& background, int x, int y);
    // Lays every image over the part of the parent's background under the
    // button, black being transparent. The button's own geometry places it;
    // `x` and `y` are taken only so both forms are called alike.
    void SetTransparent(const QImage& background, int x, int y);

signals:
    void Click();
    void DblClick();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void press(QMouseEvent* event);

    QImage bitmap_;
    QImage bitmapClick_;
    QImage bitmapEnter_;
    bool switch_ = false;
    bool pushed_ = false;
    bool hover_ = false;
    // A left press began on the button, so its release is a click.
    bool pressed_ = false;
};

}  // namespace trelvo

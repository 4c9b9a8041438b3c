#pragma once

#include <QImage>
#include <QWidget>

namespace trelvo {

// A windowed control showing a picture through a back buffer, so a repaint
// never shows the background being erased first.
class WForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE SetBitmap)
public:
    static constexpr int defaultWidth = 50;
    static constexpr int defaultHeight = 50;

    explicit WForm(QWidget* parent = nullptr);
    ~WForm() override;

    const QImage& Bitmap() const { return bitmap_; }
    // Copies the picture and sizes the control to it.
    void SetBitmap(const QImage& image);

    // Brings the back buffer to the control's size with the top-left part
    // of the picture in it, as a paint then copies it to the screen.
    const QImage& composeBuffer();
    const QImage& backBuffer() const { return buffer_; }

signals:
    void Click();
    void DblClick();
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage bitmap_;
    QImage buffer_;
    bool pressed_ = false;
};

}  // namespace trelvo

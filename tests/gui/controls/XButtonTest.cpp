#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <memory>

#include "gui/controls/TXButton.h"
#include "gui/controls/WCwindow.h"
#include "gui/controls/WForm.h"

using namespace trelvo;

namespace {

QImage solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

const QColor normalColour(0, 0, 200);
const QColor hoverColour(0, 200, 0);
const QColor pushedColour(200, 0, 0);

// Pointer events through the window system's path, so the button gets
// exactly what a real pointer would send it, enter and leave included.
class XButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_->resize(200, 120);
        button_ = new TXButton(parent_.get());
        button_->move(20, 10);
        button_->SetBitmap(solid({40, 24}, normalColour));
        parent_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(parent_.get()));
    }

    QWindow* window() const { return parent_->windowHandle(); }
    QPoint inButton() const { return button_->pos() + QPoint(5, 5); }
    QPoint outside() const { return QPoint(150, 100); }

    // From outside, so the move crosses the button's edge whatever the
    // pointer did in an earlier test.
    void hoverIn() {
        QTest::mouseMove(window(), outside());
        QTest::mouseMove(window(), inButton());
    }
    void hoverOut() { QTest::mouseMove(window(), outside()); }
    void press() { QTest::mousePress(window(), Qt::LeftButton, {}, inButton()); }
    void release() { QTest::mouseRelease(window(), Qt::LeftButton, {}, inButton()); }

    // What the button paints, in its middle.
    QColor shown() const { return QColor(button_->grab().toImage().pixel(10, 10)); }

    std::unique_ptr<QWidget> parent_ = std::make_unique<QWidget>();
    TXButton* button_ = nullptr;
};

}  // namespace

TEST(XButtonBasics, DefaultSizeAndTheNormalImageSizesTheButton) {
    TXButton button;
    EXPECT_EQ(button.size(), QSize(TXButton::defaultWidth, TXButton::defaultHeight));
    EXPECT_EQ(button.size(), QSize(60, 30));
    EXPECT_TRUE(button.focusPolicy() & Qt::TabFocus);

    button.SetBitmap(solid({33, 17}, normalColour).convertToFormat(QImage::Format_RGB888));
    EXPECT_EQ(button.size(), QSize(33, 17));
    EXPECT_EQ(button.Bitmap().format(), QImage::Format_RGB32);
    // The other images leave the size alone.
    button.SetBitmapClick(solid({50, 50}, pushedColour));
    button.SetBitmapEnter(solid({50, 50}, hoverColour));
    EXPECT_EQ(button.size(), QSize(33, 17));
}

TEST_F(XButtonTest, WithoutHoverOrPushedImagesTheNormalImageStays) {
    EXPECT_EQ(shown(), normalColour);
    hoverIn();
    EXPECT_TRUE(button_->Hover());
    EXPECT_EQ(&button_->currentImage(), &button_->Bitmap());
    EXPECT_EQ(shown(), normalColour);
    press();
    EXPECT_TRUE(button_->Pushed());
    EXPECT_EQ(shown(), normalColour);
    release();
    EXPECT_FALSE(button_->Pushed());
    EXPECT_EQ(shown(), normalColour);
}

TEST_F(XButtonTest, PushedBeatsHoverBeatsNormal) {
    button_->SetBitmapEnter(solid({40, 24}, hoverColour));
    hoverIn();
    EXPECT_EQ(shown(), hoverColour);
    // No pushed image: pushed under the pointer still shows the hover image.
    press();
    EXPECT_EQ(shown(), hoverColour);
    release();

    button_->SetBitmapClick(solid({40, 24}, pushedColour));
    press();
    EXPECT_EQ(shown(), pushedColour);
    release();
    EXPECT_TRUE(button_->Hover());
    EXPECT_FALSE(button_->Pushed());
    EXPECT_EQ(shown(), hoverColour);
    hoverOut();
    EXPECT_FALSE(button_->Hover());
    EXPECT_EQ(shown(), normalColour);

    // Pushed from the program, away from the pointer.
    button_->SetPushed(true);
    EXPECT_EQ(shown(), pushedColour);
    button_->SetPushed(false);
    EXPECT_EQ(shown(), normalColour);
}

TEST_F(XButtonTest, PressPushesReleaseLetsGoAndClicksOnlyOverTheButton) {
    QSignalSpy clicks(button_, &TXButton::Click);
    QSignalSpy downs(button_, &TXButton::MouseDown);
    QSignalSpy ups(button_, &TXButton::MouseUp);
    press();
    EXPECT_TRUE(button_->Pushed());
    EXPECT_EQ(downs.count(), 1);
    release();
    EXPECT_FALSE(button_->Pushed());
    EXPECT_EQ(ups.count(), 1);
    EXPECT_EQ(clicks.count(), 1);

    // Dragged off before letting go: released, but no click.
    press();
    QTest::mouseRelease(window(), Qt::LeftButton, {}, outside());
    EXPECT_FALSE(button_->Pushed());
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(ups.count(), 2);
}

TEST_F(XButtonTest, SwitchFlipsOnEachPressAndReleaseChangesNothing) {
    button_->SetBitmapClick(solid({40, 24}, pushedColour));
    button_->SetSwitch(true);
    press();
    EXPECT_TRUE(button_->Pushed());
    release();
    EXPECT_TRUE(button_->Pushed()) << "mouse-up leaves a switch down";
    EXPECT_EQ(shown(), pushedColour);
    press();
    EXPECT_FALSE(button_->Pushed());
    release();
    EXPECT_FALSE(button_->Pushed());
    EXPECT_EQ(shown(), normalColour);

    // Two quick presses are a double click; each still flips the switch.
    QSignalSpy doubles(button_, &TXButton::DblClick);
    QTest::mouseDClick(window(), Qt::LeftButton, {}, inButton());
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_FALSE(button_->Pushed());
    press();
    EXPECT_TRUE(button_->Pushed());
    release();

    // Pushed from the program, the next press releases it.
    button_->SetPushed(false);
    button_->SetSwitch(false);
    press();
    release();
    EXPECT_FALSE(button_->Pushed());
}

TEST(XButtonBlend, EqualWeightsGiveTheAverageOfEachByte) {
    QImage image = solid({2, 1}, QColor(10, 20, 30));
    image.setPixel(1, 0, qRgb(255, 0, 101));
    QImage background = solid({4, 3}, Qt::black);
    background.setPixel(1, 2, qRgb(30, 41, 255));
    background.setPixel(2, 2, qRgb(0, 255, 100));

    const QImage half = TXButton::blended(image, background, 1, 1, 1, 2);
    ASSERT_EQ(half.size(), image.size());
    EXPECT_EQ(half.pixel(0, 0) & 0xFFFFFF, 0x141E8Eu);  // 20, 30, 142: (30 + 255) / 2 rounds down
    EXPECT_EQ(half.pixel(1, 0) & 0xFFFFFF, 0x7F7F64u);  // 127, 127, 100
    // Any a = b is the same average.
    EXPECT_EQ(TXButton::blended(image, background, 7, 7, 1, 2), half);

    // Weights: (b * background + a * image) / (a + b), integer division.
    const QImage quarter = TXButton::blended(image, background, 1, 3, 1, 2);
    EXPECT_EQ(qRed(quarter.pixel(0, 0)), (3 * 30 + 10) / 4);
    EXPECT_EQ(qGreen(quarter.pixel(0, 0)), (3 * 41 + 20) / 4);
    EXPECT_EQ(qBlue(quarter.pixel(0, 0)), (3 * 255 + 30) / 4);
    EXPECT_EQ(TXButton::blended(image, background, 1, 0, 1, 2), image);
    EXPECT_EQ(TXButton::blended(image, background, 0, 1, 1, 2).pixel(0, 0), background.pixel(1, 2));
}

TEST(XButtonBlend, EdgesAndWhichImageIsBlended) {
    const QImage image = solid({3, 3}, QColor(100, 100, 100));
    const QImage background = solid({2, 2}, QColor(0, 0, 0));
    // Only the pixel at (1, 1) has background under it.
    const QImage edge = TXButton::blended(image, background, 1, 1, 1, 1);
    EXPECT_EQ(QColor(edge.pixel(0, 0)), QColor(50, 50, 50));
    EXPECT_EQ(QColor(edge.pixel(1, 0)), QColor(100, 100, 100));
    EXPECT_EQ(QColor(edge.pixel(0, 1)), QColor(100, 100, 100));
    EXPECT_EQ(TXButton::blended(image, background, 0, 0, 0, 0), image) << "no weight, no change";
    EXPECT_TRUE(TXButton::blended(QImage(), background, 1, 1, 0, 0).isNull());

    TXButton button;
    button.SetBitmap(image);
    button.SetBitmapClick(image);
    button.SetBitmapEnter(image);
    button.SetTransparentClick(1, 1, background, 0, 0);
    EXPECT_EQ(QColor(button.BitmapClick().pixel(0, 0)), QColor(50, 50, 50));
    EXPECT_EQ(button.Bitmap(), image);
    EXPECT_EQ(button.BitmapEnter(), image);
    button.SetTransparentEnter(1, 1, background, 0, 0);
    EXPECT_EQ(QColor(button.BitmapEnter().pixel(0, 0)), QColor(50, 50, 50));
    button.SetTransparent(3, 1, background, 0, 0);
    EXPECT_EQ(QColor(button.Bitmap().pixel(0, 0)), QColor(75, 75, 75));
}

TEST(XButtonOverlay, BlackLetsTheBackgroundUnderTheButtonThrough) {
    QImage background(10, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) background.setPixel(x, y, qRgb(x * 20, y * 20, 7));
    QImage image = solid({4, 3}, Qt::black);
    image.setPixel(1, 1, qRgb(1, 2, 3));
    image.setPixel(2, 0, qRgb(0, 0, 1));  // nearly black is not black

    QWidget parent;
    auto* button = new TXButton(&parent);
    button->SetBitmap(image);
    button->SetBitmapEnter(image);
    button->move(3, 2);
    button->SetTransparent(background, 99, 99);

    const QImage& result = button->Bitmap();
    ASSERT_EQ(result.size(), QSize(4, 3));
    EXPECT_EQ(result.pixel(0, 0), background.pixel(3, 2));
    EXPECT_EQ(result.pixel(3, 2), background.pixel(6, 4));
    EXPECT_EQ(result.pixel(1, 1) & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(result.pixel(2, 0) & 0xFFFFFF, 0x000001u);
    EXPECT_EQ(button->BitmapEnter(), result);
    // A missing image is not turned into bare background.
    EXPECT_TRUE(button->BitmapClick().isNull());

    // Partly off the background: the rest stays black.
    const QImage off = TXButton::overlaid(image, background, QRect(8, 6, 4, 3));
    EXPECT_EQ(off.pixel(0, 0), background.pixel(8, 6));
    EXPECT_EQ(off.pixel(3, 2) & 0xFFFFFF, 0u);
}

TEST(WFormTest, ShowsTheTopLeftOfItsPictureThroughTheBuffer) {
    WForm form;
    EXPECT_EQ(form.size(), QSize(50, 50));
    EXPECT_TRUE(form.testAttribute(Qt::WA_OpaquePaintEvent)) << "no erase before the paint";

    QImage picture(30, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) picture.setPixel(x, y, qRgb(x * 8, y * 12, 90));
    form.SetBitmap(picture);
    EXPECT_EQ(form.size(), QSize(30, 20));
    // A copy: painting on the caller's picture afterwards does not show.
    picture.fill(Qt::white);
    EXPECT_EQ(QColor(form.Bitmap().pixel(5, 5)), QColor(40, 60, 90));

    form.resize(12, 8);
    const QImage& small = form.composeBuffer();
    ASSERT_EQ(small.size(), QSize(12, 8));
    EXPECT_EQ(QColor(small.pixel(11, 7)), QColor(88, 84, 90));
    EXPECT_EQ(form.grab().toImage().convertToFormat(QImage::Format_RGB32), small);

    form.resize(40, 25);
    const QImage& large = form.composeBuffer();
    ASSERT_EQ(large.size(), QSize(40, 25));
    EXPECT_EQ(QColor(large.pixel(29, 19)), QColor(232, 228, 90));
    EXPECT_EQ(QColor(large.pixel(35, 22)), QColor(Qt::black));
}

namespace {

// An owner that records what reaches it.
class Owner : public QWidget {
public:
    QList<int> keys;
    int closes = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys << event->key(); }
    void closeEvent(QCloseEvent* event) override {
        ++closes;
        QWidget::closeEvent(event);
    }
};

class WCwindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_->resize(200, 150);
        owner_->move(100, 100);
        caption_ = new WCwindow(owner_.get());
        owner_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(owner_.get()));
        pressGlobal_ = {};
    }

    // Sent straight to the control with chosen global positions, so no
    // window manager is needed to follow the moves.
    void mouse(QEvent::Type type, QPoint local, QPoint global, Qt::MouseButtons held) {
        QMouseEvent event(type, local, local, global,
                          type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease
                              ? Qt::LeftButton
                              : Qt::NoButton,
                          held, {});
        QCoreApplication::sendEvent(caption_, &event);
    }
    void press(QPoint local) {
        pressGlobal_ = QPoint(500, 400);
        mouse(QEvent::MouseButtonPress, local, pressGlobal_, Qt::LeftButton);
    }
    void moveBy(QPoint offset) {
        mouse(QEvent::MouseMove, {}, pressGlobal_ + offset, Qt::LeftButton);
    }
    void release(QPoint local) { mouse(QEvent::MouseButtonRelease, local, pressGlobal_, Qt::NoButton); }

    std::unique_ptr<Owner> owner_ = std::make_unique<Owner>();
    WCwindow* caption_ = nullptr;
    QPoint pressGlobal_;
};

}  // namespace

TEST(WCwindowZones, DragBandIsTheTopEighteenPixelsLessTheCloseZone) {
    using Zone = WCwindow::Zone;
    EXPECT_EQ(WCwindow::dragBandHeight, 18);
    EXPECT_EQ(WCwindow::zoneAt({0, 0}, 200, false), Zone::Drag);
    EXPECT_EQ(WCwindow::zoneAt({100, 17}, 200, false), Zone::Drag);
    EXPECT_EQ(WCwindow::zoneAt({100, 18}, 200, false), Zone::None);
    EXPECT_EQ(WCwindow::zoneAt({190, 5}, 200, false), Zone::Drag) << "no close zone unless enabled";

    // Strictly between width - 13 and width - 2.
    EXPECT_EQ(WCwindow::zoneAt({187, 5}, 200, true), Zone::Drag);
    EXPECT_EQ(WCwindow::zoneAt({188, 5}, 200, true), Zone::Close);
    EXPECT_EQ(WCwindow::zoneAt({197, 17}, 200, true), Zone::Close);
    EXPECT_EQ(WCwindow::zoneAt({198, 5}, 200, true), Zone::Drag);
    EXPECT_EQ(WCwindow::zoneAt({190, 18}, 200, true), Zone::None);
}

TEST_F(WCwindowTest, FillsTheOwnerAndKeepsItsProperties) {
    EXPECT_TRUE(owner_->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(caption_->geometry(), owner_->rect());
    owner_->resize(260, 90);
    EXPECT_EQ(caption_->geometry(), QRect(0, 0, 260, 90));
    EXPECT_FALSE(caption_->inCloseZone({250, 3}));
    caption_->SetFCB(true);
    EXPECT_TRUE(caption_->inCloseZone({250, 3}));
    EXPECT_TRUE(caption_->inDragBand({240, 3}));

    EXPECT_EQ(caption_->Caption(), "WCwindow");
    EXPECT_EQ(caption_->ActColor1(), fromColorRef(0xAA0000));
    EXPECT_EQ(caption_->BackColor(), owner_->palette().color(QPalette::Window));
    caption_->SetCaption("Návěstidla");
    caption_->SetFColA2(Qt::red);
    EXPECT_EQ(caption_->Caption(), "Návěstidla");
    EXPECT_EQ(caption_->ActColor2(), QColor(Qt::red));
}

TEST_F(WCwindowTest, DraggingTheBandMovesTheOwner) {
    const QPoint start = owner_->pos();
    press({60, 10});
    EXPECT_TRUE(caption_->isDragging());
    moveBy({30, 20});
    EXPECT_EQ(owner_->pos(), start + QPoint(30, 20));
    moveBy({-5, 7});
    EXPECT_EQ(owner_->pos(), start + QPoint(-5, 7));
    release({60, 10});
    EXPECT_FALSE(caption_->isDragging());
    moveBy({80, 80});
    EXPECT_EQ(owner_->pos(), start + QPoint(-5, 7)) << "released, moves no longer drag";

    // Below the band nothing drags; neither does the right button.
    const QPoint settled = owner_->pos();
    press({60, 18});
    EXPECT_FALSE(caption_->isDragging());
    moveBy({30, 30});
    EXPECT_EQ(owner_->pos(), settled);
    release({60, 18});
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(60, 5), QPointF(60, 5), QPointF(500, 400),
                      Qt::RightButton, Qt::RightButton, {});
    QCoreApplication::sendEvent(caption_, &right);
    EXPECT_FALSE(caption_->isDragging());
    EXPECT_TRUE(owner_->isVisible());
}

TEST_F(WCwindowTest, TheCloseZoneClosesTheOwnerOnRelease) {
    const QPoint zone(caption_->width() - 6, 8);
    // Disabled, the same point drags and closes nothing.
    press(zone);
    EXPECT_TRUE(caption_->isDragging());
    release(zone);
    EXPECT_TRUE(owner_->isVisible());
    EXPECT_EQ(owner_->closes, 0);

    caption_->SetFCB(true);
    const QPoint start = owner_->pos();
    press(zone);
    EXPECT_TRUE(caption_->isClosePressed());
    EXPECT_FALSE(caption_->isDragging());
    moveBy({40, 40});
    EXPECT_EQ(owner_->pos(), start) << "the close zone does not drag";
    EXPECT_TRUE(owner_->isVisible()) << "closing waits for the release";
    release(zone);
    EXPECT_FALSE(caption_->isClosePressed());
    EXPECT_EQ(owner_->closes, 1);
    EXPECT_FALSE(owner_->isVisible());
}

TEST_F(WCwindowTest, KeyPressesReachTheOwnerOnce) {
    QTest::keyClick(caption_, Qt::Key_A);
    QTest::keyClick(caption_, Qt::Key_Escape);
    ASSERT_EQ(owner_->keys.size(), 2) << "forwarded, and not passed up a second time";
    EXPECT_EQ(owner_->keys[0], Qt::Key_A);
    EXPECT_EQ(owner_->keys[1], Qt::Key_Escape);
}

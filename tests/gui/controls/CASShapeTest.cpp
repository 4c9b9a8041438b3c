#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QTest>
#include <memory>
#include <optional>

#include "gui/controls/CASShape.h"

using namespace trelvo;

namespace {

// An owner that records what reaches its own handlers past the control.
class Owner : public QWidget {
public:
    int activations = 0;
    int resizes = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::WindowActivate) ++activations;
        if (event->type() == QEvent::Resize) ++resizes;
        return QWidget::event(event);
    }
};

class CASShapeTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_->setWindowFlag(Qt::FramelessWindowHint);
        owner_->setGeometry(100, 100, 626, 373);
        shape_ = new CASShape(owner_.get());
        // The main window's settings.
        shape_->SetFColA1(fromColorRef(14645570));
        shape_->SetFColA2(fromColorRef(4456448));
        shape_->SetFColN1(fromColorRef(11504242));
        shape_->SetFColN2(fromColorRef(2236962));
        shape_->SetFCB(true);
        shape_->SetFMinB(true);
        shape_->SetFMaxB(true);
        shape_->SetSizeable(true);
        shape_->SetCaption("Trelvo");
        owner_->show();
        owner_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(owner_.get()));
    }

    static void send(CASShape* shape, QEvent::Type type, QPoint at, Qt::MouseButton button,
                     Qt::MouseButtons held, std::optional<QPoint> global = std::nullopt) {
        QMouseEvent event(type, at, global.value_or(shape->mapToGlobal(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(shape, &event);
    }
    void press(QPoint at) { send(shape_, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void drag(QPoint at) { send(shape_, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    // The pointer in screen coordinates, as the window moves under it.
    void dragTo(QPoint global) {
        send(shape_, QEvent::MouseMove, global - shape_->mapToGlobal(QPoint(0, 0)), Qt::NoButton, Qt::LeftButton,
             global);
    }
    void hover(QPoint at) { send(shape_, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void release(QPoint at) { send(shape_, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
    QColor pixel(int x, int y) { return shape_->grab().toImage().pixelColor(x, y); }

    std::unique_ptr<Owner> owner_ = std::make_unique<Owner>();
    CASShape* shape_ = nullptr;
};

}  // namespace

TEST_F(CASShapeTest, ButtonZonesOfTheMainWindow) {
    using Zone = CASShape::Zone;
    EXPECT_EQ(shape_->stripWidth(), 622);
    EXPECT_EQ(shape_->geometry(), QRect(0, 0, 626, 373));
    auto zoneOf = [&](int x) { return shape_->zoneAt({x, 8}); };
    EXPECT_EQ(zoneOf(591), Zone::Caption);
    EXPECT_EQ(zoneOf(592), Zone::MinimizeButton);
    EXPECT_EQ(zoneOf(601), Zone::MinimizeButton);
    EXPECT_EQ(zoneOf(602), Zone::MaximizeButton);
    EXPECT_EQ(zoneOf(611), Zone::MaximizeButton);
    EXPECT_EQ(zoneOf(612), Zone::CloseButton);
    EXPECT_EQ(zoneOf(621), Zone::CloseButton);
    EXPECT_EQ(zoneOf(622), Zone::Caption);
    EXPECT_EQ(shape_->zoneAt({615, 17}), Zone::CloseButton);
    EXPECT_EQ(shape_->zoneAt({615, 18}), Zone::Client);

    // Without maximize, minimize moves into its place, whichever setter ran last.
    shape_->SetFMaxB(false);
    EXPECT_EQ(zoneOf(602), Zone::MinimizeButton);
    EXPECT_EQ(zoneOf(592), Zone::Caption);
}

TEST_F(CASShapeTest, GradientRunsFromTheFirstToTheLastColour) {
    const QColor pairs[][2] = {
        {fromColorRef(14645570), fromColorRef(4456448)},
        {fromColorRef(11504242), fromColorRef(2236962)},
        {fromColorRef(2500347), QColor(0, 0, 0)},
    };
    for (const auto& pair : pairs) {
        const QList<QColor> columns = CASShape::captionGradient(pair[0], pair[1], 622);
        ASSERT_EQ(columns.size(), 622);
        EXPECT_EQ(columns.first(), pair[0]);
        EXPECT_EQ(columns.last(), pair[1]) << pair[0].name().toStdString();
    }
    EXPECT_EQ(fromColorRef(14645570), QColor(66, 121, 223));

    // Whole steps add up without drift.
    const QList<QColor> ramp = CASShape::captionGradient(QColor(0, 0, 0), QColor(255, 0, 0), 255);
    for (int x : {0, 1, 127, 254}) EXPECT_EQ(ramp.at(x).red(), x);

    // On the window the strip begins at x = 2 and ends 2 pixels short of the edge.
    EXPECT_EQ(pixel(2, 2), shape_->ActColor1());
    EXPECT_EQ(pixel(623, 17), shape_->ActColor2());
}

TEST_F(CASShapeTest, CaptionTextStartsAtSevenThree) {
    EXPECT_EQ(shape_->captionTextOrigin(), QPoint(7, 3));
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    shape_->SetFFont(font);
    shape_->SetCaption("");
    const QImage bare = shape_->grab().toImage();
    shape_->SetCaption("Trelvo");
    const QImage titled = shape_->grab().toImage();

    QRect ink;
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 300; ++x)
            if (bare.pixel(x, y) != titled.pixel(x, y)) ink |= QRect(x, y, 1, 1);
    const QFontMetrics metrics(font, shape_);
    const QRect expected = metrics.tightBoundingRect("Trelvo").translated(7, 3 + metrics.ascent());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.left(), expected.left(), 1);
    EXPECT_NEAR(ink.top(), expected.top(), 1);
    EXPECT_NEAR(ink.bottom(), expected.bottom(), 1);
}

TEST_F(CASShapeTest, CloseGlyphStopsShortOfItsEndPoints) {
    auto whiteIn = [](const QImage& image, int y) {
        QList<int> xs;
        for (int x = 610; x < 624; ++x)
            if (image.pixelColor(x, y) == Qt::white) xs.append(x);
        return xs;
    };
    const QImage image = shape_->grab().toImage();
    EXPECT_EQ(whiteIn(image, 7), QList<int>({612, 613, 618, 619}));
    EXPECT_EQ(whiteIn(image, 12), QList<int>({612, 613, 618, 619}));
    EXPECT_TRUE(whiteIn(image, 13).isEmpty());
    EXPECT_TRUE(whiteIn(image, 6).isEmpty());

    // Held down, the glyph shifts by a pixel either way.
    press({615, 8});
    const QImage held = shape_->grab().toImage();
    EXPECT_EQ(whiteIn(held, 8), QList<int>({613, 614, 619, 620}));
    EXPECT_TRUE(whiteIn(held, 7).isEmpty());
}

TEST_F(CASShapeTest, FrameLines) {
    const QImage image = shape_->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), Qt::black);
    EXPECT_EQ(image.pixelColor(625, 372), Qt::black);
    EXPECT_EQ(image.pixelColor(1, 1), Qt::white);
    EXPECT_EQ(image.pixelColor(1, 371), Qt::white);
    EXPECT_EQ(image.pixelColor(624, 1), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(624, 371), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(2, 371), QColor(128, 128, 128));
}

TEST_F(CASShapeTest, ButtonsActOnReleaseWhereverThePointerIs) {
    press({606, 8});
    EXPECT_FALSE(owner_->isMaximized());
    release({300, 200});
    EXPECT_TRUE(owner_->isMaximized());
    press({606, 8});
    release({606, 8});
    EXPECT_FALSE(owner_->isMaximized());

    // A dialog minimizes only itself, the main window the whole program.
    QWidget dialog(owner_.get(), Qt::Dialog | Qt::FramelessWindowHint);
    dialog.resize(248, 96);
    auto* dialogShape = new CASShape(&dialog);
    dialogShape->SetFMinB(true);
    dialog.show();
    const QPoint minimize(dialogShape->stripWidth() - 15, 8);
    send(dialogShape, QEvent::MouseButtonPress, minimize, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(dialog.isMinimized());
    send(dialogShape, QEvent::MouseButtonRelease, minimize, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(dialog.isMinimized());
    EXPECT_FALSE(owner_->isMinimized());
    dialog.showNormal();
    press({596, 8});
    release({596, 30});
    EXPECT_TRUE(owner_->isMinimized());
    EXPECT_TRUE(dialog.isMinimized());
    owner_->showNormal();

    press({615, 8});
    EXPECT_TRUE(owner_->isVisible());
    release({40, 300});
    EXPECT_FALSE(owner_->isVisible());
}

TEST_F(CASShapeTest, DraggingTheCaptionMovesTheWindow) {
    const QPoint start = owner_->pos();
    const QPoint grip = shape_->mapToGlobal(QPoint(100, 8));
    press({100, 8});
    EXPECT_EQ(shape_->dragMode(), CASShape::DragMode::Moving);
    dragTo(grip + QPoint(30, 20));
    EXPECT_EQ(owner_->pos(), start + QPoint(30, 20));
    dragTo(grip + QPoint(-10, 10));
    release({100, 8});
    EXPECT_EQ(owner_->pos(), start + QPoint(-10, 10));
    EXPECT_EQ(owner_->size(), QSize(626, 373));
}

TEST_F(CASShapeTest, HoverCursorsAndEdgeSizing) {
    hover({300, 200});
    EXPECT_EQ(owner_->cursor().shape(), Qt::ArrowCursor);
    hover({624, 200});
    EXPECT_EQ(owner_->cursor().shape(), Qt::SizeHorCursor);
    hover({624, 360});
    EXPECT_EQ(owner_->cursor().shape(), Qt::SizeFDiagCursor);
    hover({10, 371});
    EXPECT_EQ(owner_->cursor().shape(), Qt::SizeBDiagCursor);
    hover({300, 200});
    EXPECT_EQ(owner_->cursor().shape(), Qt::ArrowCursor);

    // The top edge lies inside the caption strip and sizes rather than moves.
    const QRect before = owner_->geometry();
    hover({300, 1});
    EXPECT_EQ(owner_->cursor().shape(), Qt::SizeVerCursor);
    press({300, 1});
    EXPECT_EQ(shape_->dragMode(), CASShape::DragMode::Sizing);
    drag({300, 21});
    release({300, 21});
    EXPECT_EQ(owner_->geometry(), before.adjusted(0, 20, 0, 0));
    EXPECT_EQ(shape_->size(), owner_->size());

    shape_->SetSizeable(false);
    owner_->unsetCursor();
    hover({624, 200});
    EXPECT_EQ(owner_->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(CASShapeTest, SizingStopsAtTenPixels) {
    const QRect window(200, 100, 100, 50);
    auto step = [&](QPoint press, QPoint pointer, Qt::CursorShape cursor) {
        return CASShape::sizingStep(window, press, pointer, CASShape::sizingEdges(window.size(), press, cursor));
    };
    // Right edge: down to exactly ten, not below; the press point follows.
    auto right = step({98, 25}, {8, 25}, Qt::SizeHorCursor);
    EXPECT_EQ(right.geometry, QRect(200, 100, 10, 50));
    EXPECT_EQ(right.press, QPoint(8, 25));
    EXPECT_EQ(step({98, 25}, {7, 25}, Qt::SizeHorCursor).geometry, window);
    // Left edge: the left side moves and the press point stays.
    auto left = step({1, 25}, {91, 25}, Qt::SizeHorCursor);
    EXPECT_EQ(left.geometry, QRect(290, 100, 10, 50));
    EXPECT_EQ(left.press, QPoint(1, 25));
    EXPECT_EQ(step({1, 25}, {92, 25}, Qt::SizeHorCursor).geometry, window);
    EXPECT_EQ(step({50, 1}, {50, 42}, Qt::SizeVerCursor).geometry, window);
    EXPECT_EQ(step({50, 48}, {50, 8}, Qt::SizeVerCursor).geometry, QRect(200, 100, 100, 10));
    // A corner whose horizontal step is refused does not size vertically either.
    EXPECT_EQ(step({98, 48}, {0, 60}, Qt::SizeFDiagCursor).geometry, window);
    EXPECT_EQ(step({98, 48}, {108, 0}, Qt::SizeFDiagCursor).geometry, QRect(200, 100, 110, 50));

    // Driven by the mouse, the window keeps its size as well.
    owner_->setGeometry(100, 100, 40, 100);
    const QRect small = owner_->geometry();
    hover({38, 50});
    ASSERT_EQ(owner_->cursor().shape(), Qt::SizeHorCursor);
    press({38, 50});
    drag({5, 50});
    release({5, 50});
    EXPECT_EQ(owner_->geometry(), small);
}

TEST_F(CASShapeTest, ColoursFollowActivation) {
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(owner_.get(), &deactivate);
    EXPECT_FALSE(shape_->isActive());
    EXPECT_EQ(pixel(2, 2), shape_->NoActColor1());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(owner_.get(), &activate);
    EXPECT_TRUE(shape_->isActive());
    EXPECT_EQ(pixel(2, 2), shape_->ActColor1());

    // Another program coming to the foreground greys every caption.
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(shape_->isActive());
    EXPECT_EQ(pixel(2, 2), shape_->NoActColor1());
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(shape_->isActive());
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);

    shape_->SetFFocen(false);
    EXPECT_EQ(pixel(2, 2), shape_->ActColor1());
}

TEST_F(CASShapeTest, OwnerAndChainedHandlersStillRun) {
    int activated = 0;
    int moves = 0;
    QObject::connect(shape_, &CASShape::activated, [&] { ++activated; });
    QObject::connect(shape_, &CASShape::mouseMoved, [&] { ++moves; });
    const int activationsBefore = owner_->activations;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(owner_.get(), &activate);
    EXPECT_EQ(activated, 1);
    EXPECT_EQ(owner_->activations, activationsBefore + 1);

    const int resizesBefore = owner_->resizes;
    owner_->resize(500, 350);
    EXPECT_EQ(owner_->resizes, resizesBefore + 1);
    EXPECT_EQ(shape_->size(), QSize(500, 350));

    hover({200, 200});
    EXPECT_EQ(moves, 1);
    hover({498, 200});
    press({498, 200});
    drag({480, 200});
    EXPECT_EQ(moves, 2) << "no mouse-move handler while sizing";
    release({480, 200});
    EXPECT_EQ(owner_->width(), 482);
}

#include <gtest/gtest.h>

#include <QTest>
#include <QToolTip>

#include "TestProgram.h"
#include "gui/controls/CASShape.h"
#include "gui/windows/TForm1.h"

using namespace trelvo;

namespace {

// The main window's own frame, driven with the mouse as a user would.
class WindowFrameTest : public TestProgram {
protected:
    CASShape* shown() {
        TForm1Probe w = start();
        w.window().show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w.window()));
        return w.window().findChild<CASShape*>();
    }

    // Rests the pointer on the frame until a hint comes up, and returns it.
    static QString hintAt(CASShape* frame, QPoint at) {
        QToolTip::hideText();
        QTest::mouseMove(frame, at);
        if (!QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000)) return QString();
        return QToolTip::text();
    }
};

}  // namespace

TEST_F(WindowFrameTest, EachCaptionButtonNamesWhatItDoes) {
    CASShape* frame = shown();
    ASSERT_EQ(frame->stripWidth(), 622);
    EXPECT_EQ(hintAt(frame, {100, 8}), "Umožňovat vkládání nových záznamů");
    EXPECT_EQ(hintAt(frame, {596, 8}), "Minimalizovat");
    EXPECT_EQ(hintAt(frame, {606, 8}), "Maximalizovat");
    EXPECT_EQ(hintAt(frame, {616, 8}), "Zavřít");
    EXPECT_EQ(hintAt(frame, {2, 200}), "Umožňovat vkládání nových záznamů") << "the frame beside the grid";

    // A hint that is up follows the pointer from button to button.
    ASSERT_EQ(hintAt(frame, {596, 8}), "Minimalizovat");
    QTest::mouseMove(frame, {616, 8});
    EXPECT_EQ(QToolTip::text(), "Zavřít");

    window_->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->isMaximized() && frame->stripWidth() != 622; }, 2000));
    const int ws = frame->stripWidth();
    EXPECT_EQ(hintAt(frame, {ws - 15, 8}), "Obnovit");
    EXPECT_EQ(hintAt(frame, {ws - 25, 8}), "Minimalizovat");
}

TEST_F(WindowFrameTest, DoubleClickOnTheCaptionMaximizesAndRestores) {
    CASShape* frame = shown();
    const QRect normal = window_->geometry();
    auto doubleClick = [&](QPoint at) {
        QTest::mouseClick(frame, Qt::LeftButton, {}, at);
        QTest::mouseDClick(frame, Qt::LeftButton, {}, at);
        QTest::mouseRelease(frame, Qt::LeftButton, {}, at);
    };
    doubleClick({200, 8});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->isMaximized(); }, 2000));
    EXPECT_EQ(frame->dragMode(), CASShape::DragMode::None);
    doubleClick({200, 8});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->isMaximized(); }, 2000));
    EXPECT_EQ(window_->geometry(), normal);

    // On the frame below the caption a double click does nothing to the window.
    doubleClick({2, 200});
    QTest::qWait(50);
    EXPECT_FALSE(window_->isMaximized());
}

TEST_F(WindowFrameTest, SizingFromTheBottomRightCornerPastTheMinimumKeepsTheTopLeft) {
    CASShape* frame = shown();
    const QPoint topLeft = window_->pos();
    const QPoint corner(window_->width() - 2, window_->height() - 2);
    QTest::mouseMove(frame, corner);
    ASSERT_EQ(window_->cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mousePress(frame, Qt::LeftButton, {}, corner);
    ASSERT_EQ(frame->dragMode(), CASShape::DragMode::Sizing);
    // The pointer runs on towards the window's top-left, past its middle.
    for (QPoint at = corner; at.x() > 60; at -= QPoint(40, 25)) {
        QTest::mouseMove(frame, at);
        EXPECT_EQ(window_->pos(), topLeft) << "pointer at " << at.x() << "," << at.y();
    }
    EXPECT_EQ(window_->size(), QSize(500, 350));
    // The corner waits where the window stopped and then follows the pointer again.
    QTest::mouseMove(frame, {560, 360});
    QTest::mouseRelease(frame, Qt::LeftButton, {}, {560, 360});
    EXPECT_EQ(window_->geometry(), QRect(topLeft, QSize(562, 362)));
}

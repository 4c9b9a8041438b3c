#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <utility>

#include "gui/controls/TAnimShape.h"

using namespace trelvo;

namespace {

// All four bytes; the callers mask the fourth unless checking it.
quint32 word(const QImage& image, int x, int y) {
    return reinterpret_cast<const quint32*>(image.constScanLine(y))[x];
}
quint32 rgb(const QImage& image, int x, int y) { return word(image, x, y) & 0xFFFFFF; }

// Every channel differs from its neighbours, so a swapped channel shows.
QImage pattern(int w, int h, int seed) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((seed + 7 * x + 3 * y) & 0xFF, (seed * 5 + 11 * y) & 0xFF,
                                      (seed * 3 + 13 * x + y) & 0xFF));
    return image;
}

quint32 mixed(quint32 b, quint32 s, int step) {
    quint32 result = 0;
    for (int shift : {0, 8, 16}) {
        const quint32 bc = (b >> shift) & 0xFF, sc = (s >> shift) & 0xFF;
        result |= (bc - ((bc * step) >> 4) + ((sc * step) >> 4)) << shift;
    }
    return result;
}

class AnimShapeTest : public ::testing::Test {
protected:
    void SetUp() override {
        shape_.resize(40, 30);
        startFrom(background_);
    }

    // Shows the image and makes it the fade's start; the timer stays off so
    // only the test's ticks make steps.
    void startFrom(const QImage& start) {
        const int x = std::exchange(shape_.blendX, 0), y = std::exchange(shape_.blendY, 0);
        shape_.blendSource = &start;
        shape_.copybmp();
        restart();
        shape_.blendSource = &source_;
        shape_.blendX = x;
        shape_.blendY = y;
    }
    void restart() {
        shape_.SetAnimate(true);
        shape_.SetAnimate(false);
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) shape_.tick();
    }

    TAnimShape shape_;
    QImage background_ = pattern(40, 30, 201);
    QImage source_ = pattern(20, 20, 17);
    QSignalSpy completed_{&shape_, &TAnimShape::BlendCompleted};
};

}  // namespace

TEST_F(AnimShapeTest, StepMixesEachChannelWithEachHalfTruncated) {
    // Each step blends from the start image, not from the previous step.
    for (int step = 1; step <= 15; ++step) {
        shape_.tick();
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(rgb(shape_.display(), x, y),
                          x < 20 && y < 20 ? mixed(word(background_, x, y), word(source_, x, y), step)
                                           : rgb(background_, x, y))
                    << "step " << step << " at " << x << "," << y;
    }

    // Odd start channels against even source ones: rounding the sum, or
    // shifting a signed difference, gives one less than the separate halves.
    QImage start(40, 30, QImage::Format_RGB32);
    start.fill(qRgb(201, 160, 133));
    source_.fill(qRgb(16, 255, 4));
    startFrom(start);
    ticks(8);
    // 201-100+8, 160-80+127, 133-66+2, and the fourth byte 0.
    EXPECT_EQ(word(shape_.display(), 5, 5), 0x006DCF45u);
}

TEST_F(AnimShapeTest, SourcePartlyOutsideIsBlendedAndDrawnOnlyWhereItOverlaps) {
    shape_.blendX = -5;
    shape_.blendY = 22;
    const QRect overlap(0, 22, 15, 8);
    for (int step : {8, 16}) {
        ticks(8);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const quint32 b = rgb(background_, x, y);
                const quint32 s = overlap.contains(x, y) ? rgb(source_, x + 5, y - 22) : 0;
                ASSERT_EQ(rgb(shape_.display(), x, y),
                          !overlap.contains(x, y) ? b : step == 16 ? s : mixed(b, s, step))
                    << "step " << step << " at " << x << "," << y;
            }
    }

    // Wholly outside: the fade changes nothing but still ends.
    const QImage before = shape_.display();
    shape_.blendX = 40;
    restart();
    ticks(16);
    EXPECT_EQ(shape_.display(), before);
    EXPECT_EQ(completed_.count(), 2);
}

TEST_F(AnimShapeTest, CompletionIsReportedOncePerFade) {
    // Animate true restarts the fade from what is shown at that moment.
    ticks(8);
    const QImage halfway = shape_.display();
    restart();
    EXPECT_EQ(shape_.step(), 0);
    EXPECT_EQ(shape_.startImage(), halfway);

    ticks(15);
    EXPECT_EQ(completed_.count(), 0);
    shape_.tick();
    ASSERT_EQ(completed_.count(), 1);
    EXPECT_EQ(completed_.at(0).at(0).value<TAnimShape*>(), &shape_);
    EXPECT_EQ(shape_.display().copy(0, 0, 20, 20), source_);
    EXPECT_EQ(shape_.startImage(), shape_.display());
    const QImage done = shape_.display();
    ticks(20);
    EXPECT_EQ(completed_.count(), 1);
    EXPECT_EQ(shape_.display(), done);

    restart();
    ticks(16);
    EXPECT_EQ(completed_.count(), 2);

    // Without a source the ticks do nothing at all.
    shape_.blendSource = nullptr;
    restart();
    ticks(20);
    EXPECT_EQ(shape_.step(), 0);
    EXPECT_EQ(completed_.count(), 2);
}

TEST_F(AnimShapeTest, CopybmpDrawsTheLastStepSilentlyAndClearStartsFromBlack) {
    shape_.blendX = 13;
    shape_.blendY = 4;
    ticks(16);
    const QImage last = shape_.display();
    startFrom(background_);
    shape_.copybmp();
    EXPECT_EQ(shape_.display(), last);
    EXPECT_EQ(shape_.startImage(), last);
    EXPECT_EQ(shape_.step(), 0);
    EXPECT_EQ(completed_.count(), 1);

    shape_.clear();
    QImage black(40, 30, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(shape_.display(), black);
    EXPECT_EQ(shape_.startImage(), black);
    restart();
    ticks(8);
    EXPECT_EQ(rgb(shape_.display(), 13, 4), mixed(0, word(source_, 0, 0), 8));
}

TEST_F(AnimShapeTest, TimerRunsOnlyWhileAnimating) {
    EXPECT_EQ(TAnimShape().Interval(), 100);
    shape_.SetInterval(5);
    EXPECT_FALSE(shape_.timerActive());

    shape_.SetAnimate(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shape_.step() >= 2; }));
    shape_.SetInterval(7);
    EXPECT_TRUE(shape_.timerActive());
    EXPECT_EQ(shape_.timerInterval(), 7);

    shape_.SetAnimate(false);
    EXPECT_FALSE(shape_.timerActive());
    const int stopped = shape_.step();
    QTest::qWait(40);
    EXPECT_EQ(shape_.step(), stopped);

    shape_.SetAnimate(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return completed_.count() == 1; }));
    EXPECT_EQ(shape_.display().copy(0, 0, 20, 20), source_);
}

TEST_F(AnimShapeTest, ShowsTheDisplayAndKeepsItWhenResized) {
    shape_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shape_));
    EXPECT_EQ(shape_.grab().toImage().convertToFormat(QImage::Format_RGB32), background_);

    shape_.resize(50, 35);
    QApplication::processEvents();
    ASSERT_EQ(shape_.display().size(), QSize(50, 35));
    EXPECT_EQ(shape_.display().copy(0, 0, 40, 30), background_);
    EXPECT_EQ(rgb(shape_.display(), 45, 32), 0u);
}

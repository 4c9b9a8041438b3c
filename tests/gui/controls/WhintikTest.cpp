#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <memory>

#include "gui/controls/TCustomHintWindow.h"
#include "gui/controls/TWhintik.h"

using namespace trelvo;

namespace {

constexpr int immediate = 1;
constexpr int delayed = 0;

// QTRY_ reports to QTest, not gtest, hence a polling helper of our own.
bool waitFor(const std::function<bool()>& condition, int timeout = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout) return false;
        QTest::qWait(10);
    }
    return true;
}

class WhintikTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_->show();
        hint_ = new TWhintik(owner_.get());
    }
    bool up() const { return hint_->getshow() && hint_->HintWindow()->isVisible(); }
    QRect placed() const { return hint_->HintWindow()->geometry(); }

    std::unique_ptr<QWidget> owner_ = std::make_unique<QWidget>();
    TWhintik* hint_ = nullptr;
};

}  // namespace

TEST_F(WhintikTest, ControlNeverShowsButThePopupDoes) {
    static_cast<QWidget*>(hint_)->show();
    owner_->hide();
    owner_->show();
    hint_->show("výhybka", 120, 140, immediate);
    EXPECT_TRUE(up());
    EXPECT_EQ(placed().topLeft(), QPoint(120, 140));
    EXPECT_FALSE(hint_->isVisible());
}

TEST_F(WhintikTest, SameRequestWhileShownDoesNotRestartViewTime) {
    hint_->Settv(2000);
    hint_->show("kolejový obvod", 100, 100, immediate);
    QTest::qWait(1500);
    QElapsedTimer sinceRepeat;
    sinceRepeat.start();
    hint_->show("kolejový obvod", 100, 100, immediate);
    ASSERT_TRUE(waitFor([&] { return !hint_->getshow(); }));
    EXPECT_FALSE(hint_->HintWindow()->isVisible());
    // Due about 500 ms after the repeat; restarted, it would take 2000.
    EXPECT_LT(sinceRepeat.elapsed(), 1250);
}

TEST_F(WhintikTest, NewTextOrPositionReplacesAtOnceAndRestartsViewTime) {
    hint_->Settv(1500);
    hint_->Settbv(10000);
    hint_->show("první", 100, 100, immediate);
    QTest::qWait(1000);
    hint_->show("druhý", 160, 130, delayed);
    EXPECT_EQ(hint_->HintWindow()->text(), "druhý");
    EXPECT_EQ(placed().topLeft(), QPoint(160, 130));
    QTest::qWait(800);
    EXPECT_TRUE(up()) << "the view time was not restarted";
}

TEST_F(WhintikTest, DelayRestartsOnEveryRequestUntilQuiet) {
    hint_->Settbv(1000);
    QElapsedTimer sinceLast;
    for (const char* text : {"a", "a", "b"}) {
        hint_->show(text, 100, 100, delayed);
        sinceLast.start();
        QTest::qWait(400);
        ASSERT_FALSE(hint_->getshow());
    }
    ASSERT_TRUE(waitFor([&] { return up(); }));
    EXPECT_GE(sinceLast.elapsed(), 900);  // coarse timers may fire a little early
    EXPECT_EQ(hint_->HintWindow()->text(), "b");
}

TEST_F(WhintikTest, HideCancelsPendingAndZeroDelayShowsAtOnce) {
    hint_->Settbv(200);
    hint_->show("návěst", 100, 100, delayed);
    hint_->hide();
    QTest::qWait(600);
    EXPECT_FALSE(hint_->getshow());
    EXPECT_FALSE(hint_->HintWindow()->isVisible());
    hint_->Settbv(0);
    hint_->show("návěst", 100, 100, delayed);
    EXPECT_TRUE(up());
}

TEST_F(WhintikTest, ChangedTimesApplyToRunningTimers) {
    hint_->Settbv(60000);
    hint_->Settv(60000);
    hint_->show("přejezd", 100, 100, delayed);
    hint_->Settbv(50);
    ASSERT_TRUE(waitFor([&] { return up(); }, 3000));
    hint_->Settv(50);
    EXPECT_TRUE(waitFor([&] { return !hint_->getshow(); }, 3000));
}

TEST_F(WhintikTest, OverlongRequestIsCutWithoutSplittingACharacter) {
    QString text = QString(TWhintik::maxHintLength - 1, QChar('y')) + QString::fromUtf8("𝄞") + "zzz";
    hint_->show(text, 10, 10, immediate);
    EXPECT_EQ(hint_->HintText(), text.left(TWhintik::maxHintLength - 1));
}

TEST_F(WhintikTest, LongTextWrapsAndIsNeverClipped) {
    TCustomHintWindow* window = hint_->HintWindow();
    QString text = "Traťové zabezpečovací zařízení automatický blok s obousměrným provozem a kontrolou";
    QRect line = window->CalcHintRect(10000, text);
    QRect wrapped = window->CalcHintRect(120, text);
    EXPECT_EQ(wrapped.topLeft(), QPoint(0, 0));
    EXPECT_GT(line.width(), 120);
    EXPECT_LE(wrapped.width(), 120 + TCustomHintWindow::extraWidth);
    EXPECT_GE(wrapped.height(), 3 * (line.height() - TCustomHintWindow::extraHeight));
    QRect ink = QFontMetrics(window->font()).boundingRect(QRect(0, 0, 120, 10000), Qt::TextWordWrap, text);
    EXPECT_GE(wrapped.width() - 2 * TCustomHintWindow::textInsetX, ink.width());
    EXPECT_GE(wrapped.height() - 2 * TCustomHintWindow::textInsetY, ink.height());
}

TEST_F(WhintikTest, PopupStaysOnTheScreen) {
    QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    hint_->show("u pravého okraje", area.right() - 5, area.top() + 10, immediate);
    EXPECT_EQ(placed().topRight(), QPoint(area.right(), area.top() + 10));
    hint_->show("v rohu", area.right(), area.bottom(), immediate);
    EXPECT_EQ(placed().bottomRight(), area.bottomRight());
    EXPECT_EQ(placed().size(), hint_->HintWindow()->CalcHintRect(300, "v rohu").size());

    QString tall;
    for (int i = 0; i < 300; ++i) tall += "řádek\n";
    QRect rect = hint_->HintWindow()->CalcHintRect(300, tall);
    int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    ASSERT_GT(rect.height(), screenHeight);
    EXPECT_EQ(rect.top() + rect.height(), screenHeight);
}

TEST_F(WhintikTest, PopupPaintsRaisedEdgeOverTooltipColour) {
    hint_->show("Hint", 100, 100, immediate);
    QImage image = hint_->HintWindow()->grab().toImage();
    const QPalette colours = QToolTip::palette();
    int w = image.width(), h = image.height();
    EXPECT_EQ(image.pixel(w / 2, 0), colours.color(QPalette::Light).rgb());
    EXPECT_EQ(image.pixel(0, h / 2), colours.color(QPalette::Light).rgb());
    EXPECT_EQ(image.pixel(w / 2, h - 1), colours.color(QPalette::Dark).rgb());
    EXPECT_EQ(image.pixel(w - 1, h / 2), colours.color(QPalette::Dark).rgb());
    EXPECT_EQ(image.pixel(1, 1), colours.color(QPalette::ToolTipBase).rgb());
    int inked = 0;
    for (int y = 2; y < h - 2; ++y)
        for (int x = 2; x < w - 2; ++x) inked += image.pixel(x, y) != colours.color(QPalette::ToolTipBase).rgb();
    EXPECT_GT(inked, 0);
}

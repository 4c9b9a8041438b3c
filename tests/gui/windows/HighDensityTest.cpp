#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "TestProgram.h"
#include "gui/controls/CASShape.h"
#include "gui/controls/TXLabel.h"

namespace trelvo {
namespace {

// The controls that draw their text into pictures of their own: the
// caption of the frame (text over a gradient) and a shadowed label. On a screen of ratio 2 each must be drawn with the
// screen's pixels, not drawn at ratio 1 and doubled.
class HighDensity : public TestProgram {
protected:
    void draw(const QString& folder) {
        dictionary("cs-en.dsl", "Zabezpečovací technika");
        settings(today, 0, QRect(50, 60, 640, 400));
        TForm1Probe w = start();
        w.window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.store().header.filePath.empty(); }, 5000));
        ASSERT_TRUE(w.window().grab().toImage().save(folder + "/window.png"));

        auto* label = new TXLabel(&w.window());
        label->SetCaption(QStringLiteral("Nápověda"));
        label->move(200, 200);
        label->show();
        QApplication::processEvents();
        ASSERT_TRUE(label->grab().toImage().save(folder + "/label.png"));
    }

    // The same drawing by a second run of this program on a screen of the ratio.
    static void drawAt(int ratio, const QString& folder) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(ratio));
        env.insert(QStringLiteral("TRELVO_DRAW_TO"), folder);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_also_run_disabled_tests"),
                     QStringLiteral("--gtest_filter=HighDensity.DISABLED_DrawForAParentRun")});
        ASSERT_TRUE(child.waitForFinished(120000));
        ASSERT_EQ(child.exitCode(), 0);
    }
};

// How many aligned 2 × 2 blocks of a region (in pixels of ratio 1) are not
// of one colour: none when a picture of ratio 1 was only doubled.
int detailedBlocks(const QImage& image, const QRect& region) {
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb p = image.pixel(2 * x, 2 * y);
            if (image.pixel(2 * x + 1, 2 * y) != p || image.pixel(2 * x, 2 * y + 1) != p ||
                image.pixel(2 * x + 1, 2 * y + 1) != p)
                ++count;
        }
    return count;
}

TEST_F(HighDensity, DISABLED_DrawForAParentRun) {
    draw(qEnvironmentVariable("TRELVO_DRAW_TO"));
}

TEST_F(HighDensity, PicturesOfTheProgramAreDrawnWithTheScreensPixels) {
    QTemporaryDir one, two;
    drawAt(1, one.path());
    drawAt(2, two.path());
    const QImage window1(one.path() + "/window.png"), window2(two.path() + "/window.png");
    const QImage label1(one.path() + "/label.png"), label2(two.path() + "/label.png");
    ASSERT_FALSE(window1.isNull());
    ASSERT_FALSE(label1.isNull());
    ASSERT_EQ(window2.size(), window1.size() * 2);
    ASSERT_EQ(label2.size(), label1.size() * 2);

    // Where the regions lie, from the same window at ratio 1.
    dictionary("cs-en.dsl", "Zabezpečovací technika");
    settings(today, 0, QRect(50, 60, 640, 400));
    TForm1Probe w = start();
    const CASShape* frame = w.window().findChild<CASShape*>();
    ASSERT_NE(frame, nullptr);
    const QRect caption(frame->mapTo(&w.window(), QPoint(2, 2)), QSize(120, frame->CaptionHeight()));

    // At 2 the edges of the caption's text and of the label's letters fall
    // between the doubled pixels.
    EXPECT_GT(detailedBlocks(window2, caption), 20);
    EXPECT_GT(detailedBlocks(label2, label1.rect()), 20);
}

}  // namespace
}  // namespace trelvo

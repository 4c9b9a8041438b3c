#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTest>
#include <memory>

#include "gui/controls/TXLabel.h"

using namespace trelvo;

namespace {

const QColor parentColour(0, 128, 0);
const QColor textColour(220, 193, 175);
const QColor shadowColour(193, 128, 96);

QFont testFont() {
    QFont font("DejaVu Sans");
    font.setPixelSize(14);
    font.setBold(true);
    return font;
}

bool ink(const QImage& mask, int x, int y) { return qRed(mask.pixel(x, y)) == 0; }

// The ink's bounding box in a mask.
QRect inkBox(const QImage& mask) {
    QRect box;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (ink(mask, x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

class XLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_->resize(300, 300);
        parent_->setAutoFillBackground(true);
        QPalette palette = parent_->palette();
        palette.setColor(QPalette::Window, parentColour);
        parent_->setPalette(palette);
        label_ = make("Návěstidlo");
    }

    TXLabel* make(const QString& caption) {
        auto* label = new TXLabel(parent_.get());
        label->SetFont(testFont());
        label->SetFont2(testFont());
        label->SetFontColor(textColour);
        label->SetFont2Color(shadowColour);
        label->SetCaption(caption);
        return label;
    }

    // repaint() paints nothing before the window is exposed.
    void showParent() {
        parent_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(parent_.get()));
    }

    QSize textSize(const QString& caption) const {
        QFont font = testFont();
        font.setStyleStrategy(QFont::NoAntialias);
        QFontMetrics metrics(font, label_);
        return {metrics.horizontalAdvance(caption), metrics.height()};
    }

    std::unique_ptr<QWidget> parent_ = std::make_unique<QWidget>();
    TXLabel* label_ = nullptr;
};

}  // namespace

TEST_F(XLabelTest, SizeIsTheTextPlusTheShadowOffsets) {
    const QSize text = textSize("Návěstidlo");
    label_->ensureRendered();
    EXPECT_EQ(label_->size(), text);

    label_->SetShadowText(true);
    label_->SetOfsX(-1);
    label_->ensureRendered();
    EXPECT_EQ(label_->size(), text + QSize(1, 0));

    label_->SetOfsX(3);
    label_->SetOfsY(-2);
    label_->ensureRendered();
    EXPECT_EQ(label_->size(), text + QSize(3, 2));

    // Below two pixels the label stays at least two pixels.
    label_->SetShadowText(false);
    label_->SetCaption("");
    label_->SetFont(QFont("DejaVu Sans", 1));
    label_->ensureRendered();
    EXPECT_GE(label_->width(), 2);
    EXPECT_LE(label_->width(), 3);
    EXPECT_GE(label_->height(), 2);
}

TEST_F(XLabelTest, RotationsTurnTheSizeAndPutTheFirstLetterWhereTheTurnTakesIt) {
    // Ink only in the first letter, so its place tells the direction.
    const QString caption = "H      ";
    TXLabel* label = make(caption);
    label->ensureRendered();
    const QSize flat = label->size();
    const QRect flatInk = inkBox(label->maskImage());
    ASSERT_FALSE(flatInk.isEmpty());
    ASSERT_LT(flatInk.right(), flat.width() / 2);

    label->SetRotation(TXLabel::rotateRight);
    label->ensureRendered();
    EXPECT_EQ(label->size(), flat.transposed());
    QRect box = inkBox(label->maskImage());
    EXPECT_LT(box.bottom(), label->height() / 2) << "reads downwards, starts at the top";
    // The letter's top now faces right.
    EXPECT_EQ(box.right(), flat.height() - 1 - flatInk.top());

    label->SetRotation(TXLabel::rotateLeft);
    label->ensureRendered();
    EXPECT_EQ(label->size(), flat.transposed());
    box = inkBox(label->maskImage());
    EXPECT_GT(box.top(), label->height() / 2) << "reads upwards, starts at the bottom";
    EXPECT_EQ(box.left(), flatInk.top());

    label->SetRotation(TXLabel::rotateHalf);
    label->ensureRendered();
    EXPECT_EQ(label->size(), flat);
    box = inkBox(label->maskImage());
    EXPECT_GT(box.left(), label->width() / 2);
    EXPECT_EQ(box.bottom(), flat.height() - 1 - flatInk.top());
}

TEST_F(XLabelTest, OnlyTheInkCoversWhatLiesBeneath) {
    label_->SetShadowText(true);
    label_->SetOfsX(-1);
    label_->move(20, 30);
    parent_->show();
    label_->ensureRendered();
    const QImage screen = parent_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage& mask = label_->maskImage();
    const QImage& colour = label_->colourImage();

    int inked = 0;
    for (int y = 0; y < label_->height(); ++y) {
        for (int x = 0; x < label_->width(); ++x) {
            const QRgb shown = screen.pixel(label_->x() + x, label_->y() + y) | 0xFF000000;
            if (ink(mask, x, y)) {
                ++inked;
                ASSERT_EQ(shown, colour.pixel(x, y) | 0xFF000000) << x << "," << y;
            } else {
                ASSERT_EQ(shown, parentColour.rgb()) << x << "," << y;
            }
        }
    }
    EXPECT_GT(inked, 20);
    EXPECT_LT(inked, label_->width() * label_->height() / 2);
}

TEST_F(XLabelTest, ShadowLiesUnderTheTextInFont2Colour) {
    TXLabel* plain = make("Návěstidlo");
    plain->ensureRendered();
    const QImage plainMask = plain->maskImage();

    label_->SetShadowText(true);
    label_->SetOfsX(-1);
    label_->ensureRendered();
    const QImage& colour = label_->colourImage();

    int shadowSeen = 0;
    for (int y = 0; y < plainMask.height(); ++y) {
        for (int x = 0; x < plainMask.width(); ++x) {
            const bool text = ink(plainMask, x, y);
            const bool leftIsText = x > 0 && ink(plainMask, x - 1, y);
            if (text) {
                ASSERT_EQ(QColor(colour.pixel(x, y)), textColour) << x << "," << y;
            } else if (leftIsText) {
                ++shadowSeen;
                ASSERT_EQ(QColor(colour.pixel(x, y)), shadowColour) << x << "," << y;
            }
        }
    }
    EXPECT_GT(shadowSeen, 5) << "the shadow shows one pixel to the right";

    // Without displacement the text hides the shadow completely.
    label_->SetOfsX(0);
    label_->ensureRendered();
    EXPECT_EQ(label_->colourImage(), plain->colourImage());
    EXPECT_EQ(label_->maskImage(), plainMask);
}

TEST_F(XLabelTest, RendersAgainOnlyWhenSomethingVisibleChanged) {
    showParent();
    label_->ensureRendered();
    const int rendered = label_->renderCount();

    label_->repaint();
    label_->SetCaption("Návěstidlo");
    label_->SetFontColor(textColour);
    label_->SetOfsX(0);
    label_->repaint();
    EXPECT_FALSE(label_->ensureRendered());
    EXPECT_EQ(label_->renderCount(), rendered);

    // The help link changes nothing but the colour while pressed.
    label_->SetFontColor(QColor(255, 0, 0));
    label_->repaint();
    EXPECT_EQ(label_->renderCount(), rendered + 1);
    EXPECT_EQ(QColor(label_->colourImage().pixel(inkBox(label_->maskImage()).center())),
              QColor(255, 0, 0));

    // Several changes before a paint cost one rendering.
    label_->SetCaption("Odjezdové návěstidlo");
    label_->SetShadowText(true);
    QFont underlined = testFont();
    underlined.setUnderline(true);
    label_->SetFont(underlined);
    label_->repaint();
    EXPECT_EQ(label_->renderCount(), rendered + 2);
    EXPECT_EQ(label_->width(), textSize("Odjezdové návěstidlo").width());
}

TEST_F(XLabelTest, AnchorsFollowTheRotation) {
    // Read upwards, the label keeps its bottom edge as the caption grows.
    TXLabel* up = make("Kolej");
    up->SetRotation(TXLabel::rotateLeft);
    up->SetLeft(10);
    up->SetBottom(200);
    up->SetTop(5);  // ignored while turned left
    up->ensureRendered();
    EXPECT_EQ(up->y() + up->height(), 200);
    const int shortHeight = up->height();
    up->SetCaption("Kolejový obvod");
    up->ensureRendered();
    EXPECT_GT(up->height(), shortHeight);
    EXPECT_EQ(up->y() + up->height(), 200);
    EXPECT_EQ(up->Top(), up->y());

    // A move behind the label's back is taken over at the next paint.
    showParent();
    label_->move(40, 60);
    label_->repaint();
    EXPECT_EQ(label_->Left(), 40);
    EXPECT_EQ(label_->Top(), 60);
    EXPECT_EQ(label_->Bottom(), 60 + label_->height());
}

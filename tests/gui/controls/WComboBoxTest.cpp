#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <utility>

#include "gui/controls/TWComboBox.h"

using namespace trelvo;

namespace {

const QColor baseColour(255, 255, 255);
const QColor textColour(0, 0, 0);
const QColor selectedColour(0, 0, 160);

QFont testFont() {
    QFont font("DejaVu Sans");
    font.setPixelSize(13);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QPixmap solid(const QColor& colour, int w = 16, int h = 16) {
    QPixmap pixmap(w, h);
    pixmap.fill(colour);
    return pixmap;
}

// Columns holding pixels of the given colour; empty for none.
std::pair<int, int> columnsOf(const QImage& image, const QColor& colour) {
    int first = -1, last = -2;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (QColor(image.pixel(x, y)) == colour) {
                if (first < 0) first = x;
                last = x;
            }
    return {first, last};
}

int leftmostOf(const QImage& image, const QColor& colour) { return columnsOf(image, colour).first; }

class WComboBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_->resize(300, 100);
        box_ = new TWComboBox(parent_.get());
        box_->setFont(testFont());
        QPalette palette = box_->palette();
        palette.setColor(QPalette::Base, baseColour);
        palette.setColor(QPalette::Text, textColour);
        box_->setPalette(palette);
        box_->setGeometry(10, 10, 200, 24);
        box_->add("Alpha", 0);
        box_->add("ABC", 1);
        box_->add("Abd", 2);
    }

    // Typing needs an active window with the focus in the edit box.
    void showEditable() {
        box_->SetEditable(true);
        parent_->show();
        parent_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(parent_.get()));
        box_->editBox()->setFocus();
    }

    QLineEdit* edit() const { return box_->editBox(); }

    std::unique_ptr<QWidget> parent_ = std::make_unique<QWidget>();
    TWComboBox* box_ = nullptr;
};

}  // namespace

// --- completion -----------------------------------------------------------

TEST_F(WComboBoxTest, CompletionFindsTheFirstPrefixMatchIgnoringCase) {
    EXPECT_EQ(box_->completionFor("a"), 0);
    EXPECT_EQ(box_->completionFor("ab"), 1);
    EXPECT_EQ(box_->completionFor("AbD"), 2);
    EXPECT_EQ(box_->completionFor("alphas"), -1) << "longer than every item";
    EXPECT_EQ(box_->completionFor("x"), -1);
    EXPECT_EQ(box_->completionFor(""), -1);

    // Case folding reaches beyond ASCII.
    box_->add("Červené světlo", 3);
    EXPECT_EQ(box_->completionFor("čer"), 3);
}

TEST_F(WComboBoxTest, TypingCompletesAndSelectsTheTypedTail) {
    showEditable();
    QSignalSpy changes(box_, &TWComboBox::Change);

    QTest::keyClick(edit(), Qt::Key_A);
    EXPECT_EQ(edit()->text(), "Alpha");
    EXPECT_EQ(edit()->selectedText(), "lpha");
    EXPECT_EQ(box_->currentIndex(), 0);

    // The second letter replaces the completed tail.
    QTest::keyClick(edit(), Qt::Key_B);
    EXPECT_EQ(box_->currentIndex(), 1);
    EXPECT_EQ(edit()->text(), "ABC");
    EXPECT_EQ(edit()->selectionStart(), 2);
    EXPECT_EQ(edit()->selectedText(), "C");
    EXPECT_EQ(box_->Text(), "ABC");
    EXPECT_EQ(changes.count(), 2);

    // The whole item typed leaves nothing selected.
    QTest::keyClick(edit(), Qt::Key_C);
    EXPECT_EQ(edit()->text(), "ABC");
    EXPECT_FALSE(edit()->hasSelectedText());
    EXPECT_EQ(box_->currentIndex(), 1);
}

TEST_F(WComboBoxTest, TextWithoutAMatchDropsTheSelection) {
    showEditable();
    QTest::keyClicks(edit(), "ab");
    ASSERT_EQ(box_->currentIndex(), 1);

    // Replaces the completed "C": no item starts with "ABx".
    QTest::keyClick(edit(), Qt::Key_X);
    EXPECT_EQ(edit()->text(), "ABx");
    EXPECT_EQ(box_->Text(), "ABx");
    EXPECT_EQ(box_->currentIndex(), -1);
}

TEST_F(WComboBoxTest, WithoutAutoCompleteTypingOnlyTakesTheText) {
    box_->SetAutoComplete(false);
    showEditable();
    QTest::keyClicks(edit(), "ab");
    EXPECT_EQ(edit()->text(), "ab");
    EXPECT_EQ(box_->Text(), "ab");
    EXPECT_EQ(box_->currentIndex(), -1);
}

TEST_F(WComboBoxTest, BackspaceAndDeleteDoNotComplete) {
    showEditable();
    QTest::keyClicks(edit(), "ab");
    ASSERT_EQ(edit()->text(), "ABC");

    // Removes the selected "C"; completing again would bring it back.
    QTest::keyClick(edit(), Qt::Key_Backspace);
    EXPECT_EQ(edit()->text(), "AB");
    EXPECT_FALSE(edit()->hasSelectedText());
    EXPECT_EQ(box_->Text(), "AB");

    QTest::keyClick(edit(), Qt::Key_Home);
    QTest::keyClick(edit(), Qt::Key_Delete);
    EXPECT_EQ(edit()->text(), "B");
    EXPECT_EQ(box_->Text(), "B");

    // Typing again completes again.
    QTest::keyClick(edit(), Qt::Key_End);
    QTest::keyClick(edit(), Qt::Key_Backspace);
    QTest::keyClick(edit(), Qt::Key_A);
    EXPECT_EQ(edit()->text(), "Alpha");
    EXPECT_EQ(box_->currentIndex(), 0);
}

// --- keys and selection -----------------------------------------------------

TEST_F(WComboBoxTest, UpAndDownStayWithinTheList) {
    showEditable();
    ASSERT_EQ(box_->currentIndex(), -1) << "adding items selects nothing";
    QTest::keyClick(edit(), Qt::Key_Up);
    EXPECT_EQ(box_->currentIndex(), -1);
    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_EQ(box_->currentIndex(), 0);
    QTest::keyClick(edit(), Qt::Key_Up);
    EXPECT_EQ(box_->currentIndex(), 0);
    EXPECT_EQ(edit()->text(), "Alpha");

    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_EQ(edit()->text(), "ABC");
    EXPECT_EQ(box_->Text(), "ABC");
    QTest::keyClick(edit(), Qt::Key_Down);
    QTest::keyClick(edit(), Qt::Key_Down);
    EXPECT_EQ(box_->currentIndex(), 2);
    EXPECT_EQ(edit()->text(), "Abd");

    QTest::keyClick(edit(), Qt::Key_Up);
    EXPECT_EQ(box_->currentIndex(), 1);
    // Showing an item is not typing: "ABC" must not complete to something else.
    EXPECT_EQ(edit()->text(), "ABC");
}

TEST_F(WComboBoxTest, SelectionChangeUpdatesTextAndReports) {
    QSignalSpy changes(box_, &TWComboBox::Change);
    box_->setCurrentIndex(2);
    EXPECT_EQ(box_->Text(), "Abd");
    EXPECT_EQ(changes.count(), 1);

    // Editable without a selection, the edit box shows Text.
    box_->SetEditable(true);
    box_->SetText("Návěstidlo");
    box_->setCurrentIndex(-1);
    EXPECT_EQ(edit()->text(), "Návěstidlo");
    EXPECT_EQ(box_->Text(), "Návěstidlo");
    EXPECT_EQ(changes.count(), 2);
}

TEST_F(WComboBoxTest, SetTextFillsTheEditBoxOnlyWhenDifferent) {
    box_->SetText("Kolej");
    EXPECT_EQ(box_->Text(), "Kolej");
    EXPECT_EQ(box_->currentIndex(), -1) << "Text alone selects nothing";

    box_->SetEditable(true);
    EXPECT_EQ(edit()->text(), "Kolej") << "the new box starts with Text";
    box_->SetText("ABC");
    EXPECT_EQ(edit()->text(), "ABC");
    EXPECT_EQ(box_->currentIndex(), -1) << "set text is not typed text";

    // The same text again leaves the box, and its selection, alone.
    edit()->setSelection(1, 1);
    box_->SetText("ABC");
    EXPECT_EQ(edit()->selectedText(), "B");
}

// --- the edit box -----------------------------------------------------------

TEST_F(WComboBoxTest, EditBoxLiesOverTheFieldAndTakesTheFocus) {
    box_->SetItemHeight(18);
    box_->SetEditable(true);
    ASSERT_NE(edit(), nullptr);
    EXPECT_EQ(edit()->geometry(), QRect(3, 3, 200 - 21, 18));
    EXPECT_FALSE(edit()->hasFrame());
    EXPECT_EQ(box_->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(box_->focusProxy(), edit());

    // A hidden control hears of its new size when shown.
    box_->resize(150, 30);
    parent_->show();
    EXPECT_EQ(edit()->geometry(), QRect(3, 6, 150 - 21, 18));

    QPointer<QLineEdit> gone = edit();
    box_->SetEditable(false);
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(box_->editBox(), nullptr);
    EXPECT_NE(box_->focusPolicy(), Qt::NoFocus);
}

TEST_F(WComboBoxTest, EditBoxReportsEnterAndExit) {
    auto* other = new QLineEdit(parent_.get());
    showEditable();
    other->setFocus();
    QSignalSpy enters(box_, &TWComboBox::Enter);
    QSignalSpy exits(box_, &TWComboBox::Exit);
    box_->setFocus();  // handed on to the edit box
    EXPECT_TRUE(edit()->hasFocus());
    EXPECT_EQ(enters.count(), 1);
    EXPECT_EQ(exits.count(), 0);
    other->setFocus();
    EXPECT_EQ(enters.count(), 1);
    EXPECT_EQ(exits.count(), 1);
}

TEST_F(WComboBoxTest, ArrowCursorOnlyWhileTheEditableListIsOpen) {
    showEditable();
    box_->showPopup();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
    box_->hidePopup();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    box_->SetEditable(false);
    box_->showPopup();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    box_->hidePopup();
}

// --- drawing ----------------------------------------------------------------

TEST_F(WComboBoxTest, WithoutImagesTextStartsTwoPixelsFromTheLeft) {
    EXPECT_EQ(box_->textRect(QRect(0, 0, 100, 18)).left(), 2);
    EXPECT_EQ(box_->requestedItemHeight(), box_->ItemHeight());

    // Compared with the same text drawn at the very left, for the bearing.
    const QImage item = box_->renderItem(1, false, 100);
    QImage reference(item.size(), QImage::Format_RGB32);
    reference.fill(baseColour);
    {
        QPainter painter(&reference);
        painter.setFont(testFont());
        painter.setPen(textColour);
        painter.drawText(reference.rect(), Qt::AlignLeft | Qt::AlignVCenter, "ABC");
    }
    const int inkAt = leftmostOf(reference, textColour);
    ASSERT_GE(inkAt, 0);
    EXPECT_EQ(leftmostOf(item, textColour), inkAt + 2);
    EXPECT_EQ(QColor(item.pixel(0, 0)), baseColour);
    EXPECT_EQ(QColor(item.pixel(99, item.height() - 1)), baseColour);
}

TEST_F(WComboBoxTest, ImagesSetTheHeightAndPushTheText) {
    const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255);
    box_->SetImages({solid(red), solid(green), solid(blue)});
    box_->SetSpace(5);
    EXPECT_EQ(box_->requestedItemHeight(), 16 + 5);
    const QRect item(0, 0, 120, 21);
    EXPECT_EQ(box_->imagePosition(item), QPoint(2, 2)) << "half of 5, rounded down";
    EXPECT_EQ(box_->textRect(item).left(), 16 + 2 * 5 + 2);
    EXPECT_EQ(box_->imagePosition(QRect(7, 40, 120, 21)), QPoint(9, 42));

    const QImage drawn = box_->renderItem(1, false, 120);
    EXPECT_EQ(drawn.height(), 21);
    EXPECT_EQ(QColor(drawn.pixel(1, 1)), baseColour);
    EXPECT_EQ(QColor(drawn.pixel(2, 2)), green);
    EXPECT_EQ(QColor(drawn.pixel(17, 17)), green);
    EXPECT_EQ(QColor(drawn.pixel(18, 18)), baseColour);
    EXPECT_GE(leftmostOf(drawn, textColour), 28);
}

TEST_F(WComboBoxTest, ChangeimageSwapsAnItemsPicture) {
    const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255);
    box_->SetImages({solid(red), solid(green), solid(blue)});
    box_->changeimage(0, 2);
    EXPECT_EQ(box_->imageIndex(0), 2);
    EXPECT_EQ(QColor(box_->renderItem(0, false, 80).pixel(4, 4)), blue);

    // Out of range changes nothing.
    box_->changeimage(3, 0);
    box_->changeimage(-1, 0);
    EXPECT_EQ(box_->imageIndex(2), 2);
    EXPECT_EQ(box_->imageIndex(3), -1);

    // A picture index beyond the list draws no picture, but keeps the indent.
    box_->changeimage(1, 9);
    const QImage drawn = box_->renderItem(1, false, 80);
    EXPECT_EQ(QColor(drawn.pixel(4, 4)), baseColour);
    EXPECT_GE(leftmostOf(drawn, textColour), 16 + 2);
}

TEST_F(WComboBoxTest, PicturesFollowTheirItemsWhenTheListChanges) {
    box_->addItem("Bez obrázku");
    EXPECT_EQ(box_->imageIndex(3), -1);
    box_->removeItem(0);
    EXPECT_EQ(box_->imageIndex(0), 1);
    EXPECT_EQ(box_->imageIndex(1), 2);
    box_->clear();
    box_->add("Nový", 4);
    EXPECT_EQ(box_->imageIndex(0), 4);
}

TEST_F(WComboBoxTest, BackgroundsDifferForSelectedItems) {
    // Default: the control's colour and the highlight.
    EXPECT_EQ(QColor(box_->renderItem(0, false, 80).pixel(70, 1)), baseColour);
    EXPECT_EQ(QColor(box_->renderItem(0, true, 80).pixel(70, 1)), box_->ColorSelected());

    box_->SetColorSelectedRef(0xA00000);  // 0x00BBGGRR
    EXPECT_EQ(box_->ColorSelected(), selectedColour);
    EXPECT_EQ(QColor(box_->renderItem(0, true, 80).pixel(70, 1)), selectedColour);

    // Patterns tile, and take precedence over the colours.
    QPixmap checks(2, 2);
    checks.fill(Qt::yellow);
    {
        QPainter painter(&checks);
        painter.fillRect(0, 0, 1, 1, Qt::magenta);
        painter.fillRect(1, 1, 1, 1, Qt::magenta);
    }
    box_->SetBackground(checks);
    QImage drawn = box_->renderItem(0, false, 80);
    EXPECT_EQ(QColor(drawn.pixel(70, 0)), QColor(Qt::magenta));
    EXPECT_EQ(QColor(drawn.pixel(71, 0)), QColor(Qt::yellow));
    EXPECT_EQ(QColor(drawn.pixel(71, 1)), QColor(Qt::magenta));
    EXPECT_EQ(QColor(box_->renderItem(0, true, 80).pixel(70, 1)), selectedColour);

    box_->SetBackgroundSelected(solid(Qt::cyan, 4, 4));
    EXPECT_EQ(QColor(box_->renderItem(0, true, 80).pixel(70, 1)), QColor(Qt::cyan));
}

TEST_F(WComboBoxTest, SelectedItemsUseFontSelected) {
    EXPECT_EQ(box_->FontSelected(), box_->font()) << "a copy of the font until set";
    const QColor gold(200, 160, 0);
    box_->SetFontSelectedColor(gold);
    box_->SetColorSelected(selectedColour);
    const QImage plain = box_->renderItem(0, true, 120);
    EXPECT_GE(leftmostOf(plain, gold), 2);
    EXPECT_EQ(leftmostOf(plain, textColour), -1);

    QFont big = testFont();
    big.setPixelSize(20);
    box_->SetFontSelected(big);
    auto inkWidth = [&](const QImage& image) {
        const auto [first, last] = columnsOf(image, gold);
        return last - first;
    };
    EXPECT_GT(inkWidth(box_->renderItem(0, true, 120)), inkWidth(plain));
    // Unselected items keep the ordinary font and colour.
    EXPECT_EQ(leftmostOf(box_->renderItem(0, false, 120), gold), -1);
}

TEST_F(WComboBoxTest, ClosedControlShowsTheCurrentItemSelectedWhileFocused) {
    const QColor gold(200, 160, 0);
    box_->SetFontSelectedColor(gold);
    box_->SetColorSelected(selectedColour);
    auto* other = new QLineEdit(parent_.get());
    other->move(10, 50);
    box_->setCurrentIndex(2);
    parent_->show();
    parent_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(parent_.get()));

    auto count = [&](const QColor& colour) {
        const QImage shown = box_->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int found = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width() / 2; ++x)
                if (QColor(shown.pixel(x, y)) == colour) ++found;
        return found;
    };
    box_->setFocus();
    ASSERT_TRUE(box_->hasFocus());
    EXPECT_GT(count(gold), 10) << "the item's text in the selected colours";
    EXPECT_GT(count(selectedColour), 100);

    other->setFocus();
    ASSERT_FALSE(box_->hasFocus());
    EXPECT_GT(count(textColour), 10);
    EXPECT_EQ(count(gold), 0);
    EXPECT_EQ(count(selectedColour), 0);
}

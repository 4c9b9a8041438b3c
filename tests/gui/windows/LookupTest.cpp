#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <filesystem>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "gui/controls/TCustomHintWindow.h"
#include "gui/controls/TWhintik.h"
#include "gui/windows/Tgridik.h"

using namespace trelvo;

namespace {

// Terms t0000 .. t(count-1), each with the translation u followed by the
// reversed number, so that the two languages sort differently.
EntryList numbered(int count, std::uint32_t flagsOfTen = 0) {
    EntryList entries;
    for (int i = 0; i < count; ++i) {
        char term[16], translation[16];
        std::snprintf(term, sizeof term, "t%06d", i);
        std::snprintf(translation, sizeof translation, "u%06d", count - 1 - i);
        entries.append(term, translation, "", i % 10 == 0 ? flagsOfTen : 0);
    }
    return entries;
}

class LookupTest : public TestProgram {
protected:
    TForm1Probe open(const EntryList& entries) {
        dictionary("a.dsl", "Číselný", entries);
        TForm1Probe w = start();
        w.window().resize(700, 450);
        w.window().show();
        w.chooseDictionary(0);
        return w;
    }

    TForm1Probe openCzechEnglish() {
        dictionary("a.dsl", "Zabezpečovací technika", true,
                   {{"kolejový obvod", "track circuit"},
                    {"návěst", "aspect"},
                    {"návěstidlo", "signal"},
                    {"přejezdové zabezpečovací zařízení", "level crossing protection system"},
                    {"výhybka", "points"},
                    {"závora", "barrier"}});
        TForm1Probe w = start();
        w.window().resize(700, 450);
        w.window().show();
        w.chooseDictionary(0);
        return w;
    }

    // The term under the grid's cursor, in its code page.
    std::string entryUnderCursor(TForm1Probe w) const {
        const DictionaryIndex& index = w.store().indexes[static_cast<std::size_t>(w.direction().sourceSide)];
        return std::string(w.store().entries.term(index.entryNumber(w.currentPosition())));
    }

    void key(QWidget* target, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(target, k, modifiers);
    }

    // The index position shown in the grid's top visible row.
    static std::size_t firstVisible(TForm1Probe w) {
        return w.windowFirst() + static_cast<std::size_t>(w.grid()->topVisibleRow());
    }

    // Turns of the wheel over the grid, delta in eighths of a degree (120 a notch).
    static void wheel(TForm1Probe w, int delta, int times) {
        const QPoint at(40, 40);
        for (int i = 0; i < times; ++i) {
            QWheelEvent event(at, w.grid()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(w.grid()->viewport(), &event);
        }
    }

    // A click on the scroll bar's track below its thumb.
    static void clickTrackBelowThumb(QScrollBar* bar) {
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        const QRect track =
            bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddPage, bar);
        ASSERT_FALSE(track.isEmpty());
        QTest::mouseClick(bar, Qt::LeftButton, {}, track.center());
    }
};

}  // namespace

TEST_F(LookupTest, TypingTwoLettersRunsOneSearchAQuarterSecondLater) {
    TForm1Probe w = openCzechEnglish();
    QTest::keyClick(w.Edit1(), Qt::Key_N);
    QTest::sendKeyEvent(QTest::Click, w.Edit1(), Qt::Key_Aacute, QStringLiteral("á"), Qt::NoModifier);
    ASSERT_EQ(w.Edit1()->text(), "ná");
    EXPECT_EQ(w.currentPosition(), 0u) << "nothing before the quarter second";
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.currentPosition() == std::size_t{1}; }, 2000));
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "návěst");
    EXPECT_EQ(w.grid()->currentRow(), w.grid()->topVisibleRow()) << "the entry found stands at the top";
    EXPECT_TRUE(w.Edit1()->selectedText().isEmpty()) << "the timer does not select the text";
    // Waiting longer runs no further search.
    w.setCurrentPosition(4);
    QTest::qWait(400);
    EXPECT_EQ(w.currentPosition(), 4u);
}

TEST_F(LookupTest, EnterSearchesAndSelectsTheText) {
    TForm1Probe w = openCzechEnglish();
    w.Timer2()->stop();
    w.Edit1()->setText(QStringLiteral("návěstidlo"));
    key(w.Edit1(), Qt::Key_Return);
    EXPECT_EQ(w.currentPosition(), 2u);
    EXPECT_EQ(w.Edit1()->selectedText(), "návěstidlo");
}

TEST_F(LookupTest, AnEnglishWordSwapsTheDirection) {
    TForm1Probe w = openCzechEnglish();
    w.Timer2()->stop();
    w.Edit1()->setText(QStringLiteral("track circuit"));
    key(w.Edit1(), Qt::Key_Return);
    EXPECT_EQ(w.direction().sourceSide, 1);
    EXPECT_EQ(panel(1), "Směr překladu: Angličtina->Čeština");
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "track circuit");
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 1)->text(), "kolejový obvod");
}

TEST_F(LookupTest, SwappingKeepsTheEntryUnderTheCursor) {
    TForm1Probe w = openCzechEnglish();
    w.Timer2()->stop();
    w.Edit1()->setText(QStringLiteral("výhybka"));
    key(w.Edit1(), Qt::Key_Return);
    ASSERT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "výhybka");
    key(w.Edit1(), Qt::Key_F5);
    EXPECT_EQ(w.direction().sourceSide, 1);
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "points");
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 1)->text(), "výhybka");
    EXPECT_EQ(panel(1), "Směr překladu: Angličtina->Čeština");
    w.toolButton(ToolButton::swapDirection)->click();
    EXPECT_EQ(w.direction().sourceSide, 0);
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "výhybka");
}

TEST_F(LookupTest, ArrowKeysInTheSearchBoxMoveTheGridCursor) {
    TForm1Probe w = openCzechEnglish();
    QApplication::setActiveWindow(&w.window());
    w.Edit1()->setFocus();
    key(w.Edit1(), Qt::Key_Down);
    key(w.Edit1(), Qt::Key_Down);
    EXPECT_EQ(w.currentPosition(), 2u);
    key(w.Edit1(), Qt::Key_Up);
    EXPECT_EQ(w.currentPosition(), 1u);
    EXPECT_TRUE(w.Edit1()->hasFocus());
}

TEST_F(LookupTest, ShiftInsertSwitchesTheAddingModeInsteadOfPasting) {
    TForm1Probe w = openCzechEnglish();
    QApplication::clipboard()->setText(QStringLiteral("vloženo"));
    key(w.Edit1(), Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_TRUE(w.Edit1()->text().isEmpty());
    EXPECT_TRUE(w.toolButton(ToolButton::allowAdding)->isChecked());
    EXPECT_TRUE(w.Edit2()->isVisible());
    EXPECT_LT(w.ScrollBar1()->y() + w.ScrollBar1()->height(), w.Edit2()->y()) << "the grid makes room";
    key(w.Edit1(), Qt::Key_Insert);
    EXPECT_FALSE(w.toolButton(ToolButton::allowAdding)->isChecked());
    EXPECT_FALSE(w.Edit2()->isVisible());
}

TEST_F(LookupTest, SteppingDownReloadsTheWindowWithoutMovingTheEntry) {
    TForm1Probe w = open(numbered(1000));
    w.grid()->setFocus();
    EXPECT_EQ(w.windowFirst(), 0u);
    for (int i = 0; i < 151; ++i) {
        key(w.grid(), Qt::Key_Down);
        ASSERT_EQ(w.windowFirst() + static_cast<std::size_t>(w.grid()->currentRow()), w.currentPosition());
        char expected[16];
        std::snprintf(expected, sizeof expected, "t%06zu", w.currentPosition());
        ASSERT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text().toStdString(), expected);
        if (i < 150) {
            ASSERT_EQ(w.windowFirst(), 0u) << i;
        }
    }
    EXPECT_EQ(w.currentPosition(), 151u);
    EXPECT_EQ(w.windowFirst(), 51u);
    EXPECT_EQ(w.windowLast(), 251u);
    EXPECT_EQ(w.grid()->currentRow(), 100);
}

TEST_F(LookupTest, SteppingAcrossAReloadKeepsTheCursorsPlaceOnTheScreen) {
    TForm1Probe w = open(numbered(1000));
    w.grid()->setFocus();
    const auto distance = [&w] { return w.grid()->currentRow() - w.grid()->topVisibleRow(); };
    // Down to the bottom edge, then on past the reload at 151: the cursor stays
    // on the lowest row and the rows move under it one at a time.
    int atBottom = -1;
    for (int i = 0; i < 170; ++i) {
        const std::size_t topBefore = firstVisible(w);
        key(w.grid(), Qt::Key_Down);
        if (atBottom < 0 && firstVisible(w) != topBefore) atBottom = distance();
        if (atBottom < 0) continue;
        ASSERT_EQ(distance(), atBottom) << "at " << w.currentPosition();
        ASSERT_EQ(firstVisible(w), w.currentPosition() - static_cast<std::size_t>(atBottom));
    }
    ASSERT_GT(atBottom, 0);
    EXPECT_EQ(w.windowFirst(), 51u) << "the window was reloaded on the way";
    // Up to the top edge and on past the reload at 100.
    for (int i = 0; i < atBottom; ++i) key(w.grid(), Qt::Key_Up);
    ASSERT_EQ(distance(), 0);
    while (w.currentPosition() > 90) {
        key(w.grid(), Qt::Key_Up);
        ASSERT_EQ(distance(), 0) << "at " << w.currentPosition();
        ASSERT_EQ(firstVisible(w), w.currentPosition());
    }
    EXPECT_EQ(w.windowFirst(), 0u) << "the window was reloaded on the way back";
}

TEST_F(LookupTest, ClickingTheScrollBarTrackPagesFromTheVisibleRows) {
    TForm1Probe w = open(numbered(1000));
    w.grid()->setFocus();
    key(w.grid(), Qt::Key_Down);
    key(w.grid(), Qt::Key_Down);
    const std::size_t page = static_cast<std::size_t>(w.grid()->bottomVisibleRow() - w.grid()->topVisibleRow());
    ASSERT_GT(page, 2u);
    // Enough pages to reload the window several times.
    for (std::size_t i = 1; i <= 25; ++i) {
        clickTrackBelowThumb(w.ScrollBar1());
        ASSERT_EQ(firstVisible(w), i * page) << "click " << i;
        EXPECT_EQ(w.ScrollBar1()->value(), static_cast<int>(i * page));
        EXPECT_EQ(w.grid()->currentRow() - w.grid()->topVisibleRow(), 2) << "the cursor keeps its place on the screen";
        ASSERT_EQ(w.windowFirst() + static_cast<std::size_t>(w.grid()->currentRow()), w.currentPosition());
        char expected[16];
        std::snprintf(expected, sizeof expected, "t%06zu", w.currentPosition());
        ASSERT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text().toStdString(), expected);
    }
    EXPECT_GT(w.windowFirst(), 0u);
}

TEST_F(LookupTest, TheWheelMovesThroughTheWholeIndexWithTheScrollBar) {
    TForm1Probe w = open(numbered(1000));
    const auto rowsStartAtTheTop = [&w] { return w.grid()->rowViewportPosition(w.grid()->topVisibleRow()) == 0; };
    wheel(w, -120, 100);
    EXPECT_EQ(firstVisible(w), 300u) << "three rows a notch, past the window's last row";
    EXPECT_EQ(w.ScrollBar1()->value(), 300);
    EXPECT_EQ(w.currentPosition(), 300u) << "the cursor moves with the rows";
    EXPECT_EQ(w.grid()->item(w.grid()->topVisibleRow(), 0)->text(), "t000300");
    EXPECT_TRUE(rowsStartAtTheTop());
    // A wheel of fine steps: seven eighths of a notch move nothing, the eighth moves three rows.
    wheel(w, -15, 7);
    EXPECT_EQ(firstVisible(w), 300u);
    wheel(w, -15, 1);
    EXPECT_EQ(firstVisible(w), 303u);
    EXPECT_TRUE(rowsStartAtTheTop());
    wheel(w, 120, 50);
    EXPECT_EQ(firstVisible(w), 153u);
    EXPECT_EQ(w.ScrollBar1()->value(), 153);
    wheel(w, 120, 60);
    EXPECT_EQ(firstVisible(w), 0u) << "the wheel stops at the first entry";
    EXPECT_EQ(w.ScrollBar1()->value(), 0);
    EXPECT_EQ(w.grid()->item(0, 0)->text(), "t000000");
    EXPECT_TRUE(rowsStartAtTheTop());
    wheel(w, -120, 400);
    EXPECT_EQ(w.ScrollBar1()->value(), w.ScrollBar1()->maximum()) << "and at the last";
    EXPECT_EQ(firstVisible(w), static_cast<std::size_t>(w.ScrollBar1()->maximum()));
    EXPECT_TRUE(rowsStartAtTheTop());
}

TEST_F(LookupTest, EndHomeAndPageKeysStayWithinTheEntries) {
    TForm1Probe w = open(numbered(1000));
    w.grid()->setFocus();
    key(w.grid(), Qt::Key_End);
    EXPECT_EQ(w.windowFirst(), 899u);
    EXPECT_EQ(w.windowLast(), 1000u);
    EXPECT_EQ(w.grid()->currentRow(), 100);
    EXPECT_EQ(w.currentPosition(), 999u);
    // The last entry is the lowest filled row; the row under the bottom edge is empty.
    EXPECT_EQ(w.grid()->bottomVisibleRow(), w.grid()->currentRow() + 1);
    EXPECT_TRUE(w.grid()->item(w.grid()->currentRow() + 1, 0)->text().isEmpty());
    for (int i = 0; i < 5; ++i) key(w.grid(), Qt::Key_PageDown);
    EXPECT_EQ(w.currentPosition(), 999u) << "Page Down never passes the last entry";
    EXPECT_EQ(w.ScrollBar1()->value(), w.ScrollBar1()->maximum());
    key(w.grid(), Qt::Key_Home);
    EXPECT_EQ(w.currentPosition(), 0u);
    EXPECT_EQ(w.grid()->currentRow(), 0);
    EXPECT_EQ(w.grid()->topVisibleRow(), 0);
    key(w.grid(), Qt::Key_PageUp);
    EXPECT_EQ(w.grid()->currentRow(), 0);
    key(w.grid(), Qt::Key_PageDown);
    EXPECT_EQ(w.currentPosition(), static_cast<std::size_t>(w.grid()->bottomVisibleRow() - w.grid()->topVisibleRow()));
}

TEST_F(LookupTest, RowsBeyondASmallDictionaryStayEmptyAndCannotBeSelected) {
    TForm1Probe w = open(numbered(150, 2));
    EXPECT_EQ(w.grid()->item(149, 0)->text(), "t000149");
    EXPECT_TRUE(w.grid()->item(150, 0)->text().isEmpty());
    EXPECT_EQ(w.grid()->rowFlags[199], 0);
    w.grid()->setCurrentCell(160, 0);
    EXPECT_EQ(w.grid()->currentRow(), 0);
    EXPECT_EQ(w.currentPosition(), 0u);
    w.grid()->setFocus();
    key(w.grid(), Qt::Key_End);
    key(w.grid(), Qt::Key_PageDown);
    EXPECT_EQ(w.currentPosition(), 149u);
}

TEST_F(LookupTest, MarksMoveWithTheirEntries) {
    TForm1Probe w = open(numbered(1000, 2));
    EXPECT_EQ(w.grid()->rowFlags[0], 2);
    EXPECT_EQ(w.grid()->rowFlags[1], 0);
    EXPECT_EQ(w.grid()->rowFlags[10], 2);
    w.grid()->setFocus();
    key(w.grid(), Qt::Key_End);
    // Window 899 ..: entry 900 stands in row 1, entry 990 in row 91.
    EXPECT_EQ(w.grid()->rowFlags[1], 2);
    EXPECT_EQ(w.grid()->rowFlags[91], 2);
    EXPECT_EQ(w.grid()->rowFlags[0], 0);
}

TEST_F(LookupTest, CopyKeysPutTheCursorCellOnTheClipboard) {
    TForm1Probe w = openCzechEnglish();
    w.grid()->setCurrentCell(2, 1);
    QApplication::clipboard()->clear();
    key(w.grid(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "signal");
    w.grid()->setCurrentCell(1, 0);
    key(w.grid(), Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "návěst");
    EXPECT_FALSE(w.toolButton(ToolButton::allowAdding)->isChecked())
        << "Ctrl+Insert copies; only a plain Insert switches adding";
}

TEST_F(LookupTest, EscapeRestoresAnEditedCell) {
    TForm1Probe w = openCzechEnglish();
    QApplication::setActiveWindow(&w.window());
    w.grid()->setFocus();
    w.grid()->setCurrentCell(1, 0);
    w.grid()->editItem(w.grid()->item(1, 0));
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "xyz");
    key(editor, Qt::Key_Escape);
    EXPECT_EQ(w.grid()->item(1, 0)->text(), "návěst");
    EXPECT_EQ(w.store().entries.term(1), CodePage::fromUtf8("návěst", 1250));
}

TEST_F(LookupTest, ScrollBarStandsForTheWholeIndex) {
    TForm1Probe w = open(numbered(300'000));
    const int page = w.grid()->bottomVisibleRow() - w.grid()->topVisibleRow();
    EXPECT_EQ(w.ScrollBar1()->maximum(), 299'999 - page);
    w.ScrollBar1()->setValue(100'000);
    EXPECT_EQ(w.currentPosition(), 100'000u);
    EXPECT_EQ(w.windowFirst(), 99'900u);
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "t100000");
    w.grid()->setFocus();
    for (int i = 0; i < 60; ++i) key(w.grid(), Qt::Key_Down);
    EXPECT_EQ(w.currentPosition(), 100'060u);
    EXPECT_EQ(w.windowFirst(), 99'951u) << "reloaded once, at 100051";
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "t100060");
}

TEST_F(LookupTest, NoDictionaryLeavesTheScrollBarAtZero) {
    TForm1Probe w = start();
    EXPECT_EQ(w.ScrollBar1()->maximum(), 0);
    EXPECT_EQ(w.ScrollBar1()->value(), 0);
}

TEST_F(LookupTest, HintShowsTheWholeTextOfALongCell) {
    const std::string longTranslation =
        "automatic train protection with continuous supervision of speed and of the braking curve";
    dictionary("a.dsl", "Zabezpečovací technika", true,
               {{"kolejový obvod", "track circuit"}, {"vlakový zabezpečovač", longTranslation}});
    TForm1Probe w = start();
    w.window().resize(700, 450);
    w.window().show();
    w.chooseDictionary(0);
    QCoreApplication::processEvents();
    const QRect longCell = w.grid()->visualItemRect(w.grid()->item(1, 1));
    const QRect shortCell = w.grid()->visualItemRect(w.grid()->item(0, 1));
    ASSERT_LT(longCell.width(), QFontMetrics(w.grid()->columnFonts[1]).horizontalAdvance(
                                    QString::fromStdString(longTranslation)))
        << "the translation is cut off";
    QTest::mouseMove(w.grid()->viewport(), longCell.center());
    EXPECT_FALSE(w.Whintik1()->getshow());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Whintik1()->getshow(); }, 2000));
    EXPECT_EQ(w.Whintik1()->HintText().toStdString(), longTranslation);
    EXPECT_EQ(w.Whintik1()->HintY(), w.grid()->viewport()->mapToGlobal(longCell.center()).y() + 20);
    // The popup fits its wrapped text: 6 pixels wider and 2 taller.
    const QWidget* popup = w.Whintik1()->HintWindow();
    const QRect text = QFontMetrics(popup->font())
                           .boundingRect(QRect(0, 0, 300, 1 << 20), Qt::TextWordWrap,
                                         QString::fromStdString(longTranslation));
    EXPECT_EQ(popup->size(), text.size() + QSize(6, 2));
    // Over a cell whose text fits, the hint goes.
    QTest::mouseMove(w.grid()->viewport(), shortCell.center());
    EXPECT_FALSE(w.Whintik1()->getshow());
}

namespace {

class DeliveredLookupTest : public TestProgram {
protected:
    TForm1Probe open(const std::string& file) {
        std::filesystem::copy_file(std::string(TRELVO_RUNTIME_DIR) + "/DSL/" + file, dir_ + "DSL/" + file);
        TForm1Probe w = start();
        w.window().resize(700, 450);
        w.window().show();
        w.PopupMenu1()->actions()[0]->trigger();
        return w;
    }

    // Types text as keys: letters outside ASCII arrive as the text of a key.
    static void type(QWidget* box, const QString& text) {
        for (QChar c : text) {
            if (c.unicode() < 0x80) QTest::keyClick(box, c.toLatin1());
            else QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    void search(TForm1Probe w, const QString& text) {
        w.Edit1()->selectAll();
        type(w.Edit1(), text);
        ASSERT_EQ(w.Edit1()->text(), text);
        QTest::keyClick(w.Edit1(), Qt::Key_Return);
    }

    static QString row(TForm1Probe w, int col) { return w.grid()->item(w.grid()->currentRow(), col)->text(); }
};

}  // namespace

TEST_F(DeliveredLookupTest, AWordOfTheOtherScriptSwapsTheDirectionBothWays) {
    TForm1Probe w = open("cs-ru.dsl");
    w.Timer2()->stop();
    search(w, QStringLiteral("главный путь"));
    EXPECT_EQ(w.direction().sourceSide, 1);
    EXPECT_EQ(panel(1), "Směr překladu: Ruština->Čeština");
    EXPECT_EQ(row(w, 0), "главный путь");
    EXPECT_EQ(row(w, 1), "hlavní kolej");

    search(w, QStringLiteral("návěstidlo"));
    EXPECT_EQ(w.direction().sourceSide, 0);
    EXPECT_EQ(row(w, 0), "návěstidlo");
    EXPECT_EQ(row(w, 1), "светофор");
}

TEST_F(DeliveredLookupTest, ACzechWordWithLettersEnglishLacksSwapsBack) {
    TForm1Probe w = open("cs-en.dsl");
    w.Timer2()->stop();
    QTest::keyClick(w.Edit1(), Qt::Key_F5);
    ASSERT_EQ(w.direction().sourceSide, 1);
    search(w, QStringLiteral("návěstidlo"));
    EXPECT_EQ(w.direction().sourceSide, 0);
    EXPECT_EQ(row(w, 0), "návěstidlo");
    EXPECT_EQ(row(w, 1), "signal");

    // A word of both languages is found where the user is: no swap.
    search(w, QStringLiteral("ETCS"));
    EXPECT_EQ(w.direction().sourceSide, 0);
    EXPECT_TRUE(row(w, 0).startsWith(QStringLiteral("ETCS")));
    QTest::keyClick(w.Edit1(), Qt::Key_F5);
    search(w, QStringLiteral("ETCS"));
    EXPECT_EQ(w.direction().sourceSide, 1);
    EXPECT_TRUE(row(w, 0).startsWith(QStringLiteral("ETCS")));
}

TEST_F(DeliveredLookupTest, TheSameTextTypedAgainAfterASwapIsSearched) {
    TForm1Probe w = open("cs-en.dsl");
    type(w.Edit1(), QStringLiteral("kolej"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return row(w, 0) == QStringLiteral("kolej"); }, 2000));
    QTest::keyClick(w.Edit1(), Qt::Key_F5);
    ASSERT_EQ(row(w, 0), "track");
    QTest::qWait(400);
    EXPECT_EQ(w.direction().sourceSide, 1) << "the swap alone searches nothing";

    w.Edit1()->selectAll();
    type(w.Edit1(), QStringLiteral("kolej"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.direction().sourceSide == 0; }, 2000));
    EXPECT_EQ(row(w, 0), "kolej") << "the grid shows what the box says";
}

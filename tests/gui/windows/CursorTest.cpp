#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "TestProgram.h"
#include "gui/windows/Tgridik.h"

using namespace trelvo;

namespace {

// The cursor and the highlight on a dictionary of a thousand entries, where
// an edit of a term moves rows: the cursor must land on the entry the user
// pointed at, never on one that happens to take its row.
class CursorTest : public TestProgram {
protected:
    // Terms t000000 .. t000999, translations u000000 ...
    TForm1Probe open(int count = 1000) {
        EntryList entries;
        for (int i = 0; i < count; ++i) {
            char term[16], translation[16];
            std::snprintf(term, sizeof term, "t%06d", i);
            std::snprintf(translation, sizeof translation, "u%06d", i);
            entries.append(term, translation, "", 0);
        }
        dictionary("a.dsl", "Číselný", entries);
        TForm1Probe w = start();
        w.window().resize(700, 450);
        w.window().show();
        QApplication::setActiveWindow(&w.window());
        w.Timer3()->stop();
        w.chooseDictionary(0);
        return w;
    }

    static QString cell(TForm1Probe w, int row, int col) { return w.grid()->item(row, col)->text(); }
    // The term of the entry the cursor stands on, as the commands see it.
    static std::string underCursor(TForm1Probe w) {
        const DictionaryIndex& index = w.store().indexes[static_cast<std::size_t>(w.direction().sourceSide)];
        return std::string(w.store().entries.term(index.entryNumber(w.currentPosition())));
    }
    static QPoint centreOf(TForm1Probe w, int row, int col) {
        return w.grid()->visualItemRect(w.grid()->item(row, col)).center();
    }

    // Opens the editor on a cell and types text into it, without closing it.
    static QWidget* typeInto(TForm1Probe w, int row, int col, const QString& text) {
        w.grid()->setFocus();
        w.grid()->setCurrentCell(row, col);
        QTest::keyClick(w.grid(), Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!editor) return nullptr;
        editor->selectAll();
        QTest::keyClicks(editor, text);
        return editor;
    }

    // The cursor stands on the entry named, which is highlighted and shown.
    static void expectShownUnderCursor(TForm1Probe w, const std::string& term) {
        EXPECT_EQ(underCursor(w), term);
        const int row = w.grid()->currentRow();
        EXPECT_EQ(cell(w, row, 0).toStdString(), term);
        EXPECT_EQ(w.windowFirst() + static_cast<std::size_t>(row), w.currentPosition());
        ASSERT_EQ(w.grid()->selectedItems().size(), 1);
        EXPECT_EQ(w.grid()->selectedItems()[0]->row(), row) << "the highlight is where the cursor is";
        EXPECT_GE(row, w.grid()->topVisibleRow());
        EXPECT_LE(row, w.grid()->bottomVisibleRow());
    }
};

}  // namespace

TEST_F(CursorTest, LeavingARenamedTermLandsOnTheEntryPointedAt) {
    TForm1Probe w = open();
    // A click on a row further down, while the term sorts to the end.
    ASSERT_NE(typeInto(w, 5, 0, "zzz2"), nullptr);
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, centreOf(w, 8, 1));
    EXPECT_FALSE(w.grid()->editing());
    expectShownUnderCursor(w, "t000008");
    EXPECT_EQ(w.grid()->currentColumn(), 1);
    EXPECT_EQ(w.store().entries.term(5), "zzz2");

    // Down from a term that sorts to the start: the entry of the row below.
    ASSERT_NE(typeInto(w, w.grid()->currentRow(), 0, "a0"), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_FALSE(w.grid()->editing());
    expectShownUnderCursor(w, "t000009");

    // Up, the other way round.
    ASSERT_NE(typeInto(w, w.grid()->currentRow(), 0, "zzz3"), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    expectShownUnderCursor(w, "t000007");
    EXPECT_TRUE(w.modified());
}

TEST_F(CursorTest, AClickOnAnEmptyRowAfterARenameStaysOnTheRenamedEntry) {
    TForm1Probe w = open();
    w.grid()->setFocus();
    QTest::keyClick(w.grid(), Qt::Key_End);
    const int last = w.grid()->currentRow();
    ASSERT_NE(typeInto(w, last, 0, "a0"), nullptr);
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, centreOf(w, last + 1, 0));
    EXPECT_FALSE(w.grid()->editing());
    expectShownUnderCursor(w, "a0");
    EXPECT_EQ(w.currentPosition(), 0u);
}

TEST_F(CursorTest, ARightClickWhileEditingCommitsAndTheMenuActsOnTheEntryClicked) {
    TForm1Probe w = open();
    ASSERT_NE(typeInto(w, 5, 0, "zzz2"), nullptr);
    QTest::mouseClick(w.grid()->viewport(), Qt::RightButton, {}, centreOf(w, 8, 0));
    QContextMenuEvent press(QContextMenuEvent::Mouse, centreOf(w, 8, 0), w.grid()->viewport()->mapToGlobal(centreOf(w, 8, 0)));
    QCoreApplication::sendEvent(w.grid()->viewport(), &press);
    EXPECT_FALSE(w.PopupMenu2()->isVisible()) << "a press made while editing offers no menu";
    EXPECT_EQ(w.store().entries.term(5), "zzz2");
    expectShownUnderCursor(w, "t000008");

    // The next right click offers it, for the entry under the pointer.
    const int row = w.grid()->currentRow();
    QTest::mouseClick(w.grid()->viewport(), Qt::RightButton, {}, centreOf(w, row, 0));
    QContextMenuEvent again(QContextMenuEvent::Mouse, centreOf(w, row, 0), w.grid()->viewport()->mapToGlobal(centreOf(w, row, 0)));
    QCoreApplication::sendEvent(w.grid()->viewport(), &again);
    ASSERT_TRUE(w.PopupMenu2()->isVisible());
    prompts_.queueAnswer(true);
    w.PopupMenu2()->actions()[0]->trigger();
    w.PopupMenu2()->hide();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_TRUE(prompts_.shown()[0].text.contains(QStringLiteral("t000008")));
    EXPECT_EQ(w.store().entryCount(), 999u);
}

TEST_F(CursorTest, TheHighlightNeverGoesBelowTheLastEntry) {
    TForm1Probe w = open();
    w.grid()->setFocus();
    QTest::keyClick(w.grid(), Qt::Key_End);
    const int last = w.grid()->currentRow();
    QTest::keyClick(w.grid(), Qt::Key_Down);
    expectShownUnderCursor(w, "t000999");
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, centreOf(w, last + 1, 1));
    expectShownUnderCursor(w, "t000999");
    EXPECT_EQ(w.grid()->currentColumn(), 0);
    // Typing opens the editor on the last entry, not on the empty row.
    QTest::keyClick(w.grid(), Qt::Key_X);
    EXPECT_TRUE(w.grid()->editing());
    EXPECT_EQ(w.grid()->currentRow(), last);
}

TEST_F(CursorTest, TheAddingRowOffersThePreviousTextsForReplacing) {
    TForm1Probe w = open();
    QTest::keyClick(w.Edit1(), Qt::Key_Insert);
    QTest::keyClicks(w.Edit2(), QStringLiteral("zabezpecovaci zarizeni"));
    QTest::keyClick(w.Edit2(), Qt::Key_Return);
    QTest::keyClicks(w.Edit3(), QStringLiteral("signalling"));
    QTest::keyClick(w.Edit3(), Qt::Key_Return);
    QTest::keyClick(w.Button1(), Qt::Key_Return);
    ASSERT_EQ(w.store().entryCount(), 1001u);
    // Straight after adding, and after closing and reopening the row.
    QTest::keyClicks(w.Edit2(), QStringLiteral("hranice"));
    EXPECT_EQ(w.Edit2()->text(), QStringLiteral("hranice"));
    QTest::keyClick(w.Edit2(), Qt::Key_Escape);
    QTest::keyClick(w.Edit1(), Qt::Key_Insert);
    ASSERT_TRUE(w.Edit2()->hasFocus());
    QTest::keyClicks(w.Edit2(), QStringLiteral("hranice stanice"));
    EXPECT_EQ(w.Edit2()->text(), QStringLiteral("hranice stanice"));
    QTest::keyClick(w.Edit2(), Qt::Key_Return);
    QTest::keyClicks(w.Edit3(), QStringLiteral("station limit"));
    EXPECT_EQ(w.Edit3()->text(), QStringLiteral("station limit"));
}

TEST_F(CursorTest, TheSelectedCellHasAWholeBlackFrame) {
    TForm1Probe w = open();
    w.grid()->setCurrentCell(3, 1);
    const QImage shown = w.grid()->viewport()->grab().toImage();
    const QRect r = w.grid()->visualItemRect(w.grid()->item(3, 1));
    const QPoint centre = r.center();
    for (QPoint p : {QPoint(r.left(), centre.y()), QPoint(r.right(), centre.y()), QPoint(centre.x(), r.top()),
                     QPoint(centre.x(), r.bottom())})
        EXPECT_EQ(shown.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
    EXPECT_NE(shown.pixelColor(r.left() + 2, centre.y()), QColor(Qt::black)) << "inside the frame is the selection";
}

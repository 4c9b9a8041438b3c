#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTextBrowser>
#include <QToolButton>
#include <cstdio>

#include "TestProgram.h"
#include "gui/controls/TXLabel.h"
#include "gui/windows/TForm3.h"
#include "gui/windows/Tgridik.h"

using namespace trelvo;

namespace {

// The cursor and the highlight on a dictionary of a thousand entries, where
// an edit of a term moves rows: the cursor must land on the entry the user
// pointed at, never on one that happens to take its row.
class KeyboardTest : public TestProgram {
protected:
    // Terms t000000 .. t000999, translations u000000 ...
    TForm1Probe open(int count = 1000) {
        numbered("a.dsl", "Číselný", count);
        return startOnFirst();
    }
    void numbered(const std::string& file, const std::string& name, int count) {
        EntryList entries;
        for (int i = 0; i < count; ++i) {
            char term[16], translation[16];
            std::snprintf(term, sizeof term, "t%06d", i);
            std::snprintf(translation, sizeof translation, "u%06d", i);
            entries.append(term, translation, "", 0);
        }
        dictionary(file, name, entries);
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

    // A right click on a cell, with the context-menu request the system sends after the press.
    static void rightClick(TForm1Probe w, int row, int col) {
        const QPoint at = centreOf(w, row, col);
        QTest::mouseClick(w.grid()->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, w.grid()->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(w.grid()->viewport(), &request);
    }

    // Opens the editor on a cell and types text into it, without closing it.
    static QWidget* typeInto(TForm1Probe w, int row, int col, const QString& text) {
        w.grid()->setFocus();
        w.grid()->setCurrentCell(row, col);
        return typeIntoCell(w, text);
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

TEST_F(KeyboardTest, LeavingARenamedTermLandsOnTheEntryPointedAt) {
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

TEST_F(KeyboardTest, AClickOnAnEmptyRowAfterARenameStaysOnTheRenamedEntry) {
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

TEST_F(KeyboardTest, ARightClickWhileEditingCommitsAndTheMenuActsOnTheEntryClicked) {
    TForm1Probe w = open();
    ASSERT_NE(typeInto(w, 5, 0, "zzz2"), nullptr);
    rightClick(w, 8, 0);
    EXPECT_FALSE(w.PopupMenu2()->isVisible()) << "a press made while editing offers no menu";
    EXPECT_EQ(w.store().entries.term(5), "zzz2");
    expectShownUnderCursor(w, "t000008");

    // The next right click offers it, for the entry under the pointer.
    const int row = w.grid()->currentRow();
    rightClick(w, row, 0);
    ASSERT_TRUE(w.PopupMenu2()->isVisible());
    prompts_.queueAnswer(true);
    w.PopupMenu2()->actions()[0]->trigger();
    w.PopupMenu2()->hide();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_TRUE(prompts_.shown()[0].text.contains(QStringLiteral("t000008")));
    EXPECT_EQ(w.store().entryCount(), 999u);
}

TEST_F(KeyboardTest, TheHighlightNeverGoesBelowTheLastEntry) {
    TForm1Probe w = open();
    w.grid()->setFocus();
    QTest::keyClick(w.grid(), Qt::Key_End);
    const int last = w.grid()->currentRow();
    QTest::keyClick(w.grid(), Qt::Key_Down);
    expectShownUnderCursor(w, "t000999");
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, centreOf(w, last + 1, 1));
    expectShownUnderCursor(w, "t000999");
    EXPECT_EQ(w.grid()->currentColumn(), 0);
    // A right click there offers no menu whose commands would act on the last entry.
    rightClick(w, last + 1, 0);
    EXPECT_FALSE(w.PopupMenu2()->isVisible());
    // Typing opens the editor on the last entry, not on the empty row.
    QTest::keyClick(w.grid(), Qt::Key_X);
    EXPECT_TRUE(w.grid()->editing());
    EXPECT_EQ(w.grid()->currentRow(), last);
}

TEST_F(KeyboardTest, TheAddingRowOffersThePreviousTextsForReplacing) {
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

TEST_F(KeyboardTest, TheSelectedCellHasAWholeBlackFrame) {
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

TEST_F(KeyboardTest, TheSearchBoxHasTheFocusAtStartAndAfterEachDialog) {
    numbered("a.dsl", "Číselný", 1000);
    TForm1Probe w = start();
    w.window().show();
    QApplication::setActiveWindow(&w.window());
    EXPECT_EQ(QApplication::focusWidget(), w.Edit1());
    // The last dictionary opens at its own time; the focus stays.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.store().isOpen(); }));
    EXPECT_EQ(QApplication::focusWidget(), w.Edit1());

    for (ToolButton b : {ToolButton::newDictionary, ToolButton::exportEntries, ToolButton::importWords,
                         ToolButton::synchronise}) {
        w.grid()->setFocus();
        w.click(b);  // every dialog and file chooser is cancelled
        EXPECT_EQ(QApplication::focusWidget(), w.Edit1()) << static_cast<int>(b);
    }
    w.grid()->setFocus();
    w.click(ToolButton::about);
    auto* about = w.window().findChild<TForm3*>();
    ASSERT_NE(about, nullptr);
    QTest::qWait(10);
    about->accept();
    QApplication::setActiveWindow(&w.window());
    EXPECT_EQ(QApplication::focusWidget(), w.Edit1());
}

TEST_F(KeyboardTest, ShortcutsReachTheToolBarsCommandsAndShowInTheTooltips) {
    numbered("b.dsl", "Druhý", 10);
    TForm1Probe w = open();
    const std::pair<ToolButton, const char*> shown[] = {
        {ToolButton::saveChanges, "Ctrl+S"}, {ToolButton::newDictionary, "Ctrl+N"},
        {ToolButton::dictionaryMenu, "Ctrl+O"}, {ToolButton::dictionaryMenu, "Alt+D"},
        {ToolButton::importWords, "Ctrl+I"}, {ToolButton::exportEntries, "Ctrl+E"},
        {ToolButton::swapDirection, "F5"}, {ToolButton::allowAdding, "Insert"}, {ToolButton::help, "F1"}};
    for (const auto& [button, keys] : shown)
        EXPECT_TRUE(w.toolButton(button)->toolTip().contains(QLatin1String(keys))) << keys;

    // Ctrl+S saves, from the grid.
    w.grid()->setFocus();
    w.addUnsavedEntry("t000500x", "u");
    QTest::keyClick(w.grid(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(w.modified());

    // Ctrl+F: the search box, its text selected for a new term.
    w.Edit1()->setText(QStringLiteral("t0005"));
    w.grid()->setFocus();
    QTest::keyClick(w.grid(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(w.Edit1()->hasFocus());
    EXPECT_EQ(w.Edit1()->selectedText(), QStringLiteral("t0005"));

    // F2 edits the cell under the cursor, also from the search box.
    QTest::keyClick(w.Edit1(), Qt::Key_F2);
    EXPECT_TRUE(w.grid()->editing());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(w.grid()->editing());

    // Ctrl+N and Ctrl+E show their dialogs, Ctrl+I its file chooser.
    int dialogs = 0;
    prompts_.queueDialog([&](QDialog&) { ++dialogs; return false; });
    prompts_.queueDialog([&](QDialog&) { ++dialogs; return false; });
    QTest::keyClick(w.Edit1(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(w.Edit1(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 2);
    const std::size_t choosers = prompts_.startFolders().size();
    QTest::keyClick(w.Edit1(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(prompts_.startFolders().size(), choosers + 1);

    // Ctrl+O and Alt+D open the dictionary menu with the open dictionary marked.
    for (QKeyCombination keys : {Qt::CTRL | Qt::Key_O, Qt::ALT | Qt::Key_D}) {
        QTest::keyClick(w.Edit1(), keys.key(), keys.keyboardModifiers());
        ASSERT_TRUE(w.PopupMenu1()->isVisible());
        const QList<QAction*> items = w.PopupMenu1()->actions();
        ASSERT_EQ(items.size(), 4) << "two dictionaries, a separator and the restore from a backup";
        EXPECT_TRUE(items[0]->isChecked());
        EXPECT_FALSE(items[1]->isChecked());
        EXPECT_EQ(w.PopupMenu1()->activeAction(), items[0]);
        w.PopupMenu1()->hide();
    }

    // The grid's context menu from the keyboard, for the entry under the cursor.
    w.grid()->setFocus();
    w.grid()->setCurrentCell(7, 0);
    QTest::keyClick(w.grid(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(w.PopupMenu2()->isVisible());
    w.PopupMenu2()->hide();
}

TEST_F(KeyboardTest, TheSearchBoxEmptiesWhenAnotherDictionaryOpens) {
    numbered("b.dsl", "Druhý", 1200);
    TForm1Probe w = open();
    QTest::keyClicks(w.Edit1(), "t000700");
    QTest::keyClick(w.Edit1(), Qt::Key_Return);
    ASSERT_EQ(w.currentPosition(), 700u);
    w.chooseDictionary(1);
    EXPECT_EQ(w.Edit1()->text(), QString());
    EXPECT_EQ(w.currentPosition(), 0u);
    // The idle search finds nothing new to look for.
    QTest::qWait(400);
    EXPECT_EQ(w.currentPosition(), 0u);
    EXPECT_EQ(QApplication::focusWidget(), w.Edit1());
}

TEST_F(KeyboardTest, HelpOpensInsideTheProgramAtTheTopicAsked) {
    TForm1Probe w = open();
    QTest::keyClick(w.Edit1(), Qt::Key_F1);
    auto* help = w.window().findChild<QTextBrowser*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Nápověda – Trelvo"));
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("Ctrl+F")));
    help->close();
    w.click(ToolButton::help);
    EXPECT_TRUE(help->isVisible());
    help->close();
    // The about box's link opens it too, and the box names the program's version.
    w.click(ToolButton::about);
    auto* about = w.window().findChild<TForm3*>();
    ASSERT_NE(about, nullptr);
    about->openHelp();
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(about->programVersion->Caption().startsWith(QStringLiteral("Verze programu: 0.")));
    about->accept();
}

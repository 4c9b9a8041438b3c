#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <optional>

#include "SmallDisk.h"
#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "gui/windows/Tgridik.h"

using namespace trelvo;

namespace {

class EditingTest : public TestProgram {
protected:
    TForm1Probe open() {
        dictionary("a.dsl", "Zabezpečovací technika", true,
                   {{"kolej", "track"}, {"návěst", "aspect"}, {"výhybka", "points"}});
        return startOnFirst();
    }


    QString cell(TForm1Probe w, int row, int col) const { return w.grid()->item(row, col)->text(); }

    void editCell(TForm1Probe w, int row, int col, const QString& text) {
        w.grid()->setCurrentCell(row, col);
        w.grid()->editItem(w.grid()->item(row, col));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The view commits the editor's text on its next turn of the event loop.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.grid()->editing(); }));
    }

    QAction* menuItem(TForm1Probe w, int i) const { return w.PopupMenu2()->actions()[i]; }

    // What the window says of a save that failed and left the file as it was.
    static QString unchangedMessage(const std::string& path) {
        return QStringLiteral("Slovník se nepodařilo uložit do souboru \"%1\". Provedené změny zůstávají "
                              "neuložené, původní soubor se nezměnil.")
            .arg(QString::fromStdString(path));
    }
};

}  // namespace

TEST_F(EditingTest, AddingATermThatExistsGivesASecondMarkedEntry) {
    TForm1Probe w = open();
    QTest::keyClick(w.Edit1(), Qt::Key_Insert);
    EXPECT_TRUE(w.Edit2()->hasFocus());
    w.Edit2()->setText(QStringLiteral("návěst"));
    QTest::keyClick(w.Edit2(), Qt::Key_Return);
    EXPECT_TRUE(w.Edit3()->hasFocus());
    w.Edit3()->setText(QStringLiteral("signal indication"));
    QTest::keyClick(w.Edit3(), Qt::Key_Return);
    EXPECT_TRUE(w.Button1()->hasFocus());
    w.Button1()->click();
    EXPECT_EQ(w.store().entryCount(), 4u);
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(w.currentPosition(), 2u) << "after the existing návěst";
    EXPECT_EQ(cell(w, w.grid()->currentRow(), 1), "signal indication");
    EXPECT_EQ(w.grid()->rowFlags[static_cast<std::size_t>(w.grid()->currentRow())], efUserModified);
    EXPECT_EQ(w.Edit2()->text(), "návěst") << "the boxes keep their texts";
    EXPECT_TRUE(w.Edit2()->hasFocus());
    QTest::keyClick(w.Edit2(), Qt::Key_Escape);
    EXPECT_FALSE(w.Edit2()->isVisible());
    EXPECT_TRUE(w.Edit1()->hasFocus());
}

TEST_F(EditingTest, AddingIsRefusedWithoutADictionary) {
    TForm1Probe w = start();
    w.toolButton(ToolButton::allowAdding)->click();
    w.Edit2()->setText(QStringLiteral("x"));
    w.Button1()->click();
    EXPECT_EQ(w.store().entryCount(), 0u);
    EXPECT_FALSE(w.modified());
}

TEST_F(EditingTest, EditingCellsMarksTheEntryAndReSortsOnlyItsLanguage) {
    TForm1Probe w = open();
    editCell(w, 0, 1, QStringLiteral("rail track"));
    EXPECT_EQ(cell(w, 0, 0), "kolej") << "column 1 changes no order";
    EXPECT_EQ(w.grid()->rowFlags[0], efUserModified);
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(w.store().entries.translation(0), "rail track");

    editCell(w, 0, 0, QStringLiteral("železnice"));
    EXPECT_EQ(w.currentPosition(), 2u) << "the cursor follows the entry to its new place";
    EXPECT_EQ(w.grid()->currentRow(), 2);
    EXPECT_EQ(cell(w, 0, 0), "návěst");
    EXPECT_EQ(cell(w, 2, 0), "železnice");
    w.Timer2()->stop();
    w.Edit1()->setText(QStringLiteral("železnice"));
    QTest::keyClick(w.Edit1(), Qt::Key_Return);
    EXPECT_EQ(w.currentPosition(), 2u);

    editCell(w, 1, 2, QStringLiteral("zkr."));
    EXPECT_EQ(w.store().entries.note(2), "zkr.");
}

TEST_F(EditingTest, DeletingTheLastEntryLeavesTheCursorOnTheEmptyRow) {
    TForm1Probe w = open();
    w.grid()->setCurrentCell(2, 0);
    prompts_.queueAnswer(true);
    menuItem(w, 0)->trigger();
    EXPECT_EQ(w.store().entryCount(), 2u);
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(cell(w, 2, 0).isEmpty());
    EXPECT_EQ(w.grid()->currentRow(), 2);
    prompts_.queueAnswer(true);
    menuItem(w, 0)->trigger();
    EXPECT_EQ(w.store().entryCount(), 2u) << "nothing under the cursor";
    EXPECT_EQ(prompts_.shown().size(), 1u) << "nor a question about it";
}

TEST_F(EditingTest, TheDeleteKeyAndTheMenuItemAskBeforeDeleting) {
    TForm1Probe w = open();
    w.grid()->setFocus();
    QTest::keyClick(w.grid(), Qt::Key_Down);
    prompts_.queueAnswer(false);
    QTest::keyClick(w.grid(), Qt::Key_Delete);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    const Prompts::Shown& question = prompts_.shown()[0];
    EXPECT_EQ(question.icon, Prompts::Icon::question);
    EXPECT_EQ(question.caption, "Upozornění");
    EXPECT_EQ(question.text, "Opravdu si přejete odstranit záznam „návěst“?");
    EXPECT_EQ(question.defaultButton, Prompts::Default::no);
    EXPECT_EQ(w.store().entryCount(), 3u) << "Ne changes nothing";
    EXPECT_FALSE(w.modified());
    EXPECT_EQ(cell(w, 1, 0), "návěst");

    prompts_.queueAnswer(true);
    QTest::keyClick(w.grid(), Qt::Key_Delete);
    ASSERT_EQ(prompts_.shown().size(), 2u);
    EXPECT_EQ(w.store().entryCount(), 2u);
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(cell(w, 0, 0), "kolej");
    EXPECT_EQ(cell(w, 1, 0), "výhybka") << "exactly the entry under the cursor is gone";
    EXPECT_EQ(w.grid()->currentRow(), 1);

    // In an open cell editor Delete edits the text.
    QTest::keyClick(w.grid(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->setCursorPosition(0);
    QTest::keyClick(editor, Qt::Key_Delete);
    EXPECT_EQ(editor->text(), "ýhybka");
    QTest::keyClick(editor, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.grid()->editing(); }));
    EXPECT_EQ(w.store().entryCount(), 2u);
    EXPECT_EQ(prompts_.shown().size(), 2u);

    w.grid()->setCurrentCell(0, 0);
    prompts_.queueAnswer(false);
    menuItem(w, 0)->trigger();  // Odstranit záznam
    ASSERT_EQ(prompts_.shown().size(), 3u);
    EXPECT_EQ(prompts_.shown()[2].text, "Opravdu si přejete odstranit záznam „kolej“?");
    EXPECT_EQ(prompts_.shown()[2].defaultButton, Prompts::Default::no);
    EXPECT_EQ(w.store().entryCount(), 2u);
}

TEST_F(EditingTest, EnterOnTheAddButtonAddsTheEntry) {
    TForm1Probe w = open();
    const auto press = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
    QTest::keyClick(w.Edit1(), Qt::Key_Insert);
    QTest::keyClicks(QApplication::focusWidget(), "kolejnice");
    press(Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), "rail");
    press(Qt::Key_Return);
    ASSERT_EQ(QApplication::focusWidget(), w.Button1());
    press(Qt::Key_Return);
    EXPECT_EQ(w.store().entryCount(), 4u);
    EXPECT_EQ(cell(w, w.grid()->currentRow(), 0), "kolejnice");
    EXPECT_EQ(cell(w, w.grid()->currentRow(), 1), "rail");
    EXPECT_TRUE(w.Edit2()->hasFocus());
    // The keypad's Enter as well.
    press(Qt::Key_Enter);
    press(Qt::Key_Enter);
    ASSERT_EQ(QApplication::focusWidget(), w.Button1());
    press(Qt::Key_Enter);
    EXPECT_EQ(w.store().entryCount(), 5u);
}

TEST_F(EditingTest, ClearingAColumnAsksFirst) {
    TForm1Probe w = open();
    w.click(ToolButton::swapDirection);
    prompts_.queueAnswer(false);
    menuItem(w, 1)->trigger();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].icon, Prompts::Icon::warning);
    EXPECT_EQ(prompts_.shown()[0].caption, "!!!Upozornění!!!");
    EXPECT_EQ(prompts_.shown()[0].text,
              "Tato operace vymaže celý sloupec přeložených výrazů, opravdu si přejete pokračovat?");
    EXPECT_FALSE(w.modified()) << "No changes nothing";
    EXPECT_EQ(cell(w, 0, 0), "aspect");

    prompts_.queueAnswer(true);
    menuItem(w, 1)->trigger();
    EXPECT_TRUE(cell(w, 0, 0).isEmpty()) << "language 1 is column 0 after the swap";
    EXPECT_EQ(w.grid()->rowFlags[0], efUserModified);
    EXPECT_EQ(w.grid()->rowFlags[2], efUserModified);
    EXPECT_TRUE(w.modified());

    prompts_.queueAnswer(true);
    menuItem(w, 2)->trigger();
    EXPECT_EQ(prompts_.shown().back().text, "Tato operace vymaže celý sloupec poznámek, opravdu si přejete pokračovat?");
}

TEST_F(EditingTest, SaveWritesTheChangesAndClearsTheMark) {
    TForm1Probe w = open();
    editCell(w, 0, 1, QStringLiteral("rail"));
    w.toolButton(ToolButton::saveChanges)->click();
    EXPECT_FALSE(w.modified());
    TForm1Probe again = start();
    again.chooseDictionary(0);
    EXPECT_EQ(again.store().entries.translation(0), "rail");
    EXPECT_EQ(again.store().entries.flags(0), efUserModified);
}

TEST_F(EditingTest, AReadOnlyDictionaryIsNotSavedOver) {
    TForm1Probe w = open();
    const std::string path = w.store().header.filePath;
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const std::string before = readBytes(path);
    editCell(w, 0, 1, QStringLiteral("rail"));
    w.toolButton(ToolButton::saveChanges)->click();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].icon, Prompts::Icon::error);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_EQ(prompts_.shown()[0].text, unchangedMessage(path));
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(readBytes(path) == before);
}

TEST_F(EditingTest, AFullDiskLeavesAHardLinkedDictionaryWholeAsTheMessageSays) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a loop image needs root";
    // The DSL folder is a small ext2 disk (no fallocate); the dictionary has a
    // second name on it, so the save writes it in place.
    const std::string folder = dir_ + "DSL";
    std::optional<SmallDisk> disk(std::in_place, dir_ + "disk.img", folder, 2048);
    if (!disk->mounted()) GTEST_SKIP() << "no loop mount of ext2 here";
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const std::optional<std::string> savedDataHome = dataHome ? std::optional<std::string>(dataHome) : std::nullopt;
    ::setenv("XDG_DATA_HOME", (dir_ + "data").c_str(), 1);
    EntryList entries;
    for (int i = 0; i < 1200; ++i)
        entries.append("term " + std::to_string(1000 + i), "translation " + std::to_string(i), "", 0);
    const std::string path = dictionary("a.dsl", "Plný disk", entries);
    ::mkdir((folder + "/zaloha").c_str(), 0755);
    ASSERT_EQ(::link(path.c_str(), (folder + "/zaloha/a.dsl").c_str()), 0);
    const std::string before = readBytes(path);
    disk->fill(0);

    TForm1Probe w = startOnFirst();
    // Two long translations: more than the last block of the file has left.
    editCell(w, 0, 1, QString(900, QLatin1Char('x')));
    editCell(w, 1, 1, QString(900, QLatin1Char('y')));
    // The recovery journal beside the file may have found no room either, and said so first.
    if (prompts_.shown().size() == 1) {
        EXPECT_TRUE(prompts_.shown()[0].text.contains(QStringLiteral("nedaří průběžně zapisovat")));
        prompts_.clearShown();
    }
    w.toolButton(ToolButton::saveChanges)->click();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].text, unchangedMessage(path));
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(readBytes(path) == before);
    EXPECT_TRUE(readBytes(folder + "/zaloha/a.dsl") == before);

    window_.reset();
    disk.reset();
    if (savedDataHome) ::setenv("XDG_DATA_HOME", savedDataHome->c_str(), 1);
    else ::unsetenv("XDG_DATA_HOME");
}

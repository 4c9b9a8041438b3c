// The user's work, driven through the real window: no edit lands on another
// entry, no typed text vanishes, no question throws work away by a stray key.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/settings/ProgramConfiguration.h"
#include "gui/windows/TNewTrelvo.h"
#include "gui/windows/Tgridik.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

class KeepingWorkTest : public TestProgram {
protected:
    TForm1Probe open(const std::vector<std::pair<std::string, std::string>>& pairs) {
        dictionary("a.dsl", "První", true, pairs);
        TForm1Probe w = start();
        w.window().resize(700, 450);
        w.window().show();
        QApplication::setActiveWindow(&w.window());
        w.PopupMenu1()->actions()[0]->trigger();
        return w;
    }

    static QString cell(TForm1Probe w, int row, int col) { return w.grid()->item(row, col)->text(); }

    // As the user adds one: Insert in the search box opens the boxes of a new entry.
    static void addEntry(TForm1Probe w, const QString& term, const QString& translation) {
        if (w.Edit2()->isHidden()) {
            w.Edit1()->setFocus();
            QTest::keyClick(w.Edit1(), Qt::Key_Insert);
        }
        w.Edit2()->setText(term);
        w.Edit3()->setText(translation);
        w.Button1()->click();
    }

    static void clickCell(TForm1Probe w, int row, int col) {
        const QRect rect = w.grid()->visualItemRect(w.grid()->item(row, col));
        QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, rect.center());
    }


    EntryList saved(const std::string& path) {
        DictionaryHeader h;
        EntryList entries;
        EXPECT_TRUE(readDictionaryFile(path, h, entries));
        return entries;
    }

    static bool holdsTerm(const EntryList& entries, const std::string& utf8) {
        const std::string bytes = CodePage::fromUtf8(utf8, 1250);
        for (std::size_t n = 0; n < entries.size(); ++n)
            if (entries.term(n) == bytes) return true;
        return false;
    }
};

}  // namespace

TEST_F(KeepingWorkTest, ANewCharacterSetKeepsTheCursorAndTheDeletionOnTheShownEntry) {
    // In Czech order kolej is row 5; keyed as Cyrillic text it moves up to row
    // 4 and čára, whose first byte is a Cyrillic letter, goes last.
    TForm1Probe w = open({{"cesta", "road"}, {"čára", "line"}, {"dráha", "track"}, {"hradlo", "block post"},
                      {"chodník", "walkway"}, {"kolej", "track"}});
    clickCell(w, 5, 0);
    ASSERT_EQ(cell(w, w.grid()->currentRow(), 0), "kolej");
    prompts_.queueDialog([](QDialog& dialog) {
        auto& properties = static_cast<TNewTrelvo&>(dialog);
        properties.Edit7->setText(QStringLiteral("0A1B2C3D"));
        properties.ComboBox1->setCurrentIndex(2);  // Cyrilika
        properties.Button1->click();
        return properties.result() == QDialog::Accepted;
    });
    w.toolButton(ToolButton::settings)->click();
    ASSERT_EQ(w.store().header.languageCharset[0], 204);
    EXPECT_EQ(w.grid()->currentRow(), 4);
    EXPECT_EQ(w.store().entries.term(w.store().indexes[0].entryNumber(w.currentPosition())), "kolej");
    EXPECT_EQ(cell(w, 5, 1), "line") << "the rows show the new order";

    prompts_.queueAnswer(true);
    w.PopupMenu2()->actions()[0]->trigger();  // Odstranit záznam
    w.click(ToolButton::saveChanges);
    ASSERT_FALSE(w.modified()) << "saved";
    const EntryList after = saved(w.store().header.filePath);
    EXPECT_FALSE(holdsTerm(after, "kolej")) << "the entry shown under the cursor is gone";
    EXPECT_TRUE(holdsTerm(after, "čára"));
}

TEST_F(KeepingWorkTest, AnOpenCellEditIsKeptWhenTheDirectionIsSwapped) {
    TForm1Probe w = open({{"kolej", "track"}, {"návěst", "aspect"}, {"výhybka", "points"}});
    clickCell(w, 1, 1);
    ASSERT_NE(typeIntoCell(w, QStringLiteral("signal aspect")), nullptr);
    ASSERT_TRUE(w.grid()->editing());
    QTest::mouseClick(w.toolButton(ToolButton::swapDirection), Qt::LeftButton);  // Změnit směr překladu
    EXPECT_EQ(w.direction().sourceSide, 1);
    EXPECT_FALSE(w.grid()->editing());
    const std::uint32_t navest = w.store().indexes[0].entryNumber(1);
    EXPECT_EQ(w.store().entries.translation(navest), "signal aspect");
    EXPECT_EQ(w.store().entries.term(w.store().indexes[0].entryNumber(0)), "kolej") << "no other entry changed";
    EXPECT_EQ(w.store().entries.translation(w.store().indexes[0].entryNumber(0)), "track");
    EXPECT_TRUE(w.modified());
}

TEST_F(KeepingWorkTest, AnOpenCellEditIsKeptWhenTheScrollBarMovesTheRows) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int i = 0; i < 600; ++i) pairs.push_back({"termín " + std::to_string(1000 + i), "term"});
    TForm1Probe w = open(pairs);
    clickCell(w, 2, 2);
    ASSERT_NE(typeIntoCell(w, QStringLiteral("zkr.")), nullptr);
    w.ScrollBar1()->setValue(450);  // as a drag of the thumb does
    EXPECT_GE(w.windowFirst(), 200u) << "the rows now show other entries";
    EXPECT_EQ(w.ScrollBar1()->value(), 450) << "the thumb stays where the user put it";
    EXPECT_EQ(w.store().entries.note(w.store().indexes[0].entryNumber(2)), "zkr.");
    std::size_t notes = 0;
    for (std::size_t n = 0; n < w.store().entryCount(); ++n) notes += !w.store().entries.note(n).empty();
    EXPECT_EQ(notes, 1u);
}

TEST_F(KeepingWorkTest, PastedTabsAndLineBreaksBecomeSpacesAndAnEmptyTermAddsNothing) {
    TForm1Probe w = open({{"kolej", "track"}});
    QTest::keyClick(w.Edit1(), Qt::Key_Insert);
    QApplication::clipboard()->setText(QStringLiteral("\tzabezpečovací\tzařízení\r\n"));
    w.Edit2()->setFocus();
    QTest::keyClick(w.Edit2(), Qt::Key_V, Qt::ControlModifier);
    w.Edit3()->setText(QStringLiteral("interlocking\r\nsystem"));
    w.Button1()->click();
    ASSERT_EQ(w.store().entryCount(), 2u);
    EXPECT_EQ(w.store().entries.term(1), CodePage::fromUtf8("zabezpečovací zařízení", 1250));
    EXPECT_EQ(w.store().entries.translation(1), "interlocking system");

    w.Edit2()->setText(QStringLiteral("\t\r\n"));
    w.Edit3()->setText(QStringLiteral("nothing"));
    w.Button1()->click();
    EXPECT_EQ(w.store().entryCount(), 2u) << "no entry without a term";

    clickCell(w, 0, 1);
    QLineEdit* editor = typeIntoCell(w, QStringLiteral("x"));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("rail\ttrack\n"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.grid()->editing(); }));
    EXPECT_EQ(w.store().entries.translation(0), "rail track");
    EXPECT_EQ(cell(w, 0, 1), "rail track") << "the cell shows the entry as kept";
}

TEST_F(KeepingWorkTest, GoingBackFromTheSaveQuestionKeepsTheWindowTheDictionaryAndTheSettings) {
    std::string first = dictionary("a.dsl", "První");
    dictionary("b.dsl", "Druhý");
    settings(today, 0);
    TForm1Probe w = start();
    w.window().show();
    QTest::qWait(150);  // the stored dictionary opens after a tenth of a second
    ASSERT_EQ(w.store().header.filePath, first);
    const std::string before = readBytes(first);
    addEntry(w, QStringLiteral("nový"), QStringLiteral("new"));
    ASSERT_TRUE(w.modified());

    prompts_.queueGoBack();
    w.PopupMenu1()->actions()[1]->trigger();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_TRUE(prompts_.shown()[0].canGoBack);
    EXPECT_EQ(w.store().header.filePath, first) << "the switch is not made";
    EXPECT_EQ(w.lastDictionary(), 0);
    EXPECT_TRUE(w.modified());

    prompts_.queueGoBack();
    EXPECT_FALSE(w.window().close());
    EXPECT_TRUE(w.window().isVisible());
    EXPECT_EQ(readBytes(first), before);

    // A failed save abandons the switch too, and the next start does not open
    // the dictionary the user never switched to.
    fs::remove(dir_ + "trelvo.cfg");
    fs::remove_all(dir_ + "DSL/a.dsl");
    fs::create_directory(dir_ + "DSL/a.dsl");  // cannot be replaced by a file
    prompts_.queueAnswer(true);
    w.PopupMenu1()->actions()[1]->trigger();
    EXPECT_EQ(w.lastDictionary(), 0);
    fs::remove_all(dir_ + "DSL/a.dsl");
    prompts_.queueAnswer(false);
    EXPECT_TRUE(w.window().close());
    ProgramConfiguration config;
    ASSERT_TRUE(readConfiguration(dir_ + "trelvo.cfg", config));
    EXPECT_EQ(config.lastDictionary, 0);
}

TEST_F(KeepingWorkTest, QuestionsThatDestroyDefaultToNo) {
    TForm1Probe w = open({{"kolej", "track"}});
    prompts_.queueAnswer(false);
    w.PopupMenu2()->actions()[1]->trigger();  // Vymazat veškeré přeložené texty
    prompts_.queueAnswer(false);
    w.PopupMenu2()->actions()[2]->trigger();  // Vymazat veškeré poznámky
    prompts_.queueAnswer(false);
    // All entries become the dictionary's own.
    QTest::mouseClick(w.toolButton(ToolButton::convertToDefault), Qt::LeftButton);
    ASSERT_EQ(prompts_.shown().size(), 3u);
    for (const Prompts::Shown& shown : prompts_.shown())
        EXPECT_EQ(shown.defaultButton, Prompts::Default::no) << shown.text.toStdString();
    EXPECT_FALSE(w.modified());

    // The question about unsaved changes keeps Ano as the default.
    w.setModified(true);
    prompts_.queueGoBack();
    w.window().close();
    EXPECT_EQ(prompts_.shown().back().defaultButton, Prompts::Default::yes);
}

TEST_F(KeepingWorkTest, SynchronisationIsBusyOnlyOnceTheOtherFileIsReadAndAgreedTo) {
    TForm1Probe w = open({{"kolej", "track"}});
    struct Moment {
        QString status;
        bool enabled;
    };
    std::vector<Moment> moments;
    prompts_.onShown = [&](const Prompts::Shown&) { moments.push_back({panel(0), w.window().isEnabled()}); };

    std::ofstream(dir_ + "zkazeny.dsl") << "DSL\x05";
    prompts_.queueFile(QString::fromStdString(dir_ + "zkazeny.dsl"));
    QTest::mouseClick(w.toolButton(ToolButton::synchronise), Qt::LeftButton);
    ASSERT_EQ(moments.size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_FALSE(moments[0].status.startsWith(QStringLiteral("Probíhá"))) << "no progress text under the error box";
    EXPECT_TRUE(moments[0].enabled);

    // Another dictionary: the import-only question comes before any progress.
    DictionaryHeader other;
    other.idAndAccessCode = "FFFF0000";
    EntryList entries;
    entries.append("vlak", "train", "", 0);
    ASSERT_TRUE(writeDictionaryFile(other, entries, dir_ + "jiny.dsl"));
    prompts_.queueFile(QString::fromStdString(dir_ + "jiny.dsl"));
    prompts_.queueAnswer(true);
    prompts_.queueAnswer(true);  // the counts
    QTest::mouseClick(w.toolButton(ToolButton::synchronise), Qt::LeftButton);
    ASSERT_EQ(moments.size(), 4u) << "import only?, the counts, the box of what was done";
    for (int i : {1, 2}) {
        EXPECT_FALSE(moments[static_cast<std::size_t>(i)].status.startsWith(QStringLiteral("Probíhá")));
        EXPECT_TRUE(moments[static_cast<std::size_t>(i)].enabled);
    }
    EXPECT_EQ(prompts_.shown()[3].caption, "Import dokončen");
    EXPECT_EQ(w.store().entryCount(), 2u) << "imported after the Ano";
    EXPECT_TRUE(w.window().isEnabled());
    prompts_.onShown = nullptr;
}

TEST_F(KeepingWorkTest, ASaveOverAnotherProgramsChangeIsAskedForAndNeKeepsBoth) {
    TForm1Probe w = open({{"kolej", "track"}});
    const std::string path = w.store().header.filePath;
    addEntry(w, QStringLiteral("nový"), QStringLiteral("new"));
    ASSERT_TRUE(w.modified());

    // Meanwhile a maintainer imports a word list into the same dictionary.
    std::ofstream(dir_ + "words.txt") << "návěst\taspect\n";
    QProcess tool;
    tool.start(QStringLiteral(TRELVO_TOOL_PATH),
               {QStringLiteral("import"), QString::fromStdString(path), QString::fromStdString(dir_ + "words.txt"),
                QStringLiteral("--tables"), QString::fromStdString(dir_ + "upchar.dat")});
    ASSERT_TRUE(tool.waitForFinished(30000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();

    prompts_.queueAnswer(true);  // save the changes
    prompts_.queueChoice(2);     // but not over the other program's: Ne
    EXPECT_FALSE(w.window().close());
    ASSERT_EQ(prompts_.shown().size(), 2u);
    const Prompts::Shown question = prompts_.shown()[1];  // a copy: later prompts move the list
    EXPECT_TRUE(question.text.startsWith(
        QStringLiteral("Soubor slovníku byl mezitím změněn jiným programem. Má se přepsat?")));
    EXPECT_EQ(question.buttons, QStringList({QStringLiteral("Sloučit"), QStringLiteral("Ano"), QStringLiteral("Ne")}));
    EXPECT_EQ(question.defaultChoice, 0) << "Sloučit, which loses nothing";
    EXPECT_TRUE(w.window().isVisible());
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(holdsTerm(saved(path), "návěst")) << "the tool's entry stays in the file";
    EXPECT_FALSE(holdsTerm(saved(path), "nový"));
    EXPECT_TRUE(holdsTerm(w.store().entries, "nový")) << "the user's entry stays in the window";

    prompts_.queueChoice(1);  // Ano
    QTest::mouseClick(w.toolButton(ToolButton::saveChanges), Qt::LeftButton);  // Uložení provedených změn
    ASSERT_EQ(prompts_.shown().size(), 3u);
    EXPECT_EQ(prompts_.shown()[2].text, question.text);
    EXPECT_FALSE(w.modified());
    EXPECT_TRUE(holdsTerm(saved(path), "nový")) << "Ano writes the user's dictionary over it";

    // The program's own save is no change by another program.
    addEntry(w, QStringLiteral("další"), QStringLiteral("another"));
    prompts_.queueAnswer(true);
    EXPECT_TRUE(w.window().close());
    EXPECT_EQ(prompts_.shown().size(), 4u) << "only the question about unsaved changes";
    EXPECT_TRUE(holdsTerm(saved(path), "další"));
}

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/settings/ProgramConfiguration.h"
#include "gui/windows/TForm1.h"
#include "gui/controls/CASShape.h"
#include "gui/windows/Tgridik.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

class MainWindowTest : public TestProgram {
protected:
    // The start ended with the one box of character tables it could not read.
    void expectOnlyTheTablesBox() {
        ASSERT_EQ(prompts_.shown().size(), 1u);
        EXPECT_EQ(prompts_.shown()[0].icon, Prompts::Icon::error);
        EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
        EXPECT_EQ(prompts_.shown()[0].text, "Nebyl nalezen soubor \"upchar.dat\". Program bude ukončen.");
    }
};

}  // namespace

TEST_F(MainWindowTest, MissingCharacterTablesEndTheStartWithTheErrorBox) {
    fs::remove(dir_ + "upchar.dat");
    start(false);
    expectOnlyTheTablesBox();
}

TEST_F(MainWindowTest, CharacterTablesThatCannotBeReadEndTheStartWithTheErrorBox) {
    fs::remove(dir_ + "upchar.dat");
    fs::create_directory(dir_ + "upchar.dat");
    start(false);
    expectOnlyTheTablesBox();
}

TEST_F(MainWindowTest, FirstStartOpensTheFirstDictionaryAfterATenthOfASecond) {
    dictionary("b.dsl", "Druhý");
    std::string first = dictionary("a.dsl", "První");
    fs::remove_all(dir_ + "DSL");  // the folder is made again at start
    fs::create_directory(dir_ + "DSL");
    first = dictionary("a.dsl", "První");
    TForm1Probe w = start();
    EXPECT_TRUE(prompts_.shown().empty()) << "no reminder without trelvo.cfg";
    EXPECT_EQ(w.lastUpdateDay(), today);
    EXPECT_TRUE(w.autoUpdate());
    EXPECT_TRUE(w.toolButton(ToolButton::automaticUpdate)->isChecked());
    EXPECT_EQ(w.window().size(), QSize(626, 373));
    EXPECT_EQ(panel(0), "Slovník: <není vybraný>");
    EXPECT_EQ(panel(1), "Směr překladu: ");
    EXPECT_FALSE(w.store().isOpen()) << "not before the timer fires";
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.store().isOpen(); }, 2000));
    EXPECT_EQ(w.store().header.filePath, first);
    // Opening ends with the update check; no server answers on this machine's
    // port, so the toggle is put out of use and the dictionary's name returns.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.toolButton(ToolButton::automaticUpdate)->isEnabled(); }, 5000));
    EXPECT_EQ(panel(0), "Slovník: První");
    EXPECT_FALSE(w.toolButton(ToolButton::automaticUpdate)->isChecked());
    EXPECT_TRUE(w.autoUpdate()) << "the setting itself stays";
    EXPECT_EQ(panel(1), "Směr překladu: Čeština->Angličtina");
    EXPECT_FALSE(w.modified());
    EXPECT_EQ(w.grid()->item(0, 0)->text(), "návěstidlo");
}

TEST_F(MainWindowTest, NoDictionaryFolderContentsOpensNothing) {
    fs::remove_all(dir_ + "DSL");
    TForm1Probe w = start();
    EXPECT_TRUE(fs::is_directory(dir_ + "DSL"));
    EXPECT_TRUE(w.PopupMenu1()->actions().isEmpty());
    QTest::qWait(250);
    EXPECT_FALSE(w.store().isOpen());
}

TEST_F(MainWindowTest, UpdateReminderComesAfterMoreThan186Days) {
    settings(today - 186);
    start();
    EXPECT_TRUE(prompts_.shown().empty());
    EXPECT_EQ(TForm1Probe(*window_).lastUpdateDay(), today - 186);
    window_.reset();

    settings(today - 187);
    start();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].icon, Prompts::Icon::information);
    EXPECT_EQ(prompts_.shown()[0].caption, "Možnost aktualizace ...");
    EXPECT_EQ(prompts_.shown()[0].text,
              "Databáze slov nebyla již dlouhou dobu aktualizována. Aktualizační soubory slovníků jsou k "
              "dispozici na stránkách Zorvat.");
    EXPECT_EQ(TForm1Probe(*window_).lastUpdateDay(), today);
    prompts_.clearShown();
    window_.reset();

    settings(today + 187);  // a clock set back counts too
    start();
    EXPECT_EQ(prompts_.shown().size(), 1u);
}

TEST_F(MainWindowTest, StoredWindowLargerThanTheScreenIsPulledOntoIt) {
    settings(today, 0, QRect(300, 200, 2000, 1500));
    TForm1Probe w = start();
    EXPECT_EQ(w.window().geometry(), QRect(0, 0, 1024, 768));
    window_.reset();
    settings(today, 0, QRect(900, -40, 640, 400));
    start();
    EXPECT_EQ(window_->geometry(), QRect(1024 - 640, 0, 640, 400));
}

TEST_F(MainWindowTest, ExtremeStoredValuesGiveAWindowOnTheScreenAndOneReminder) {
    const ProgramConfiguration stored[] = {
        {true, 0, 20, 0x7FFFFD90, 640, 400, INT_MIN},
        {true, 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {true, 0, INT_MIN, INT_MIN, INT_MIN, INT_MIN, today},
    };
    for (const ProgramConfiguration& config : stored) {
        ASSERT_TRUE(writeConfiguration(dir_ + "trelvo.cfg", config));
        prompts_.clearShown();
        TForm1Probe w = start();
        EXPECT_TRUE(QRect(0, 0, 1024, 768).contains(w.window().geometry())) << config.left;
        EXPECT_EQ(prompts_.shown().size(), config.lastUpdateDay == today ? 0u : 1u);
        EXPECT_EQ(w.lastUpdateDay(), today);
        window_.reset();
    }
}

TEST_F(MainWindowTest, StoredLastDictionaryBeyondTheCatalogueOpensNothing) {
    dictionary("a.dsl", "První");
    settings(today, 1);
    TForm1Probe w = start();
    QTest::qWait(250);
    EXPECT_FALSE(w.store().isOpen());
}

TEST_F(MainWindowTest, SourceLanguageWithoutPictureHidesThePicturePanel) {
    dictionary("a.dsl", "S obrázkem");
    dictionary("b.dsl", "Bez obrázku", false);
    TForm1Probe w = start();
    w.chooseDictionary(0);
    EXPECT_TRUE(w.Panel1()->isVisibleTo(&w.window()));
    EXPECT_EQ(w.Image3()->size(), QSize(30, 20));
    w.chooseDictionary(1);
    EXPECT_FALSE(w.Panel1()->isVisibleTo(&w.window()));
    EXPECT_EQ(w.lastDictionary(), 1);
}

TEST_F(MainWindowTest, TwoFilesWithTheSameNameAreBothListedAndOpenTheirOwnFile) {
    std::string a = dictionary("a.dsl", "Stejný");
    std::string b = dictionary("b.dsl", "Stejný");
    TForm1Probe w = start();
    QList<QAction*> items = w.PopupMenu1()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "Stejný");
    EXPECT_EQ(items[1]->text(), "Stejný");
    items[1]->trigger();
    EXPECT_EQ(w.store().header.filePath, b);
    items[0]->trigger();
    EXPECT_EQ(w.store().header.filePath, a);
}

TEST_F(MainWindowTest, ChoosingTheActiveDictionaryDoesNothing) {
    dictionary("a.dsl", "První");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    w.addUnsavedEntry("x", "y");
    w.chooseDictionary(0);
    EXPECT_TRUE(prompts_.shown().empty()) << "no save question";
    EXPECT_EQ(w.store().entryCount(), 3u) << "no reload";
}

TEST_F(MainWindowTest, SwitchingDictionariesAsksAboutUnsavedChanges) {
    std::string a = dictionary("a.dsl", "První");
    dictionary("b.dsl", "Druhý");
    const std::string before = readBytes(a);
    TForm1Probe w = start();
    w.chooseDictionary(0);
    w.addUnsavedEntry("nový", "new");
    prompts_.queueAnswer(false);
    w.chooseDictionary(1);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Upozornění");
    EXPECT_EQ(prompts_.shown()[0].text,
              "V souboru aktivního slovníku byly provedeny změny, mají se tyto změny uložit?");
    EXPECT_EQ(readBytes(a), before) << "No drops the changes";
    EXPECT_EQ(panel(0), "Slovník: Druhý");

    w.addUnsavedEntry("další", "more");
    prompts_.queueAnswer(true);
    w.chooseDictionary(0);
    DictionaryHeader h;
    EntryList saved;
    ASSERT_TRUE(readDictionaryFile(dir_ + "DSL/b.dsl", h, saved));
    EXPECT_EQ(saved.size(), 3u) << "Yes saves before switching";
    EXPECT_FALSE(w.modified());
}

TEST_F(MainWindowTest, FailedSaveKeepsTheChangesAndTheDictionary) {
    std::string a = dictionary("a.dsl", "První");
    dictionary("b.dsl", "Druhý");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    w.addUnsavedEntry("nový", "new");
    fs::remove_all(dir_ + "DSL");
    prompts_.queueAnswer(true);
    prompts_.queueChoice(1);  // the file is gone: written again all the same (Ano)
    w.chooseDictionary(1);
    ASSERT_EQ(prompts_.shown().size(), 3u);
    EXPECT_TRUE(prompts_.shown()[1].text.startsWith(
        QStringLiteral("Soubor slovníku byl mezitím změněn jiným programem. Má se přepsat?")));
    EXPECT_EQ(prompts_.shown()[2].icon, Prompts::Icon::error);
    EXPECT_EQ(prompts_.shown()[2].caption, "Chyba!");
    EXPECT_TRUE(prompts_.shown()[2].text.contains(QString::fromStdString(a)));
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(w.store().header.filePath, a);
    EXPECT_EQ(w.store().entryCount(), 3u);

    // Closing with the save failing again keeps the window open.
    prompts_.queueAnswer(true);
    prompts_.queueChoice(1);
    EXPECT_FALSE(w.window().close());
    EXPECT_FALSE(fs::exists(dir_ + "trelvo.cfg"));
}

TEST_F(MainWindowTest, APipeOrADeviceAsTheSettingsFileStartsWithTheDefaults) {
    dictionary("a.dsl", "První");
    // A pipe no one writes kept the window from ever appearing.
    ASSERT_EQ(::mkfifo((dir_ + "trelvo.cfg").c_str(), 0644), 0);
    TForm1Probe w = start();
    EXPECT_EQ(w.lastUpdateDay(), today);
    EXPECT_TRUE(w.autoUpdate());
    EXPECT_EQ(w.window().size(), QSize(626, 373));
    EXPECT_TRUE(prompts_.shown().empty());
    EXPECT_TRUE(w.window().close()) << "the settings are not written over a pipe, and closing waits on nothing";
    window_.reset();

    fs::remove(dir_ + "trelvo.cfg");
    fs::create_symlink("/dev/zero", dir_ + "trelvo.cfg");
    TForm1Probe again = start();
    EXPECT_TRUE(again.autoUpdate()) << "the zeros of a device are no settings";
    EXPECT_EQ(again.lastUpdateDay(), today);
}

TEST_F(MainWindowTest, ClosingAsksToSaveAndWritesTheSettingsEitherWay) {
    std::string a = dictionary("a.dsl", "První");
    const std::string before = readBytes(a);
    TForm1Probe w = start();
    w.window().show();
    w.chooseDictionary(0);
    w.addUnsavedEntry("nový", "new");
    prompts_.queueAnswer(false);
    EXPECT_TRUE(w.window().close());
    EXPECT_EQ(readBytes(a), before);
    std::string cfg = readBytes(dir_ + "trelvo.cfg");
    ASSERT_EQ(cfg.size(), 22u);
    EXPECT_EQ(cfg[0], 1);
    window_.reset();
    fs::remove(dir_ + "trelvo.cfg");

    TForm1Probe again = start();
    again.chooseDictionary(0);
    again.addUnsavedEntry("nový", "new");
    prompts_.queueAnswer(true);
    EXPECT_TRUE(again.window().close());
    DictionaryHeader h;
    EntryList saved;
    ASSERT_TRUE(readDictionaryFile(a, h, saved));
    EXPECT_EQ(saved.size(), 3u);
    EXPECT_EQ(readBytes(dir_ + "trelvo.cfg").size(), 22u);
}

TEST_F(MainWindowTest, RemovingAnEntryRenumbersBothIndexes) {
    dictionary("a.dsl", "První");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    // Entry 0, "výhybka", sorts after "návěstidlo": row 1.
    w.grid()->setCurrentCell(1, 0);
    prompts_.queueAnswer(true);
    w.PopupMenu2()->actions()[0]->trigger();  // Odstranit záznam
    for (const DictionaryIndex& index : w.store().indexes) {
        ASSERT_EQ(index.size(), 1u);
        EXPECT_EQ(index.entryNumber(0), 0u);
    }
    EXPECT_EQ(w.store().entries.term(0), CodePage::fromUtf8("návěstidlo", 1250));
}

TEST_F(MainWindowTest, LayoutFollowsTheWindowSize) {
    TForm1Probe w = start();
    w.window().show();
    w.window().resize(800, 500);
    EXPECT_EQ(w.StatusBar1()->geometry().bottom(), 500 - 2 - 1);
    EXPECT_EQ(w.ScrollBar1()->x() + w.ScrollBar1()->width(), 800 - w.Edit1()->x());
    EXPECT_EQ(w.grid()->width(), w.ScrollBar1()->x() - w.grid()->x());
    const int note = w.grid()->columnWidth(2);
    EXPECT_EQ(w.grid()->columnWidth(0), (w.grid()->width() - note) / 2);
    EXPECT_EQ(w.grid()->columnWidth(1), w.grid()->width() - note - w.grid()->columnWidth(0) - 7);
    EXPECT_EQ(w.Image5()->x() + w.Image5()->width(), 800 - 2);
    EXPECT_EQ(w.grid()->y(), w.ScrollBar1()->y() - 1);
    w.window().resize(100, 100);
    EXPECT_EQ(w.window().size(), QSize(500, 350)) << "minimum size";
}

TEST_F(MainWindowTest, ColumnsKeepTheirShareOfTheGrid) {
    TForm1Probe w = start();
    w.window().show();
    auto widths = [&] {
        return std::array<int, 3>{w.grid()->columnWidth(0), w.grid()->columnWidth(1), w.grid()->columnWidth(2)};
    };
    ASSERT_EQ(w.window().width(), 626);
    ASSERT_EQ(w.grid()->width(), 601);
    EXPECT_EQ(widths(), (std::array<int, 3>{285, 279, 30}));

    w.window().resize(1200, 500);
    const int grid = w.grid()->width();
    ASSERT_EQ(grid, 1175);
    const auto wide = widths();
    EXPECT_EQ(wide[2], 30 + (grid - 601) / 3) << "notes get a third of the room beyond the design size";
    EXPECT_EQ(wide[0] + wide[1] + wide[2], grid - 7) << "the three still fill the grid";
    EXPECT_LE(std::abs(wide[0] - wide[1]), 7);
    EXPECT_EQ(w.Edit3()->x() + w.Edit3()->width(), w.Button1()->x());
    EXPECT_EQ(w.Button1()->width(), wide[2] + w.ScrollBar1()->width() + 4);

    w.window().resize(626, 373);
    EXPECT_EQ(widths(), (std::array<int, 3>{285, 279, 30}));
    w.window().resize(500, 350);
    EXPECT_EQ(w.grid()->columnWidth(2), 30) << "never narrower than at the start";
}

TEST_F(MainWindowTest, StatusBarAndCaptionNameTheDictionaryAndFitAWideWindow) {
    fs::copy_file(std::string(TRELVO_RUNTIME_DIR) + "/DSL/cs-en.dsl", dir_ + "DSL/cs-en.dsl");
    TForm1Probe w = start();
    w.window().show();
    auto* frame = w.window().findChild<CASShape*>();
    EXPECT_EQ(w.window().windowTitle(), "Trelvo");
    EXPECT_EQ(frame->Caption(), "Trelvo");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.store().isOpen(); }, 2000));
    // The update check finds no server at the test's closed port.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.toolButton(ToolButton::automaticUpdate)->isEnabled(); }, 5000));
    EXPECT_EQ(panel(0), "Slovník: Zabezpečovací technika česko-anglický");
    EXPECT_EQ(panel(1), "Směr překladu: Čeština->Angličtina");
    EXPECT_EQ(w.window().windowTitle(), "Trelvo – Zabezpečovací technika česko-anglický");
    EXPECT_EQ(frame->Caption(), "Trelvo – Zabezpečovací technika česko-anglický");

    EXPECT_EQ(w.statusPanel(0)->width(), 200);
    EXPECT_EQ(w.statusPanel(1)->width(), 200);
    w.window().resize(900, 500);
    for (int i : {0, 1}) {
        const QLabel* label = w.statusPanel(i);
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
            << label->text().toStdString();
    }
    EXPECT_EQ(w.statusPanel(2)->width(), 50);
    EXPECT_LE(w.statusPanel(2)->geometry().right(), w.StatusBar1()->width());
    w.window().resize(626, 373);
    EXPECT_EQ(w.statusPanel(0)->width(), 200) << "the minimum again";
}

TEST_F(MainWindowTest, ADictionaryChosenBeforeTheStartReopensOneIsKept) {
    dictionary("a.dsl", "První");
    dictionary("b.dsl", "Druhý");
    TForm1Probe w = start();
    w.PopupMenu1()->actions()[1]->trigger();
    ASSERT_EQ(panel(0), "Slovník: Druhý");
    w.grid()->setCurrentCell(1, 0);
    prompts_.queueAnswer(true);
    w.PopupMenu2()->actions()[0]->trigger();  // remove an entry
    ASSERT_TRUE(w.modified());
    prompts_.clearShown();
    QTest::qWait(300);
    EXPECT_TRUE(prompts_.shown().empty());
    EXPECT_EQ(panel(0), "Slovník: Druhý");
    EXPECT_EQ(w.store().entryCount(), 1u) << "the change is still there";
}

TEST_F(MainWindowTest, ADictionaryCopiedIntoTheFolderIsOfferedTheNextTimeTheMenuOpens) {
    dictionary("a.dsl", "První");
    TForm1Probe w = start();
    ASSERT_EQ(w.PopupMenu1()->actions().size(), 1);
    dictionary("b.dsl", "Přidaný");
    // The user opens the menu with the arrow of the button, looks and closes it.
    QToolButton* button = w.toolButton(ToolButton::dictionaryMenu);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = w.PopupMenu1()->isVisible();
        w.PopupMenu1()->close();
    });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 3, button->height() / 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown; }, 5000));
    QList<QAction*> items = w.PopupMenu1()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[1]->text(), "Přidaný");
    items[1]->trigger();
    EXPECT_EQ(w.store().header.filePath, dir_ + "DSL/b.dsl");
}

TEST_F(MainWindowTest, HeaderTextsThatLookLikeHtmlAreShownAsTheyAre) {
    // Read as rich text, the name would make every label showing it read
    // /dev/zero without end.
    const std::string html = "<img src=\"/dev/zero\"><b>tučně</b>";
    EntryList entries;
    entries.append("kolej", "track", "", 0);
    std::string path = dictionary("a.dsl", "x", entries);
    DictionaryHeader h;
    EntryList read;
    ASSERT_TRUE(readDictionaryFile(path, h, read));
    h.name = CodePage::fromUtf8(html, 1250);
    h.languageName = {CodePage::fromUtf8("<i>Čeština</i>", 1250), CodePage::fromUtf8("<u>Angličtina</u>", 1250)};
    h.author = h.version = h.note = h.name;
    ASSERT_TRUE(writeDictionaryFile(h, read, path));

    TForm1Probe w = start();
    w.window().resize(700, 450);
    w.window().show();
    w.PopupMenu1()->actions()[0]->trigger();
    EXPECT_EQ(w.PopupMenu1()->actions()[0]->text().toStdString(), html);
    EXPECT_EQ(panel(0).toStdString(), "Slovník: " + html);
    EXPECT_EQ(panel(1), "Směr překladu: <i>Čeština</i>-><u>Angličtina</u>");
    for (int i = 0; i < 3; ++i) {
        const QLabel* label = w.statusPanel(i);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_FALSE(label->toolTip().contains(QStringLiteral("<img"))) << label->toolTip().toStdString();
    }
    // Drawing the window, the about box included, ends and stays small.
    w.toolButton(ToolButton::about)->click();
    const QImage picture = w.window().grab().toImage();
    EXPECT_FALSE(picture.isNull());
    std::ifstream status("/proc/self/status");
    std::string line;
    long residentKb = 0;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) residentKb = std::stol(line.substr(6));
    EXPECT_LT(residentKb, 1024L * 1024) << "kB resident";
}

TEST_F(MainWindowTest, DraggedColumnWidthsAreKeptForTheUserNotInTheSettingsFile) {
    dictionary("a.dsl", "První");
    TForm1Probe w = start();
    w.window().resize(1200, 600);
    w.window().show();
    QHeaderView* head = w.grid()->horizontalHeader();
    ASSERT_TRUE(head->isVisible()) << "the column heads are where widths are dragged";
    const int note = w.grid()->columnWidth(2);
    const int total = w.grid()->columnWidth(0) + w.grid()->columnWidth(1) + note;
    // The border between the translation and the note, dragged 150 pixels left.
    const int border = head->sectionViewportPosition(2) - 1;
    const int y = head->height() / 2;
    QTest::mousePress(head->viewport(), Qt::LeftButton, {}, QPoint(border, y));
    const QPointF to(border - 150, y);
    QMouseEvent drag(QEvent::MouseMove, to, head->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(head->viewport(), &drag);
    QTest::mouseRelease(head->viewport(), Qt::LeftButton, {}, QPoint(border - 150, y));
    // Kept as thousandths of the grid: a pixel may go in the rounding.
    EXPECT_NEAR(w.grid()->columnWidth(2), note + 150, 2) << "the note column takes what the translation gave";
    EXPECT_NEAR(w.grid()->columnWidth(0) + w.grid()->columnWidth(1) + w.grid()->columnWidth(2), total, 2);
    const double wideGrid = w.grid()->width();
    const std::array<int, 3> dragged{w.grid()->columnWidth(0), w.grid()->columnWidth(1), w.grid()->columnWidth(2)};
    w.window().close();
    EXPECT_EQ(fs::file_size(dir_ + "trelvo.cfg"), 22u);
    EXPECT_NE(readBytes(dir_ + "trelvo.ini").find("column-shares="), std::string::npos);

    // The next start lays the columns out as the user left them, and a
    // narrower window keeps their shares.
    TForm1Probe again = start();
    again.window().resize(1200, 600);
    again.window().show();
    EXPECT_NEAR(again.grid()->columnWidth(2), dragged[2], 2);
    EXPECT_NEAR(again.grid()->columnWidth(0), dragged[0], 2);
    again.window().resize(700, 400);
    EXPECT_NEAR(again.grid()->columnWidth(2) * wideGrid / again.grid()->width(), dragged[2], 4);
}

TEST_F(MainWindowTest, TheCaptionMarksUnsavedChangesAndASaveIsReported) {
    dictionary("a.dsl", "První", true, {{"výhybka", "points"}, {"návěst", "aspect"}, {"kolej", "track"}});
    TForm1Probe w = start();
    w.window().show();
    w.chooseDictionary(0);
    EXPECT_EQ(w.window().windowTitle(), QStringLiteral("Trelvo – První"));
    prompts_.queueAnswer(true);
    w.grid()->setFocus();
    QTest::keyClick(w.grid(), Qt::Key_Delete);
    ASSERT_EQ(w.store().entryCount(), 2u);
    EXPECT_EQ(w.window().windowTitle(), QStringLiteral("Trelvo – První *"));
    w.click(ToolButton::saveChanges);
    EXPECT_EQ(w.window().windowTitle(), QStringLiteral("Trelvo – První"));
    EXPECT_EQ(w.StatusBar1()->currentMessage(), QStringLiteral("Uloženo: 2 záznamy"));
}

TEST_F(MainWindowTest, TheLastDictionaryIsFoundByItsNameWhenFilesComeBeforeIt) {
    dictionary("b.dsl", "Druhý");
    const std::string chosen = dictionary("c.dsl", "Třetí");
    TForm1Probe w = start();
    w.window().show();
    w.Timer3()->stop();
    w.chooseDictionary(1);
    ASSERT_EQ(w.store().header.filePath, chosen);
    w.window().close();
    const std::string cfg = readBytes(dir_ + "trelvo.cfg");
    ASSERT_EQ(cfg.size(), 22u);
    EXPECT_EQ(cfg[1], 1) << "the position is written as before";

    // A dictionary that sorts first arrives; the name still leads to c.dsl.
    dictionary("a.dsl", "První");
    TForm1Probe again = start();
    EXPECT_EQ(again.lastDictionary(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.store().isOpen(); }));
    EXPECT_EQ(again.store().header.filePath, chosen);

    // Without its file the position of trelvo.cfg counts.
    again.window().close();
    fs::remove(chosen);
    TForm1Probe third = start();
    EXPECT_EQ(third.lastDictionary(), 2) << "beyond the two dictionaries left: nothing opens";
    EXPECT_FALSE(third.Timer3()->isActive());
}

TEST_F(MainWindowTest, AWindowOnTheSecondMonitorIsKeptThereAndOneOnNoneComesBack) {
    screens_ = {QRect(0, 0, 1024, 768), QRect(1024, 0, 1280, 1024)};
    settings(today, 0, QRect(1500, 300, 700, 500));
    TForm1Probe w = start();
    EXPECT_EQ(w.window().geometry(), QRect(1500, 300, 700, 500));
    w.window().close();

    // The second monitor is gone at the next start.
    screens_ = {QRect(0, 0, 1024, 768)};
    TForm1Probe again = start();
    EXPECT_EQ(again.window().geometry(), QRect(1024 - 700, 768 - 500, 700, 500));
}

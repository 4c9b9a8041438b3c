#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/exchange/LanguageCodes.h"
#include "gui/controls/TXLabel.h"
#include "gui/windows/TForm3.h"
#include "gui/windows/TForm5.h"
#include "gui/windows/TNewTrelvo.h"
#include "gui/windows/Tgridik.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

class AdministrationTest : public TestProgram {
protected:
    // A dictionary with an access code and pictures for both languages.
    std::string guarded(const std::string& code) {
        DictionaryHeader h;
        EntryList entries;
        entries.append("kolej", "track", "", efUserModified);
        entries.append("vlak", "train", "", efImported);
        std::string path = dictionary("a.dsl", "Chráněný", entries);
        EntryList read;
        EXPECT_TRUE(readDictionaryFile(path, h, read));
        h.idAndAccessCode = "0A1B2C3D" + code;
        h.languageImage[1] = h.languageImage[0];
        EXPECT_TRUE(writeDictionaryFile(h, read, path));
        return path;
    }

    // Answers the access-code dialog with the given code.
    void typeCode(const QString& code) {
        prompts_.queueDialog([code](QDialog& dialog) {
            static_cast<TForm5&>(dialog).Edit1->setText(code);
            return true;
        });
    }

    // Answers the properties dialog: fill it, then press OK; true when it closed.
    void pressOk(std::function<void(TNewTrelvo&)> fill = {}) {
        prompts_.queueDialog([fill](QDialog& dialog) {
            auto& properties = static_cast<TNewTrelvo&>(dialog);
            if (fill) fill(properties);
            properties.Button1->click();
            return properties.result() == QDialog::Accepted;
        });
    }
};

}  // namespace

TEST_F(AdministrationTest, ExactlyEightCharactersMeanNoAccessCode) {
    guarded("");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    pressOk([](TNewTrelvo& p) { p.Edit1->setText(QStringLiteral("Přejmenovaný")); });
    w.click(ToolButton::settings);
    EXPECT_TRUE(prompts_.shown().empty()) << "no question for the code";
    EXPECT_EQ(panel(0), "Slovník: Přejmenovaný");
    EXPECT_EQ(w.PopupMenu1()->actions()[0]->text(), "Přejmenovaný") << "the menu follows at once";
    EXPECT_FALSE(w.modified()) << "saved at once";
}

TEST_F(AdministrationTest, TheAccessCodeIsComparedCaseSensitively) {
    guarded("Tajne");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    typeCode(QStringLiteral("tajne"));
    w.click(ToolButton::settings);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_EQ(prompts_.shown()[0].text, "Nesprávná hodnota přístupového kódu!");
    EXPECT_EQ(accessCode_->Label3->text(), "0A1B2C3D");
    accessCode_->Edit1->setText(QStringLiteral("abc"));
    accessCode_->Edit1->ensurePolished();
    EXPECT_EQ(accessCode_->Edit1->displayText(), "***") << "the code shows as asterisks";

    prompts_.clearShown();
    prompts_.queueDialog([](QDialog&) { return false; });  // Storno
    w.click(ToolButton::settings);
    EXPECT_TRUE(prompts_.shown().empty()) << "Storno ends silently";

    typeCode(QStringLiteral("Tajne"));
    pressOk();
    w.click(ToolButton::settings);
    EXPECT_TRUE(prompts_.shown().empty());
    EXPECT_EQ(w.store().header.idAndAccessCode, "0A1B2C3DTajne");
}

TEST_F(AdministrationTest, ConvertingClearsEveryMarkAfterTheQuestion) {
    guarded("");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    w.grid()->setCurrentCell(1, 0);
    prompts_.queueAnswer(false);
    w.click(ToolButton::convertToDefault);
    EXPECT_EQ(w.store().entries.flags(0), efUserModified);
    prompts_.queueAnswer(true);
    w.click(ToolButton::convertToDefault);
    ASSERT_EQ(prompts_.shown().size(), 2u);
    EXPECT_EQ(prompts_.shown()[1].text,
              "Opravdu si přejete zrušit všechny příznaky importovaných a uživatelsky modifikovaných položek?");
    EXPECT_EQ(w.store().entries.flags(0), efDefault);
    EXPECT_EQ(w.store().entries.flags(1), efDefault);
    EXPECT_EQ(w.grid()->rowFlags[0], 0);
    EXPECT_EQ(w.grid()->rowFlags[1], 0);
    EXPECT_EQ(w.grid()->currentRow(), 0);
    EXPECT_TRUE(w.modified());
}

TEST_F(AdministrationTest, RemovingOnePictureKeepsTheOther) {
    std::string path = guarded("");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    pressOk([](TNewTrelvo& p) { p.removeButtons[1]->click(); });
    w.click(ToolButton::settings);
    DictionaryHeader h;
    EntryList entries;
    ASSERT_TRUE(readDictionaryFile(path, h, entries));
    EXPECT_FALSE(h.languageImage[0].empty());
    EXPECT_TRUE(h.languageImage[1].empty());

    // A cancelled picture dialog removes the picture too; an earlier choice is
    // not applied again on the next opening.
    pressOk([](TNewTrelvo& p) { p.pictureButtons[0]->click(); });
    w.click(ToolButton::settings);
    ASSERT_TRUE(readDictionaryFile(path, h, entries));
    EXPECT_TRUE(h.languageImage[0].empty());
}

TEST_F(AdministrationTest, UnreadablePictureOrBadIdKeepsTheDialogAndTheHeader) {
    std::string path = guarded("");
    std::ofstream(dir_ + "not.bmp") << "text";
    TForm1Probe w = start();
    w.chooseDictionary(0);
    prompts_.queueFile(QString::fromStdString(dir_ + "not.bmp"));
    bool closed = true;
    prompts_.queueDialog([&closed](QDialog& dialog) {
        auto& p = static_cast<TNewTrelvo&>(dialog);
        p.Edit1->setText(QStringLiteral("Jiný"));
        p.pictureButtons[0]->click();
        p.Button1->click();
        closed = p.result() == QDialog::Accepted;
        p.Edit7->setText(QStringLiteral("12345"));
        p.pendingImage = {};
        p.Button1->click();
        return closed;
    });
    w.click(ToolButton::settings);
    EXPECT_FALSE(closed);
    ASSERT_EQ(prompts_.shown().size(), 2u);
    EXPECT_TRUE(prompts_.shown()[0].text.contains(QString::fromStdString(dir_ + "not.bmp")));
    EXPECT_EQ(prompts_.shown()[1].caption, "Chyba!");
    EXPECT_EQ(w.store().header.name, CodePage::fromUtf8("Chráněný", 1250)) << "nothing of the header changed";
}

TEST_F(AdministrationTest, APipeOrADeviceAsAPictureIsRefusedWithoutWaiting) {
    guarded("");
    ASSERT_EQ(::mkfifo((dir_ + "roura.bmp").c_str(), 0644), 0);
    TForm1Probe w = start();
    w.chooseDictionary(0);
    const DictionaryHeader before = w.store().header;
    for (const std::string& picture : {dir_ + "roura.bmp", std::string("/dev/zero")}) {
        prompts_.queueFile(QString::fromStdString(picture));
        bool closed = true;
        prompts_.queueDialog([&closed](QDialog& dialog) {
            auto& p = static_cast<TNewTrelvo&>(dialog);
            p.pictureButtons[1]->click();
            p.Button1->click();
            closed = p.result() == QDialog::Accepted;
            return false;
        });
        w.click(ToolButton::settings);
        EXPECT_FALSE(closed) << picture;
    }
    ASSERT_EQ(prompts_.shown().size(), 2u);
    EXPECT_TRUE(prompts_.shown()[0].text.contains(QString::fromStdString(dir_ + "roura.bmp")));
    EXPECT_TRUE(prompts_.shown()[1].text.contains(QStringLiteral("/dev/zero")));
    EXPECT_EQ(w.store().header, before);
}

TEST_F(AdministrationTest, EachNewDictionaryGetsAFreshIdAndBecomesActive) {
    guarded("");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    randomValues_ = {0xBEEF, 0x0042, 0x1, 0xFFFF};
    prompts_.queueFile(QString::fromStdString(dir_ + "DSL/novy"));
    pressOk([](TNewTrelvo& p) {
        EXPECT_EQ(p.Edit7->text(), "BEEF0042");
        EXPECT_TRUE(p.Edit1->text().isEmpty());
        EXPECT_EQ(p.ComboBox1->currentIndex(), 0);
        p.Edit1->setText(QStringLiteral("Nový slovník"));
        p.Edit2->setText(QStringLiteral("Čeština"));
        p.Edit3->setText(QStringLiteral("Ruština"));
        p.ComboBox2->setCurrentIndex(2);
    });
    w.click(ToolButton::newDictionary);
    EXPECT_EQ(w.store().header.filePath, dir_ + "DSL/novy.dsl");
    EXPECT_EQ(w.store().entryCount(), 0u);
    EXPECT_EQ(w.store().header.languageCharset[1], 204);
    EXPECT_TRUE(w.store().header.updateStamp.empty());
    EXPECT_EQ(panel(0), "Slovník: Nový slovník");
    EXPECT_EQ(panel(1), "Směr překladu: Čeština->Ruština");
    EXPECT_TRUE(w.grid()->item(0, 0)->text().isEmpty());
    ASSERT_EQ(w.PopupMenu1()->actions().size(), 4) << "two dictionaries, a separator and the restore";
    EXPECT_EQ(w.PopupMenu1()->actions()[1]->text(), "Nový slovník");

    prompts_.queueFile(QString::fromStdString(dir_ + "DSL/druhy.dsl"));
    pressOk([](TNewTrelvo& p) { EXPECT_EQ(p.Edit7->text(), "0001FFFF"); });
    w.click(ToolButton::newDictionary);
}

TEST_F(AdministrationTest, CreatingOverAnExistingFileAsksAndNoKeepsEverything) {
    std::string path = guarded("");
    const std::string before = readBytes(path);
    TForm1Probe w = start();
    w.chooseDictionary(0);
    prompts_.queueFile(QString::fromStdString(path));
    prompts_.queueAnswer(false);
    bool closed = true;
    prompts_.queueDialog([&closed](QDialog& dialog) {
        auto& p = static_cast<TNewTrelvo&>(dialog);
        p.Button1->click();
        closed = p.result() == QDialog::Accepted;
        return closed;
    });
    w.click(ToolButton::newDictionary);
    EXPECT_FALSE(closed) << "the dialog stays open";
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Upozornění");
    EXPECT_EQ(prompts_.shown()[0].text, "Soubor slovníku s tímto názvem již existuje, má se jeho obsah opravdu nahradit?");
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(w.store().entryCount(), 2u);
    EXPECT_EQ(w.store().header.filePath, path);
}

TEST_F(AdministrationTest, CreatingAsksAboutUnsavedChangesFirst) {
    std::string path = guarded("");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    w.addUnsavedEntry("nový", "new");
    prompts_.queueAnswer(true);
    w.click(ToolButton::newDictionary);  // the properties dialog is then cancelled
    DictionaryHeader h;
    EntryList entries;
    ASSERT_TRUE(readDictionaryFile(path, h, entries));
    EXPECT_EQ(entries.size(), 3u);
}

TEST_F(AdministrationTest, ANewCharacterSetReKeysThatLanguageAtOnce) {
    guarded("");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    pressOk([](TNewTrelvo& p) { p.ComboBox2->setCurrentIndex(2); });
    w.click(ToolButton::settings);
    EXPECT_EQ(w.store().header.languageCharset[1], 204);
    EXPECT_EQ(w.direction().targetTable, 2);
    const DictionaryIndex& english = w.store().indexes[1];
    EXPECT_EQ(english.key(0),
              w.characterTables().makeCollationKey(w.store().entries.translation(english.entryNumber(0)), 2));
}

TEST_F(AdministrationTest, AboutBoxShowsTheActiveDictionaryAndOpensTheHelp) {
    guarded("");
    TForm1Probe w = start();
    TForm3* about = w.window().findChild<TForm3*>();
    ASSERT_NE(about, nullptr);
    w.click(ToolButton::about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    for (TXLabel* value : about->values) EXPECT_TRUE(value->Caption().isEmpty());
    about->hide();

    w.chooseDictionary(0);
    w.click(ToolButton::about);
    EXPECT_EQ(about->values[TForm3::name]->Caption(), "Chráněný");
    EXPECT_EQ(about->values[TForm3::entries]->Caption(), "2");

    int opened = 0;
    about->openHelp = [&opened] { ++opened; };
    QTest::mousePress(about->helpLink, Qt::LeftButton);
    EXPECT_EQ(about->helpLink->FontColorRef(), 0x0000FFu) << "red while held";
    QTest::mouseRelease(about->helpLink, Qt::LeftButton);
    EXPECT_EQ(about->helpLink->FontColorRef(), 0xFFD9D9u);
    EXPECT_EQ(opened, 1);
}

TEST_F(AdministrationTest, ANewDictionaryIsSavedFromTheDictionaryFolderAndAlwaysAsDsl) {
    TForm1Probe w = start();
    prompts_.queueFile(QString::fromStdString(dir_ + "DSL/norma 1.2"));
    pressOk([](TNewTrelvo& p) { p.Edit1->setText(QStringLiteral("Norma")); });
    w.click(ToolButton::newDictionary);
    ASSERT_EQ(prompts_.startFolders().size(), 1u);
    EXPECT_EQ(prompts_.startFolders()[0], QString::fromStdString(dir_ + "DSL"));
    EXPECT_EQ(w.store().header.filePath, dir_ + "DSL/norma 1.2.dsl") << "the menu lists only .dsl files";
    ASSERT_EQ(w.PopupMenu1()->actions().size(), 3) << "a dictionary, a separator and the restore";
    EXPECT_EQ(w.PopupMenu1()->actions()[0]->text(), "Norma");
}

TEST_F(AdministrationTest, ThePictureDialogOpensInTheProgramFolderThenWhereThePictureWas) {
    guarded("");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    fs::create_directories(dir_ + "obrazky");
    prompts_.queueFile(QString::fromStdString(dir_ + "obrazky/vlajka.bmp"));
    prompts_.queueDialog([](QDialog& dialog) {
        auto& p = static_cast<TNewTrelvo&>(dialog);
        p.pictureButtons[0]->click();
        p.pictureButtons[1]->click();  // cancelled: the folder stays
        p.pictureButtons[0]->click();
        p.Button2->click();
        return false;
    });
    w.click(ToolButton::settings);
    const std::vector<QString>& folders = prompts_.startFolders();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(QDir::cleanPath(folders[0]), QDir::cleanPath(QString::fromStdString(dir_)));
    EXPECT_EQ(QDir::cleanPath(folders[1]), QDir::cleanPath(QString::fromStdString(dir_ + "obrazky")));
    EXPECT_EQ(QDir::cleanPath(folders[2]), QDir::cleanPath(QString::fromStdString(dir_ + "obrazky")));
}

TEST_F(AdministrationTest, ALanguageTheProgramCannotNameIsAskedForItsCode) {
    guarded("");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    pressOk([](TNewTrelvo& p) { p.Edit3->setText(QStringLiteral("Rétorománština")); });
    prompts_.queueText(QStringLiteral(" RM "));
    w.click(ToolButton::settings);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Kód jazyka");
    EXPECT_TRUE(prompts_.shown()[0].text.startsWith(QStringLiteral("Jazyk \"Rétorománština\" program")));
    EXPECT_EQ(readBytes(w.store().header.filePath + ".lang"), "\nrm\n");
    EXPECT_EQ(languageCode(w.store().header, 1), "rm");

    // Known now: the next OK asks nothing.
    prompts_.clearShown();
    pressOk();
    w.click(ToolButton::settings);
    EXPECT_TRUE(prompts_.shown().empty());
}

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "gui/windows/TForm4.h"
#include "gui/windows/Tgridik.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

class ExchangeTest : public TestProgram {
protected:
    TForm1Probe open() {
        EntryList entries;
        entries.append("kolej", "track", "", efDefault);
        entries.append("vlak", "train", "zkr.", efUserModified);
        return open("První", entries);
    }

    TForm1Probe open(const std::string& name, const EntryList& entries) {
        dictionary("a.dsl", name, entries);
        TForm1Probe w = start();
        // The check at opening fails at once, but its texts would reach the
        // panel whenever a long command lets the window's events through.
        QSignalSpy checked(&w.window(), &TForm1::updateChecked);
        w.chooseDictionary(0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return checked.count() > 0; }, 10000));
        return w;
    }

    std::string write(const std::string& name, const std::string& bytes) {
        std::string path = dir_ + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // The properties of the file at path as the program would read them.
    EntryList entriesOf(const std::string& path) {
        DictionaryHeader h;
        EntryList entries;
        EXPECT_TRUE(readDictionaryFile(path, h, entries));
        return entries;
    }
};

std::string utf16(const std::u16string& text, bool mark) {
    std::string bytes = mark ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

}  // namespace

TEST_F(ExchangeTest, ACancelledImportChangesNothing) {
    TForm1Probe w = open();
    w.click(ToolButton::importWords);
    EXPECT_FALSE(w.modified());
    EXPECT_EQ(w.store().entryCount(), 2u);
}

TEST_F(ExchangeTest, ImportTurnsTheDirectionBackAndAddsImportedEntries) {
    TForm1Probe w = open();
    w.click(ToolButton::swapDirection);
    prompts_.queueFile(QString::fromStdString(write("slova.txt", utf16(u"návěst\taspect\r\nkolej\ttrack\r\n", true))));
    w.click(ToolButton::importWords);
    EXPECT_EQ(w.direction().sourceSide, 0);
    EXPECT_TRUE(w.modified());
    EXPECT_TRUE(w.window().isEnabled());
    ASSERT_EQ(w.store().entryCount(), 3u) << "the existing pair is skipped";
    EXPECT_EQ(w.store().entries.term(2), CodePage::fromUtf8("návěst", 1250));
    EXPECT_EQ(w.store().entries.flags(2), efImported);
    EXPECT_EQ(panel(0), "Slovník: První") << "the progress text goes with the refresh";
    EXPECT_EQ(w.grid()->item(1, 0)->text(), "návěst");
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Import dokončen");
    EXPECT_EQ(prompts_.shown()[0].text,
              "Načteno řádků se slovy: 2\nPřidáno nových záznamů: 1\nVynecháno, ve slovníku již jsou: 1\n"
              "Znaků nahrazených otazníkem: 0");
}

TEST_F(ExchangeTest, AUtf8WordListKeepsItsLettersAndSaysWhatItCouldNot) {
    TForm1Probe w = open();
    prompts_.queueFile(QString::fromStdString(write("slova.txt", "n\xC3\xA1v\xC4\x9Bstidlo\tsignal\n"
                                                                   "\xC5\xBElut\xC3\xA1\tyellow \xE2\x86\x92\n")));
    w.toolButton(ToolButton::importWords)->click();
    ASSERT_EQ(w.store().entryCount(), 4u);
    EXPECT_EQ(w.store().entries.term(2), CodePage::fromUtf8("návěstidlo", 1250));
    EXPECT_EQ(w.store().entries.term(3), CodePage::fromUtf8("žlutá", 1250));
    EXPECT_EQ(w.store().entries.translation(3), "yellow ?");
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_TRUE(prompts_.shown()[0].text.endsWith(QStringLiteral("Znaků nahrazených otazníkem: 1")));
}

TEST_F(ExchangeTest, ExportWritesTheTextAndAsksBeforeReplacing) {
    TForm1Probe w = open();
    auto* exporting = w.window().findChild<TForm4*>();
    ASSERT_NE(exporting, nullptr);
    const std::string path = dir_ + "vystup.txt";
    prompts_.queueFile(QString::fromStdString(path));
    prompts_.queueDialog([](QDialog& dialog) {
        auto& d = static_cast<TForm4&>(dialog);
        EXPECT_EQ(d.ListBox2->count(), 2) << "<blank> and zkr.";
        EXPECT_EQ(d.ListBox2->item(0)->text(), "<blank>");
        d.ListBox2->setCurrentRow(1);
        d.Button3->click();
        d.Button3->click();
        EXPECT_EQ(d.ListBox1->count(), 1) << "a note goes into the filter once";
        d.CheckBox1->setChecked(true);
        d.Button1->click();
        return d.result() == QDialog::Accepted;
    });
    w.click(ToolButton::exportEntries);
    EXPECT_EQ(readBytes(path), "vlak\ttrain\r\n");
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Export dokončen");
    EXPECT_EQ(prompts_.shown()[0].text, "Exportováno záznamů: 1\nSoubor: " + QString::fromStdString(path));

    // Exporting over it: No keeps the file and the dialog.
    prompts_.queueFile(QString::fromStdString(path));
    prompts_.queueAnswer(false);
    bool closed = true;
    prompts_.queueDialog([&closed](QDialog& dialog) {
        auto& d = static_cast<TForm4&>(dialog);
        EXPECT_TRUE(d.CheckBox1->isChecked()) << "the dialog keeps its state";
        d.CheckBox1->setChecked(false);
        d.Button1->click();
        closed = d.result() == QDialog::Accepted;
        return closed;
    });
    w.click(ToolButton::exportEntries);
    EXPECT_FALSE(closed);
    EXPECT_EQ(prompts_.shown().back().caption, "Upozornění!");
    EXPECT_EQ(prompts_.shown().back().text, "Zadaný soubor již existuje, má se jeho obsah nahradit?");
    EXPECT_EQ(readBytes(path), "vlak\ttrain\r\n");
}

TEST_F(ExchangeTest, ADictionaryExportIsListedAtOnceAndCannotSynchroniseWithItsSource) {
    TForm1Probe w = open();
    randomValues_ = {0x1111, 0x2222};
    const std::string path = dir_ + "DSL/export.dsl";
    prompts_.queueFile(QString::fromStdString(path));
    prompts_.queueDialog([](QDialog& dialog) {
        auto& d = static_cast<TForm4&>(dialog);
        d.RadioButton2->setChecked(true);
        d.Button1->click();
        return true;
    });
    w.click(ToolButton::exportEntries);
    ASSERT_EQ(w.PopupMenu1()->actions().size(), 4) << "two dictionaries, a separator and the restore";
    EXPECT_EQ(w.PopupMenu1()->actions()[1]->text(), "První (exported)");
    EXPECT_EQ(entriesOf(path).flags(1), efUserModified) << "flags travel with the export";

    prompts_.clearShown();
    prompts_.queueFile(QString::fromStdString(path));
    w.click(ToolButton::synchronise);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].text,
              "Vybraný soubor slovníku není možné použít pro synchronizaci. Mají se položky v něm uložené pouze "
              "importovat?");
    EXPECT_FALSE(w.modified()) << "declined: nothing changed";
    EXPECT_EQ(w.store().entryCount(), 2u);
}

TEST_F(ExchangeTest, SynchronisingWithANewEditionSavesAtOnce) {
    TForm1Probe w = open();
    const std::string active = w.store().header.filePath;
    DictionaryHeader h = w.store().header;
    h.version = "2.0";
    EntryList edition;
    edition.append("kolej", "rail", "", efDefault);
    edition.append("návěstidlo", "signal", "", efDefault);
    ASSERT_TRUE(writeDictionaryFile(h, edition, dir_ + "nove.dsl"));
    // Ne to the counts changes nothing; Ano merges, saves and says what it did.
    const std::string before = readBytes(active);
    prompts_.queueFile(QString::fromStdString(dir_ + "nove.dsl"));
    prompts_.queueAnswer(false);
    w.click(ToolButton::synchronise);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].text,
              "Nové vydání slovníku nahradí 1 výchozích záznamů, 1 vlastních a importovaných záznamů zůstane "
              "zachováno a 2 záznamů přibude. Má se synchronizace provést?");
    EXPECT_EQ(readBytes(active), before);
    EXPECT_EQ(w.store().entryCount(), 2u);
    EXPECT_FALSE(w.modified());
    prompts_.clearShown();

    prompts_.queueFile(QString::fromStdString(dir_ + "nove.dsl"));
    prompts_.queueAnswer(true);
    w.click(ToolButton::synchronise);
    ASSERT_EQ(prompts_.shown().size(), 2u);
    EXPECT_EQ(prompts_.shown()[1].caption, "Synchronizace dokončena");
    EXPECT_EQ(prompts_.shown()[1].text,
              "Nahrazeno výchozích záznamů: 1\nZachováno vlastních a importovaných záznamů: 1\n"
              "Přidáno nových záznamů: 2");
    prompts_.clearShown();
    EXPECT_FALSE(w.modified()) << "saved at once";
    EXPECT_EQ(w.store().header.version, "2.0");
    EntryList saved = entriesOf(active);
    ASSERT_EQ(saved.size(), 3u) << "the user's entry and the new edition";
    EXPECT_EQ(saved.term(0), "vlak");

    std::ofstream(dir_ + "zkazeny.dsl") << "DSL\x05";
    prompts_.queueFile(QString::fromStdString(dir_ + "zkazeny.dsl"));
    w.click(ToolButton::synchronise);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_TRUE(prompts_.shown()[0].text.contains("zkazeny.dsl"));
    EXPECT_EQ(entriesOf(active).size(), 3u);
    prompts_.clearShown();

    // A merge that would leave more entries than a dictionary may hold is
    // refused with its reason, before the question about the counts.
    edition.append("výhybka", "points", "", efDefault);
    ASSERT_TRUE(writeDictionaryFile(h, edition, dir_ + "vetsi.dsl"));
    w.setEntryLimit(3);
    prompts_.queueFile(QString::fromStdString(dir_ + "vetsi.dsl"));
    w.click(ToolButton::synchronise);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_EQ(prompts_.shown()[0].text, QString::fromStdString(tooLargeMergeMessage(dir_ + "vetsi.dsl")));
    EXPECT_EQ(w.store().entryCount(), 3u);
    EXPECT_FALSE(w.modified());
    EXPECT_TRUE(w.window().isEnabled());
}

TEST_F(ExchangeTest, ATypedExtensionIsKeptAndANameWithoutOneGetsTheFormatsOwn) {
    TForm1Probe w = open();
    auto exportAs = [&](const std::string& name, bool dsl) {
        prompts_.queueFile(QString::fromStdString(dir_ + name));
        prompts_.queueDialog([dsl](QDialog& dialog) {
            auto& d = static_cast<TForm4&>(dialog);
            (dsl ? d.RadioButton2 : d.RadioButton1)->setChecked(true);
            d.Button1->click();
            return d.result() == QDialog::Accepted;
        });
        w.click(ToolButton::exportEntries);
    };
    exportAs("seznam.csv", false);
    EXPECT_EQ(readBytes(dir_ + "seznam.csv"), "kolej\ttrack\r\nvlak\ttrain\r\n");
    EXPECT_FALSE(fs::exists(dir_ + "seznam.csv.txt"));
    exportAs("seznam", false);
    EXPECT_TRUE(fs::exists(dir_ + "seznam.txt"));
    exportAs("kopie", true);
    EXPECT_EQ(entriesOf(dir_ + "kopie.dsl").size(), 2u);
    exportAs("kopie.slovnik", true);
    EXPECT_EQ(entriesOf(dir_ + "kopie.slovnik").size(), 2u);
    ASSERT_EQ(prompts_.shown().size(), 4u);
    for (const auto& shown : prompts_.shown())
        EXPECT_EQ(shown.caption, "Export dokončen") << "no file existed, nothing was asked";
    EXPECT_EQ(prompts_.shown().back().text,
              "Exportováno záznamů: 2\nSoubor: " + QString::fromStdString(dir_ + "kopie.slovnik"));
}

TEST_F(ExchangeTest, TheChoosersFilterChoosesTheInterchangeFormat) {
    TForm1Probe w = open();
    auto pressOk = [this] {
        prompts_.queueDialog([](QDialog& dialog) {
            auto& d = static_cast<TForm4&>(dialog);
            d.RadioButton1->setChecked(true);
            d.Button1->click();
            return d.result() == QDialog::Accepted;
        });
    };
    prompts_.queueFile(QString::fromStdString(dir_ + "seznam"));
    prompts_.queueFilter(QStringLiteral("CSV (*.csv)"));
    pressOk();
    w.toolButton(ToolButton::exportEntries)->click();
    EXPECT_EQ(readBytes(dir_ + "seznam.csv"), "cs,en,note\r\nkolej,track,\r\nvlak,train,zkr.\r\n")
        << "the filter's extension for a name typed without one";

    prompts_.queueFile(QString::fromStdString(dir_ + "sesit"));
    prompts_.queueFilter(QStringLiteral("Sešit Excelu (*.xlsx)"));
    pressOk();
    w.toolButton(ToolButton::exportEntries)->click();
    EXPECT_EQ(readBytes(dir_ + "sesit.xlsx").substr(0, 4), std::string("PK\x03\x04", 4)) << "a zipped workbook";

    prompts_.queueFile(QString::fromStdString(dir_ + "seznam.tbx"));
    prompts_.queueFilter(QStringLiteral("TBX 2019 (*.tbx)"));
    pressOk();
    w.toolButton(ToolButton::exportEntries)->click();
    const std::string tbx = readBytes(dir_ + "seznam.tbx");
    EXPECT_NE(tbx.find("<tbx type=\"TBX-Basic\""), std::string::npos);
    EXPECT_NE(tbx.find("<langSec xml:lang=\"cs\">"), std::string::npos);
    EXPECT_NE(tbx.find("<admin type=\"source\">user</admin>"), std::string::npos) << "vlak is the user's";

    // Back in with a third language, which the dictionary lacks.
    std::string third = tbx;
    third.replace(third.find("<langSec xml:lang=\"en\">"), 23, "<langSec xml:lang=\"de\">");
    for (const char* term : {"kolej", "vlak"}) third.replace(third.find(term), std::strlen(term), std::string(term) + "2");
    prompts_.clearShown();
    prompts_.queueFile(QString::fromStdString(write("cizi.tbx", third)));
    w.toolButton(ToolButton::importWords)->click();
    ASSERT_EQ(w.store().entryCount(), 4u);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_TRUE(prompts_.shown()[0].text.endsWith(QStringLiteral("Jazyky souboru, které slovník nemá: de")))
        << prompts_.shown()[0].text.toStdString();

    prompts_.clearShown();
    prompts_.queueFile(QString::fromStdString(write("rozbity.tbx", "<martif><text>")));
    w.toolButton(ToolButton::importWords)->click();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_EQ(w.store().entryCount(), 4u);
}

TEST_F(ExchangeTest, ADeviceChosenForImportIsRefused) {
    TForm1Probe w = open();
    prompts_.queueFile(QStringLiteral("/dev/zero"));
    w.toolButton(ToolButton::importWords)->click();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_TRUE(prompts_.shown()[0].text.startsWith(QStringLiteral("Soubor \"/dev/zero\" nelze přečíst")));
    EXPECT_EQ(w.store().entryCount(), 2u);
    EXPECT_TRUE(w.window().isEnabled());
}

namespace {

// A thousand entries, and a word list whose terms sort before all of them,
// so that an import moves every row of the grid.
EntryList thousandEntries() {
    EntryList entries;
    for (int i = 0; i < 1000; ++i) entries.append("term" + std::to_string(1000 + i), "t", "", efDefault);
    return entries;
}

std::string listBeforeThem(int lines) {
    std::string file;
    for (int i = 0; i < lines; ++i) file += "a" + std::to_string(i) + "\tb\n";
    return file;
}

}  // namespace

TEST_F(ExchangeTest, AnImportPastTheEntryLimitIsRefusedNamingIt) {
    TForm1Probe w = open("Tisíc", thousandEntries());
    w.setEntryLimit(1005);
    prompts_.queueFile(QString::fromStdString(write("slova.txt", listBeforeThem(10))));
    w.toolButton(ToolButton::importWords)->click();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_TRUE(prompts_.shown()[0].text.contains(QStringLiteral("přesáhl 1 005 záznamů")))
        << prompts_.shown()[0].text.toStdString();
    EXPECT_TRUE(prompts_.shown()[0].text.endsWith(QStringLiteral("nic se nezměnilo.")));
    EXPECT_EQ(w.store().entries, thousandEntries());
    EXPECT_EQ(w.store().indexes[0].size(), 1000u);
    EXPECT_FALSE(w.modified());
    EXPECT_TRUE(w.window().isEnabled());
    EXPECT_EQ(w.grid()->item(0, 0)->text(), "term1000");

    // Within the limit the same kind of list goes in, ahead of every row.
    prompts_.queueFile(QString::fromStdString(write("pet.txt", listBeforeThem(5))));
    w.toolButton(ToolButton::importWords)->click();
    EXPECT_EQ(w.store().entryCount(), 1005u);
    EXPECT_EQ(w.grid()->item(0, 0)->text(), "a0");
    EXPECT_TRUE(w.modified());
}

TEST_F(ExchangeTest, EscapeCancelsALongImportAndNothingChanges) {
    TForm1Probe w = open("Tisíc", thousandEntries());
    w.window().show();  // the key comes the way a user's does, through the window
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window()));
    prompts_.queueFile(QString::fromStdString(write("slova.txt", listBeforeThem(20000))));
    QString during;
    bool enabledDuring = true;
    // Comes when the import first lets the window's events through.
    QTimer::singleShot(0, &w.window(), [&] {
        during = panel(0);
        enabledDuring = w.window().isEnabled();
        QTest::keyClick(w.window().windowHandle(), Qt::Key_Escape);
    });
    w.toolButton(ToolButton::importWords)->click();
    EXPECT_TRUE(during.contains(QStringLiteral("Storno"))) << during.toStdString();
    EXPECT_FALSE(enabledDuring);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Import stornován");
    EXPECT_EQ(w.store().entries, thousandEntries());
    EXPECT_EQ(w.store().indexes[1].size(), 1000u);
    EXPECT_FALSE(w.modified());
    EXPECT_TRUE(w.window().isEnabled());
    EXPECT_EQ(w.grid()->item(0, 0)->text(), "term1000");
    EXPECT_EQ(panel(0), "Slovník: Tisíc");
}

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <set>

#include "TestProgram.h"
#include "core/dictionary/DictionaryBackups.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/editing/RecoveryJournal.h"
#include "gui/windows/TBackupList.h"
#include "gui/windows/TForm5.h"
#include "gui/windows/Tgridik.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

constexpr std::size_t entryCount = 1200;

class BackupsTest : public TestProgram {
protected:
    // A delivered dictionary of 1,200 entries, open in the window.
    TForm1Probe open() {
        EntryList entries;
        for (std::size_t i = 0; i < entryCount; ++i)
            entries.append("term" + std::to_string(10000 + i), "track " + std::to_string(i), "", efDefault);
        path_ = dictionary("a.dsl", "Koleje", entries);
        TForm1Probe w = start();
        QSignalSpy checked(&w.window(), &TForm1::updateChecked);
        w.chooseDictionary(0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return checked.count() > 0; }, 10000));
        return w;
    }

    // A new edition of the open dictionary: every translation changed, and
    // entries added before the old ones, so that the rows move.
    void synchronise(TForm1Probe w) {
        DictionaryHeader h = w.store().header;
        h.version = "2.0";
        EntryList edition;
        for (std::size_t i = 0; i < entryCount + 50; ++i)
            edition.append("term" + std::to_string(9950 + i), "rail " + std::to_string(i), "", efDefault);
        ASSERT_TRUE(writeDictionaryFile(h, edition, dir_ + "edition.dsl"));
        prompts_.queueFile(QString::fromStdString(dir_ + "edition.dsl"));
        prompts_.queueAnswer(true);
        w.click(ToolButton::synchronise);
    }

    QAction* restoreItem(TForm1Probe w) {
        emit w.PopupMenu1()->aboutToShow();
        for (QAction* item : w.PopupMenu1()->actions())
            if (item->text() == QStringLiteral("Obnovit ze zálohy…")) return item;
        return nullptr;
    }

    std::string path_;
};

}  // namespace

TEST_F(BackupsTest, ASynchronisationKeepsTheOldFileWhichTheMenuPutsBackUnsaved) {
    TForm1Probe w = open();
    const std::string before = readBytes(path_);
    const DictionaryHeader headerBefore = w.store().header;
    synchronise(w);
    ASSERT_FALSE(w.modified()) << "a synchronisation saves at once";
    ASSERT_EQ(w.store().entryCount(), entryCount + 50);
    const std::string synchronised = readBytes(path_);
    std::vector<DictionaryBackup> backups = listBackups(path_);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(readBytes(backups[0].path) == before);
    prompts_.clearShown();

    // The list shows the date and the entry count (its thousands apart by a
    // space that keeps them on one line); Obnovit, then Ano.
    QStringList rows;
    prompts_.queueDialog([&rows](QDialog& dialog) {
        auto& list = static_cast<TBackupList&>(dialog);
        for (int i = 0; i < list.ListBox1->count(); ++i) rows << list.ListBox1->item(i)->text();
        list.ListBox1->setCurrentRow(0);
        list.accept();
        return true;
    });
    prompts_.queueAnswer(true);
    QAction* restore = restoreItem(w);
    ASSERT_NE(restore, nullptr);
    restore->trigger();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows[0].endsWith(QStringLiteral(" – 1\u00A0200 záznamů"))) << rows[0].toStdString();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].icon, Prompts::Icon::warning);
    EXPECT_EQ(prompts_.shown()[0].defaultButton, Prompts::Default::no);
    EXPECT_TRUE(
        prompts_.shown()[0].text.startsWith(QStringLiteral("Obsah slovníku „Koleje“ se nahradí zálohou ze dne ")));
    EXPECT_TRUE(prompts_.shown()[0].text.endsWith(
        QStringLiteral(" (1\u00A0200 záznamů). Slovník se tím změní, ale neuloží. Má se záloha obnovit?")));

    // The entries and the header are the backup's, the file is where it was and unchanged.
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(w.store().header, headerBefore);
    ASSERT_EQ(w.store().entryCount(), entryCount);
    for (std::size_t i = 0; i < entryCount; i += 97)
        EXPECT_EQ(w.store().entries.translation(i), "track " + std::to_string(i));
    EXPECT_TRUE(readBytes(path_) == synchronised);
    // The recovery journal holds the restoration once: replayed twice, it
    // would put the backup's entries in twice.
    const fs::path file(path_);
    const fs::path journalFile = file.parent_path() / ("." + file.filename().string() + ".trelvo-journal");
    const auto journal = parseRecoveryJournal(readBytes(journalFile.string()));
    ASSERT_TRUE(journal);
    ASSERT_EQ(journal->changes.size(), 1u);
    EXPECT_EQ(journal->changes[0].kind, ChangeKind::restored);

    // One undo brings back the synchronised contents, and one redo the backup's.
    ASSERT_EQ(w.undoItem()->text(), QStringLiteral("Zpět: obnovení ze zálohy"));
    w.undoItem()->trigger();
    EXPECT_EQ(w.store().header.version, "2.0");
    EXPECT_EQ(w.store().entryCount(), entryCount + 50);
    EXPECT_EQ(w.store().entries.translation(0), "rail 0");
    EXPECT_FALSE(w.modified()) << "as saved";
    w.redoItem()->trigger();
    EXPECT_EQ(w.store().header, headerBefore);
    EXPECT_EQ(w.store().entryCount(), entryCount);
    EXPECT_TRUE(w.modified());
    // The grid shows the backup's entries in order.
    w.reloadRowsAt(0);
    EXPECT_EQ(w.grid()->item(0, 0)->text(), "term10000");
    EXPECT_EQ(w.grid()->item(0, 1)->text(), "track 0");

    // Saving the restored contents keeps the synchronised file among the backups.
    w.click(ToolButton::saveChanges);
    EXPECT_FALSE(w.modified());
    EXPECT_TRUE(readBytes(path_) == before);
    backups = listBackups(path_);
    ASSERT_EQ(backups.size(), 2u);
    EXPECT_TRUE(readBytes(backups[0].path) == synchronised);
}

TEST_F(BackupsTest, OnlyLargeChangesAreBackedUpAndStornoOrNeChangeNothing) {
    TForm1Probe w = open();
    // No backups yet: the user is told when they come.
    restoreItem(w)->trigger();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Obnovení ze zálohy");
    prompts_.clearShown();

    // A small edit saved makes none; clearing a column saved makes one.
    w.addUnsavedEntry("nový", "new");
    w.click(ToolButton::saveChanges);
    EXPECT_TRUE(listBackups(path_).empty());
    const std::string beforeClearing = readBytes(path_);
    prompts_.queueAnswer(true);
    for (QAction* item : w.PopupMenu2()->actions())
        if (item->text() == QStringLiteral("Vymazat veškeré přeložené texty")) item->trigger();
    EXPECT_TRUE(listBackups(path_).empty()) << "not before the save";
    w.click(ToolButton::saveChanges);
    std::vector<DictionaryBackup> backups = listBackups(path_);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(readBytes(backups[0].path) == beforeClearing);
    EXPECT_EQ(backups[0].entryCount, entryCount + 1);
    // The next small change saved makes none.
    w.addUnsavedEntry("další", "next");
    w.click(ToolButton::saveChanges);
    EXPECT_EQ(listBackups(path_).size(), 1u);
    prompts_.clearShown();

    // Storno in the list, and Ne to the question, leave the dictionary as it is.
    prompts_.queueDialog([](QDialog&) { return false; });
    restoreItem(w)->trigger();
    prompts_.queueDialog([](QDialog& dialog) {
        dialog.accept();
        return true;
    });
    prompts_.queueAnswer(false);
    restoreItem(w)->trigger();
    EXPECT_FALSE(w.modified());
    EXPECT_EQ(w.store().entryCount(), entryCount + 2);
}

TEST_F(BackupsTest, ABackupThatCannotBeMadeIsToldAndTheSynchronisationIsSavedAllTheSame) {
    TForm1Probe w = open();
    std::ofstream(dir_ + "DSL/.trelvo-backups") << "not a folder";
    synchronise(w);
    EXPECT_FALSE(w.modified());
    EXPECT_EQ(w.store().header.version, "2.0");
    DictionaryHeader saved;
    EntryList entries;
    ASSERT_TRUE(readDictionaryFile(path_, saved, entries));
    EXPECT_EQ(saved.version, "2.0");
    bool told = false;
    for (const Prompts::Shown& shown : prompts_.shown())
        told = told || (shown.icon == Prompts::Icon::warning &&
                        shown.text.startsWith(QStringLiteral(
                            "Před uložením se nepodařilo zazálohovat původní soubor slovníku do složky")) &&
                        shown.text.contains(QStringLiteral("místo složky je tam odkaz nebo soubor")));
    EXPECT_TRUE(told);
}

TEST_F(BackupsTest, ABackupWithOtherPropertiesIsPutBackOnlyWithTheAccessCode) {
    TForm1Probe w = open();
    w.setIdAndAccessCode("0A0A0A0Atajne");
    synchronise(w);
    ASSERT_EQ(listBackups(path_).size(), 1u);
    const auto restoreWithCode = [&](const QString& code) {
        prompts_.clearShown();
        prompts_.queueDialog([](QDialog& dialog) {
            dialog.accept();
            return true;
        });
        prompts_.queueAnswer(true);
        prompts_.queueDialog([code](QDialog& dialog) {
            static_cast<TForm5&>(dialog).Edit1->setText(code);
            return true;
        });
        restoreItem(w)->trigger();
    };
    restoreWithCode(QStringLiteral("jine"));
    ASSERT_FALSE(prompts_.shown().empty());
    EXPECT_EQ(prompts_.shown().back().text, "Nesprávná hodnota přístupového kódu!");
    EXPECT_EQ(w.store().header.version, "2.0");
    EXPECT_FALSE(w.modified());
    restoreWithCode(QStringLiteral("tajne"));
    EXPECT_EQ(w.store().header.version, "");
    EXPECT_EQ(w.store().entryCount(), entryCount);
    EXPECT_TRUE(w.modified());
}

TEST_F(BackupsTest, ARestoredBackupLeftUnsavedByACrashIsRecoveredAsOneChange) {
    TForm1Probe w = open();
    synchronise(w);
    ASSERT_EQ(listBackups(path_).size(), 1u);
    prompts_.queueDialog([](QDialog& dialog) {
        dialog.accept();
        return true;
    });
    prompts_.queueAnswer(true);
    restoreItem(w)->trigger();
    ASSERT_EQ(w.store().entryCount(), entryCount);
    ASSERT_TRUE(w.modified());

    window_.reset();  // as a kill leaves it: no close question
    prompts_.clearShown();
    prompts_.queueAnswer(true);  // Ano: recover
    w = startOnFirst();
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_TRUE(prompts_.shown()[0].text.endsWith(QStringLiteral("(1). Mají se obnovit?")))
        << prompts_.shown()[0].text.toStdString();
    // The backup's entries, each once, and none of the edition's.
    const EntryList& entries = w.store().entries;
    ASSERT_EQ(entries.size(), entryCount);
    std::set<std::string> terms;
    for (std::size_t n = 0; n < entries.size(); ++n) {
        terms.insert(std::string(entries.term(n)));
        EXPECT_EQ(entries.translation(n).substr(0, 6), "track ");
    }
    EXPECT_EQ(terms.size(), entryCount);
    EXPECT_TRUE(w.modified());
}

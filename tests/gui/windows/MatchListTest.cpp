#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <condition_variable>
#include <mutex>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "core/settings/UserSettings.h"
#include "gui/windows/MatchList.h"
#include "gui/windows/Tgridik.h"

using namespace trelvo;

namespace {

// 1,200 numbered entries and a few real terms among them.
EntryList terms() {
    EntryList entries;
    for (int i = 0; i < 1200; ++i) {
        char term[32], translation[32];
        std::snprintf(term, sizeof term, "kolej %04d", i);
        std::snprintf(translation, sizeof translation, "track %04d", 1199 - i);
        entries.append(term, translation, "", 0);
    }
    entries.append(CodePage::fromUtf8("přibližovací závěr", 1250), "approach locking", "", 0);
    entries.append(CodePage::fromUtf8("závěr jízdní cesty", 1250), "route locking", "", 0);
    entries.append(CodePage::fromUtf8("návěstidlo", 1250), "signal", CodePage::fromUtf8("hlavní", 1250), 0);
    return entries;
}

class MatchListTest : public TestProgram {
protected:
    TForm1Probe open() {
        dictionary("a.dsl", "Zabezpečovací technika", terms());
        TForm1Probe w = start();
        w.window().resize(760, 560);
        w.window().show();
        w.chooseDictionary(0);
        return w;
    }
    static QTreeWidget* rows(TForm1Probe w) { return w.matchList()->rows(); }
    static QString count(TForm1Probe w) { return w.matchList()->count()->text(); }
    // Types text into the emptied search box and waits for the list to show what it finds.
    static bool typeAndWait(TForm1Probe w, const QString& text) {
        w.Edit1()->setFocus();
        w.Edit1()->clear();
        w.matchList()->count()->clear();  // what the last text found
        QTest::keyClicks(w.Edit1(), text);
        return QTest::qWaitFor([&] { return !w.matchList()->finding() && !count(w).isEmpty(); }, 10000);
    }
    // The term under the grid's cursor, in UTF-8.
    static std::string termUnderCursor(TForm1Probe w) {
        const DictionaryIndex& index = w.store().indexes[static_cast<std::size_t>(w.direction().sourceSide)];
        return CodePage::toUtf8(w.store().entries.term(index.entryNumber(w.currentPosition())), 1250);
    }
};

TEST_F(MatchListTest, TypingFillsTheListAfterThePauseAndEnterOnARowMovesTheGridCursorThere) {
    TForm1Probe w = open();
    w.Edit1()->setFocus();
    QTest::keyClicks(w.Edit1(), QStringLiteral("zaver"));
    EXPECT_EQ(rows(w)->topLevelItemCount(), 0) << "nothing before the pause";
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows(w)->topLevelItemCount() == 2; }, 10000)) << count(w).toStdString();
    EXPECT_EQ(count(w), QStringLiteral("Nalezeny 2 záznamy"));
    EXPECT_EQ(rows(w)->topLevelItem(0)->text(0), QStringLiteral("závěr jízdní cesty"));
    EXPECT_EQ(rows(w)->topLevelItem(0)->data(0, Qt::UserRole).toString(), QStringLiteral("<b>závěr</b> jízdní cesty"));
    EXPECT_EQ(rows(w)->topLevelItem(0)->text(3), QStringLiteral("Čeština"));

    // F6 from the search box into the list, Down to the second row, Enter.
    QTest::keyClick(w.Edit1(), Qt::Key_F6);
    ASSERT_TRUE(rows(w)->hasFocus());
    QTest::keyClick(rows(w), Qt::Key_Down);
    QTest::keyClick(rows(w), Qt::Key_Return);
    EXPECT_EQ(termUnderCursor(w), "přibližovací závěr");
    EXPECT_EQ(w.direction().sourceSide, 0);

    // An English word: the row says so, and choosing it turns the direction.
    ASSERT_TRUE(typeAndWait(w, QStringLiteral("signal")));
    EXPECT_EQ(count(w), QStringLiteral("Nalezen 1 záznam"));
    EXPECT_EQ(rows(w)->topLevelItem(0)->text(3), QStringLiteral("Angličtina"));
    QTest::keyClick(w.Edit1(), Qt::Key_F6);
    QTest::keyClick(rows(w), Qt::Key_Return);
    EXPECT_EQ(w.direction().sourceSide, 1);
    const DictionaryIndex& english = w.store().indexes[1];
    EXPECT_EQ(w.store().entries.translation(english.entryNumber(w.currentPosition())), "signal");

    // Many matches: 500 rows, and the count says how many more there are.
    ASSERT_TRUE(typeAndWait(w, QStringLiteral("kolej")));
    EXPECT_EQ(rows(w)->topLevelItemCount(), 500);
    EXPECT_EQ(count(w), QStringLiteral("Nalezeno 1200 záznamů, zobrazeno prvních 500 – zbývá ještě 700"));
}

TEST_F(MatchListTest, AKeyCancelsAFindUnderWayAndOnlyTheLastTextIsShown) {
    TForm1Probe w = open();
    // The first find waits for the stems until the test lets it go on.
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    w.matchList()->setStemSource([&](const std::string&) -> std::shared_ptr<const WordStems> {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return released; });
        return nullptr;
    });
    w.Edit1()->setFocus();
    QTest::keyClicks(w.Edit1(), QStringLiteral("zaver"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.matchList()->finding(); }, 5000));
    QTest::keyClick(w.Edit1(), Qt::Key_Backspace);
    EXPECT_FALSE(w.matchList()->finding()) << "the key cancelled the find";
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    // What comes is the find of "zave", not the cancelled one of "zaver".
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.matchList()->finding() && !count(w).isEmpty(); }, 10000));
    EXPECT_EQ(w.Edit1()->text(), QStringLiteral("zave"));
    EXPECT_EQ(count(w), QStringLiteral("Nalezeny 2 záznamy"));
}

TEST_F(MatchListTest, TheListEmptiesWhenAnotherDictionaryOpensAndStaysHiddenOnceHidden) {
    TForm1Probe w = open();
    dictionary("b.dsl", "Druhý", true, {{"výhybka", "points"}});
    w.window().close();
    window_.reset();
    w = start();
    w.window().resize(760, 560);
    w.window().show();
    w.chooseDictionary(0);
    ASSERT_TRUE(typeAndWait(w, QStringLiteral("zaver")));
    ASSERT_EQ(rows(w)->topLevelItemCount(), 2);
    w.chooseDictionary(1);
    EXPECT_EQ(rows(w)->topLevelItemCount(), 0);
    EXPECT_EQ(count(w), QString());

    // Hidden with its button, remembered in the user's own settings, shown by Ctrl+F.
    ASSERT_TRUE(w.matchList()->isVisible());
    const int gridHeight = w.grid()->height();
    w.matchList()->hideButton()->click();
    EXPECT_FALSE(w.matchList()->isVisible());
    EXPECT_GT(w.grid()->height(), gridHeight) << "the grid takes the room";
    UserSettings kept;
    ASSERT_TRUE(readUserSettings(dir_ + "trelvo.ini", kept));
    EXPECT_TRUE(kept.matchListHidden);
    w.window().close();
    window_.reset();
    w = start();
    w.window().show();
    w.window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window()));
    EXPECT_FALSE(w.matchList()->isVisible());
    QTest::keyClick(w.Edit1(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(w.matchList()->isVisible());
    UserSettings shown;
    ASSERT_TRUE(readUserSettings(dir_ + "trelvo.ini", shown));
    EXPECT_FALSE(shown.matchListHidden);
}

TEST(MatchListCount, SaysHowManyInCzechAndHowManyMoreThanShown) {
    EXPECT_EQ(MatchList::countText(0, 0), QStringLiteral("Nalezeno 0 záznamů"));
    EXPECT_EQ(MatchList::countText(1, 1), QStringLiteral("Nalezen 1 záznam"));
    EXPECT_EQ(MatchList::countText(4, 4), QStringLiteral("Nalezeny 4 záznamy"));
    EXPECT_EQ(MatchList::countText(5, 5), QStringLiteral("Nalezeno 5 záznamů"));
    EXPECT_EQ(MatchList::countText(66, 66), QStringLiteral("Nalezeno 66 záznamů"));
    EXPECT_EQ(MatchList::countText(502, 500), QStringLiteral("Nalezeno 502 záznamů, zobrazeno prvních 500 – zbývají ještě 2"));
    EXPECT_EQ(MatchList::countText(501, 500), QStringLiteral("Nalezeno 501 záznamů, zobrazeno prvních 500 – zbývá ještě 1"));
}

}  // namespace

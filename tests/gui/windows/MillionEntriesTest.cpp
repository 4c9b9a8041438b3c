// A day's work on a dictionary of a million entries through the window:
// every step's time is printed (times differ between machines, so none is
// asserted) and nothing of the work may be lost on the way.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "gui/windows/Tgridik.h"

using namespace trelvo;

namespace {

constexpr int million = 1000000;

// Two-word terms whose first words sort apart from their numbers, so that
// the Czech and the English order differ.
EntryList millionEntries() {
    static const char* const czech[] = {"n\xE1v\xECstidlo", "v\xFDhybka", "kolejov\xFD obvod", "p\xF8" "ejezd",
                                        "stav\xEC" "dlo", "z\xE1vora", "n\xE1v\xECst", "po\xE8\xEDta\xE8 n\xE1prav"};
    static const char* const english[] = {"signal", "points", "track circuit", "level crossing",
                                          "interlocking", "barrier", "aspect", "axle counter"};
    EntryList entries;
    entries.reserve(million);
    char term[48], translation[48];
    for (int i = 0; i < million; ++i) {
        std::snprintf(term, sizeof term, "%s %07d", czech[i % 8], static_cast<int>((i * 7919LL) % million));
        std::snprintf(translation, sizeof translation, "%s %07d", english[(i / 8) % 8], i);
        entries.append(term, translation, i % 5 == 0 ? "zkr." : "", 0);
    }
    return entries;
}

class MillionEntriesTest : public TestProgram {
protected:
    // Runs step and prints how long it took.
    template <typename Step>
    void timed(const char* name, Step step) {
        QElapsedTimer clock;
        clock.start();
        step();
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        std::printf("  %-22s %8.1f ms\n", name, ms);
        RecordProperty(name, static_cast<int>(ms + 0.5));
    }
};

}  // namespace

TEST_F(MillionEntriesTest, OpenSearchMoveEditSaveCloseAndReopen) {
    EntryList expected = millionEntries();
    dictionary("velky.dsl", "Velký slovník", expected);
    TForm1Probe w = start();
    w.window().resize(700, 450);
    w.window().show();
    QApplication::setActiveWindow(&w.window());
    // The dictionary is opened here rather than by the start-up timer, so that
    // the opening can be timed on its own.
    w.Timer3()->stop();

    timed("open", [&] { w.chooseDictionary(0); });
    ASSERT_EQ(w.store().entryCount(), static_cast<std::size_t>(million));

    w.Timer2()->stop();
    // Entry 4: "stavědlo" and 4 · 7919.
    w.Edit1()->setText(QStringLiteral("stavědlo 0031676"));
    timed("search", [&] { QTest::keyClick(w.Edit1(), Qt::Key_Return); });
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "stavědlo 0031676");

    w.grid()->setFocus();
    timed("End", [&] { QTest::keyClick(w.grid(), Qt::Key_End); });
    EXPECT_EQ(w.currentPosition(), static_cast<std::size_t>(million - 1));
    const std::size_t bottom = w.currentPosition();
    timed("Page Up", [&] { QTest::keyClick(w.grid(), Qt::Key_PageUp); });
    EXPECT_LT(w.currentPosition(), bottom);

    // The translation of the entry under the cursor is edited in its cell.
    const int row = w.grid()->currentRow();
    const std::uint32_t edited = w.store().indexes[0].entryNumber(w.currentPosition());
    timed("edit a cell", [&] {
        w.grid()->setCurrentCell(row, 1);
        w.grid()->editItem(w.grid()->item(row, 1));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->setText(QStringLiteral("distant signal"));
        QTest::keyClick(editor, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.grid()->editing(); }));
    });
    ASSERT_EQ(w.store().entries.translation(edited), "distant signal");
    expected.setText(edited, 1, "distant signal");
    expected.setFlags(edited, efUserModified);

    timed("save", [&] { w.toolButton(ToolButton::saveChanges)->click(); });
    EXPECT_FALSE(w.modified());
    timed("close", [&] { EXPECT_TRUE(w.window().close()); });

    TForm1Probe again = start();
    again.window().show();
    again.Timer3()->stop();
    timed("reopen", [&] { again.chooseDictionary(0); });
    EXPECT_TRUE(again.store().entries == expected) << "every entry as it was, and the edit with its mark";
    EXPECT_TRUE(prompts_.shown().empty()) << "no step asked or warned";
}

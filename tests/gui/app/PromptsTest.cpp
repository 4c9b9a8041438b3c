// The real message boxes behind the prompts seam: which button a stray Enter
// or Escape presses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/app/Prompts.h"

using namespace trelvo;

namespace {

// Presses key in the box once it is shown.
void pressInTheBox(Qt::Key key) {
    QTimer::singleShot(0, [key] {
        if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, key);
    });
}

}  // namespace

TEST(Prompts, EnterPressesTheDefaultAndEscapeAnswersNo) {
    Prompts prompts;
    pressInTheBox(Qt::Key_Return);
    EXPECT_TRUE(prompts.ask(nullptr, QStringLiteral("Upozornění"), QStringLiteral("Uložit?")));
    pressInTheBox(Qt::Key_Return);
    EXPECT_FALSE(prompts.ask(nullptr, QStringLiteral("!!!Upozornění!!!"), QStringLiteral("Vymazat?"),
                             Prompts::Icon::warning, Prompts::Default::no))
        << "Enter on a destructive question keeps everything";
    pressInTheBox(Qt::Key_Escape);
    EXPECT_FALSE(prompts.ask(nullptr, QStringLiteral("Upozornění"), QStringLiteral("Uložit?")));
    ASSERT_EQ(prompts.shown().size(), 3u);
    EXPECT_EQ(prompts.shown()[1].defaultButton, Prompts::Default::no);
}

TEST(Prompts, TheQuestionWithAWayBackGoesBackOnEscape) {
    Prompts prompts;
    QStringList buttons;
    QTimer::singleShot(0, [&buttons] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons()) buttons << button->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(prompts.askOrGoBack(nullptr, QStringLiteral("Upozornění"), QStringLiteral("Uložit?")),
              Prompts::Answer::back);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Ano"), QStringLiteral("Ne"), QStringLiteral("Storno")}));

    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
    EXPECT_EQ(prompts.askOrGoBack(nullptr, QStringLiteral("Upozornění"), QStringLiteral("Uložit?")),
              Prompts::Answer::yes)
        << "Enter keeps its meaning: save";
}

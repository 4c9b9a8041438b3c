// The real message boxes behind the prompts seam: which button a stray Enter
// or Escape presses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
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

// A choice of buttons of its own: Enter presses the first, Escape the last,
// and a click the one clicked; in test mode the queue answers, else the last.
TEST(Prompts, AChoiceTakesItsFirstButtonOnEnterAndItsLastOnEscape) {
    const QStringList labels{QStringLiteral("Sloučit"), QStringLiteral("Ano"), QStringLiteral("Ne")};
    Prompts prompts;
    QStringList shown;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons()) shown << button->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(prompts.choose(nullptr, Prompts::Icon::warning, QStringLiteral("Upozornění"), QStringLiteral("?"), labels), 0);
    EXPECT_EQ(shown, labels);
    pressInTheBox(Qt::Key_Escape);
    EXPECT_EQ(prompts.choose(nullptr, Prompts::Icon::warning, QStringLiteral("Upozornění"), QStringLiteral("?"), labels), 2);
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == QStringLiteral("Ano")) button->click();
    });
    EXPECT_EQ(prompts.choose(nullptr, Prompts::Icon::warning, QStringLiteral("Upozornění"), QStringLiteral("?"), labels), 1);

    Prompts test(true);
    test.queueChoice(1);
    EXPECT_EQ(test.choose(nullptr, Prompts::Icon::warning, QStringLiteral("Upozornění"), QStringLiteral("?"), labels), 1);
    EXPECT_EQ(test.choose(nullptr, Prompts::Icon::warning, QStringLiteral("Upozornění"), QStringLiteral("?"), labels), 2);
    ASSERT_EQ(test.shown().size(), 2u);
    EXPECT_EQ(test.shown()[0].buttons, labels);
}

// The real save dialog: it opens where it is told, adds the extension only to
// a bare name, and leaves the question about an existing file to its caller.
TEST(Prompts, TheSaveDialogStartsInItsFolderAndAsksNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(QFile(folder.filePath(QStringLiteral("seznam.csv"))).open(QIODevice::WriteOnly));
    Prompts prompts;
    auto choose = [&](const QString& name) {
        QString startedIn;
        bool asked = false;
        // Watches for a question of the chooser's own while the dialog is up.
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = true;
                box->button(QMessageBox::Yes)->click();
            }
        });
        watcher.start(10);
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            startedIn = dialog->directory().absolutePath();
            dialog->selectFile(name);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QString path = prompts.saveFile(nullptr, QStringLiteral("Export"), QStringLiteral("Textový soubor (*.txt)"),
                                        folder.path(), QStringLiteral("txt"));
        watcher.stop();
        EXPECT_EQ(startedIn, QDir(folder.path()).absolutePath());
        EXPECT_FALSE(asked) << name.toStdString();
        return QFileInfo(path).fileName();
    };
    EXPECT_EQ(choose(QStringLiteral("seznam.csv")), QStringLiteral("seznam.csv"));
    EXPECT_EQ(choose(QStringLiteral("seznam")), QStringLiteral("seznam.txt"));
    EXPECT_EQ(prompts.startFolders(), (std::vector<QString>{folder.path(), folder.path()}));
}

TEST(Prompts, TextsFromOutsideAreShownAsTheyAre) {
    Prompts prompts;
    const QString version = QStringLiteral("<font color=red><b>KRITICKÁ AKTUALIZACE</b></font>");
    Qt::TextFormat format = Qt::RichText;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        format = box->textFormat();
        shown = box->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    prompts.ask(nullptr, QStringLiteral("Upozornění ..."), QStringLiteral("verze: %1.").arg(version));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, QStringLiteral("verze: %1.").arg(version));
}

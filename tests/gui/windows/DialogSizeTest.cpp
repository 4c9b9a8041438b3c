// The dialogs at their designed sizes, their texts whole, centred over the
// main window at the size they are shown with.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <functional>

#include "TestProgram.h"
#include "gui/windows/TForm4.h"
#include "gui/windows/TForm5.h"
#include "gui/windows/TNewTrelvo.h"

using namespace trelvo;

namespace {

class DialogSizeTest : public TestProgram {
protected:
    // What the user sees of the dialog the command shows: its size, whether
    // it stands centred over the main window, and the texts it cuts off.
    struct Seen {
        QSize size;
        bool centred = false;
        QStringList cut;
    };

    // Runs the command; the dialog it shows is looked at and cancelled.
    Seen shownBy(const std::function<void()>& command) {
        Seen seen;
        prompts_.queueDialog([this, &seen](QDialog& dialog) {
            const TForm1Probe w = *window_;
            // The position the command gave it, before the window system could move it.
            const QPoint placed = dialog.pos();
            dialog.show();
            seen.size = dialog.size();
            seen.centred = placed == QPoint(w.window().x() + w.window().width() / 2 - dialog.width() / 2,
                                            w.window().y() + w.window().height() / 2 - dialog.height() / 2);
            seen.cut = cutTexts(dialog);
            dialog.hide();
            return false;
        });
        command();
        return seen;
    }

    // The designed height, the designed width or no more than widest, centred,
    // and every text whole.
    static void expectFitted(const Seen& seen, QSize designed, int widest) {
        EXPECT_EQ(seen.size.height(), designed.height());
        EXPECT_GE(seen.size.width(), designed.width());
        EXPECT_LE(seen.size.width(), widest) << "no wider than its texts need";
        EXPECT_TRUE(seen.centred) << "centred at the size it is shown with";
        EXPECT_TRUE(seen.cut.isEmpty()) << seen.cut.join(QStringLiteral(", ")).toStdString();
    }

    static QStringList cutTexts(const QWidget& dialog) {
        QStringList cut;
        auto check = [&cut](const QWidget* widget, const QString& text, int needed) {
            if (widget->isVisibleTo(widget->window()) && needed > widget->width()) cut << text;
        };
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            check(label, label->text(), label->sizeHint().width());
        for (const QAbstractButton* box : dialog.findChildren<QAbstractButton*>()) {
            if (qobject_cast<const QPushButton*>(box)) {
                // A push button's own minimum is wider than its text needs.
                const int margin = box->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, box);
                check(box, box->text(), box->fontMetrics().horizontalAdvance(box->text()) + 2 * margin);
            } else {
                check(box, box->text(), box->sizeHint().width());
            }
        }
        for (const QComboBox* list : dialog.findChildren<QComboBox*>())
            check(list, list->currentText(), list->sizeHint().width());
        for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
            check(group, group->title(), group->minimumSizeHint().width());
        for (const QWidget* field : dialog.findChildren<QWidget*>()) {
            if (field->isVisibleTo(&dialog) && field->height() < field->minimumSizeHint().height() &&
                !qobject_cast<const QLabel*>(field))
                cut << QStringLiteral("%1 %2 high")
                           .arg(QString::fromLatin1(field->metaObject()->className()))
                           .arg(field->height());
        }
        return cut;
    }
};

}  // namespace

TEST_F(DialogSizeTest, TheAccessCodeDialogKeepsItsSizeAndItsLabelsWhole) {
    dictionary("a.dsl", "Chráněný");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    w.setIdAndAccessCode("0A1B2C3DTajne");
    expectFitted(shownBy([&w] { w.click(ToolButton::settings); }), QSize(248, 96), 248);
    EXPECT_EQ(accessCode_->Label3->text(), "0A1B2C3D");
}

TEST_F(DialogSizeTest, ThePropertiesDialogHasItsHeightAndOnlyTheWidthItsTextsNeed) {
    TForm1Probe w = start();
    expectFitted(shownBy([&w] { w.click(ToolButton::newDictionary); }), QSize(360, 192), 480);
    // Every character set's name fits the list, not only the one chosen.
    for (int i = 0; i < properties_->ComboBox1->count(); ++i) {
        properties_->ComboBox1->setCurrentIndex(i);
        EXPECT_LE(properties_->ComboBox1->sizeHint().width(), properties_->ComboBox1->width());
    }
}

TEST_F(DialogSizeTest, TheExportDialogHasItsHeightAndOnlyTheWidthItsTextsNeed) {
    TForm1Probe w = start();
    expectFitted(shownBy([&w] { w.click(ToolButton::exportEntries); }), QSize(305, 150), 380);
}

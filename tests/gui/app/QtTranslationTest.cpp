// Qt's standard dialogs in Czech, and a quiet fallback without the translation.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>

#include "gui/app/QtTranslation.h"

using namespace trelvo;

namespace {

// Each test leaves the application as it found it: English Qt texts.
class QtTranslation : public ::testing::Test {
protected:
    void TearDown() override { qDeleteAll(qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)); }

    static QString cancelText() {
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        return buttons.button(QDialogButtonBox::Cancel)->text();
    }
};

TEST_F(QtTranslation, TheStandardDialogsSpeakCzech) {
    ASSERT_TRUE(installQtTranslation(*qApp)) << "is qt6-translations-l10n installed?";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Save"), QStringLiteral("&Uložit"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Hledat v:"));
    EXPECT_EQ(cancelText(), QStringLiteral("Zrušit"));
}

TEST_F(QtTranslation, WithoutTheTranslationTheDialogsStayInEnglish) {
    QTemporaryDir empty;
    EXPECT_FALSE(installQtTranslation(*qApp, empty.path()));
    EXPECT_FALSE(installQtTranslation(*qApp, empty.path() + QStringLiteral("/missing")));
    EXPECT_TRUE(qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly).isEmpty());
    EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
}

}  // namespace

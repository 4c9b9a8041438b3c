#include "TForm5.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "DialogSize.h"
#include "FrameColours.h"
#include "gui/controls/ProgramFrame.h"

namespace trelvo {

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vložení přístupového kódu"));
    putFrame(this, {QStringLiteral("Vložení přístupového kódu"), captionRed, captionBlack});
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, frameTop + 4, 6, 6);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(4);
    layout->addWidget(new QLabel(QStringLiteral("Přístupový kód:"), this), 0, 0);
    Edit1 = new QLineEdit(this);
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // every typed character as "*"
    layout->addWidget(Edit1, 0, 1, 1, 2);
    // The ID under its label, the buttons beside the two.
    layout->addWidget(new QLabel(QStringLiteral("ID slovníku:"), this), 1, 0);
    Label3 = new QLabel(this);
    Label3->setTextFormat(Qt::PlainText);  // the dictionary's ID, as stored
    layout->addWidget(Label3, 2, 0);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Storno"), this);
    ok->setDefault(true);
    for (QPushButton* button : {ok, cancel}) {
        button->setFixedWidth(64);  // the style's own 80 pixels would not leave room for the code
        layout->addWidget(button, 1, button == ok ? 1 : 2, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    }
    layout->setColumnStretch(0, 1);
    fitDialog(*this, QSize(248, 96));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // Storno empties the box, which ends the command without a word.
    connect(cancel, &QPushButton::clicked, this, [this] {
        Edit1->clear();
        reject();
    });
    connect(this, &QDialog::rejected, Edit1, &QLineEdit::clear);
}

void TForm5::prepare(const QString& id) {
    Label3->setText(id);
    Edit1->clear();
}

QString TForm5::code() const { return Edit1->text(); }

}  // namespace trelvo

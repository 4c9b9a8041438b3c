#include "TForm4.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "DialogSize.h"
#include "FrameColours.h"
#include "gui/controls/ProgramFrame.h"

namespace trelvo {

const QString TForm4::blank = QStringLiteral("<blank>");

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Export do textového souboru"));
    putFrame(this, {QStringLiteral("Export do textového souboru"), captionBlue, captionNavy, false, false,
                    QStringLiteral("Umožňovat vkládání nových záznamů")});

    // Rows as close as the check boxes allow, so that the dialog keeps its height.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, frameTop + 3, 8, 5);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    CheckBox1 = new QCheckBox(QStringLiteral("Exportovat podle filtru"), this);
    CheckBox2 = new QCheckBox(QStringLiteral("Exportovat jen přeložené"), this);
    auto* format = new QGroupBox(QStringLiteral("Výstupní formát"), this);
    RadioButton1 = new QRadioButton(QStringLiteral("Textový soubor"), format);
    RadioButton2 = new QRadioButton(QStringLiteral("Formát DSL"), format);
    RadioButton1->setChecked(true);
    auto* formatLayout = new QVBoxLayout(format);
    formatLayout->setContentsMargins(6, 2, 6, 2);
    formatLayout->setSpacing(0);
    formatLayout->addWidget(RadioButton1);
    formatLayout->addWidget(RadioButton2);

    ListBox1 = new QListWidget(this);
    ListBox2 = new QListWidget(this);
    for (QListWidget* list : {ListBox1, ListBox2}) list->setMinimumSize(64, 60);
    Button3 = new QPushButton(QStringLiteral("<-"), this);
    Button4 = new QPushButton(QStringLiteral("->"), this);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button2 = new QPushButton(QStringLiteral("Storno"), this);
    for (QPushButton* b : {Button3, Button4}) {
        b->setFixedWidth(26);
        b->setAutoDefault(false);
    }
    Button1->setDefault(true);

    grid->addWidget(CheckBox1, 0, 0);
    grid->addWidget(CheckBox2, 1, 0);
    grid->addWidget(format, 2, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("Filtr:"), this), 0, 1);
    grid->addWidget(ListBox1, 1, 1, 2, 1);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(Button3);
    moves->addWidget(Button4);
    moves->addStretch();
    grid->addLayout(moves, 1, 2, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Dostupné:"), this), 0, 3);
    grid->addWidget(ListBox2, 1, 3, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch();
    for (QPushButton* b : {Button1, Button2}) {
        b->setFixedWidth(64);  // the style's own 80 pixels would narrow the lists
        buttons->addWidget(b);
    }
    grid->addLayout(buttons, 3, 1, 1, 3, Qt::AlignBottom);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
    fitDialog(*this, QSize(305, 150));

    connect(Button3, &QPushButton::clicked, this, [this] {
        QListWidgetItem* chosen = ListBox2->currentItem();
        if (!chosen || !ListBox1->findItems(chosen->text(), Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
            return;
        ListBox1->addItem(chosen->text());
    });
    connect(Button4, &QPushButton::clicked, this, [this] { delete ListBox1->currentItem(); });
    connect(Button1, &QPushButton::clicked, this, [this] {
        if (!onOk || onOk()) accept();
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm4::setAvailableNotes(const QStringList& notes) {
    ListBox2->clear();
    ListBox2->addItems(notes);
}

TForm4::Values TForm4::values() const {
    return {RadioButton2->isChecked(), CheckBox1->isChecked(), CheckBox2->isChecked(), admittedNotes()};
}

QStringList TForm4::admittedNotes() const {
    QStringList notes;
    for (int i = 0; i < ListBox1->count(); ++i) {
        QString text = ListBox1->item(i)->text();
        notes << (text == blank ? QString() : text);
    }
    return notes;
}

}  // namespace trelvo

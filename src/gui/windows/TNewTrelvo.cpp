#include "TNewTrelvo.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "DialogSize.h"
#include "FrameColours.h"
#include "UiText.h"
#include "core/dictionary/CodePage.h"
#include "gui/app/Prompts.h"
#include "gui/controls/ProgramFrame.h"

namespace trelvo {

namespace {

std::string bytes(const QLineEdit* box) { return uiBytes(box->text()); }

void setBytes(QLineEdit* box, const std::string& text) { box->setText(uiText(text)); }

const char* const charsetNames[DictionaryProperties::charsetItems] = {
    "Standardní dle Windows", "Středoevropská", "Cyrilika", "Pobaltská", "Západní", "Turecká"};

}  // namespace

TNewTrelvo::TNewTrelvo(Prompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
    setWindowTitle(QStringLiteral("Vlastnosti slovníku"));
    putFrame(this, {QStringLiteral("Vlastnosti slovníku"), captionBlue, captionNavy});
    // Rows as close as edit boxes allow, so that the dialog keeps its height.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, frameTop + 3, 8, 5);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    auto box = [this] { return new QLineEdit(this); };
    // A label and its box in one cell of the grid, where a row has two pairs.
    auto pair = [&label](const char* text, QWidget* field) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(label(text));
        row->addWidget(field, 1);
        return row;
    };

    Edit1 = box();
    grid->addWidget(label("Název slovníku:"), 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 4);

    grid->addWidget(label("Název:"), 1, 1);
    grid->addWidget(label("Znaková sada:"), 1, 2);
    const char* languageLabels[2] = {"Výchozí jazyk:", "Přeložený jazyk:"};
    Edit2 = box();
    Edit3 = box();
    ComboBox1 = new QComboBox(this);
    ComboBox2 = new QComboBox(this);
    QLineEdit* names[2] = {Edit2, Edit3};
    QComboBox* lists[2] = {ComboBox1, ComboBox2};
    for (int k = 0; k < 2; ++k) {
        const auto at = static_cast<std::size_t>(k);
        for (const char* name : charsetNames) lists[k]->addItem(QString::fromUtf8(name));
        pictureButtons[at] = new QPushButton(QStringLiteral("ob"), this);
        removeButtons[at] = new QPushButton(QStringLiteral("x"), this);
        pictureButtons[at]->setToolTip(QStringLiteral("Přiřadí obrázek pro daný jazyk"));
        removeButtons[at]->setToolTip(QStringLiteral("Zruší přiřazení obrázku"));
        for (QPushButton* b : {pictureButtons[at], removeButtons[at]}) {
            b->setFixedWidth(28);
            b->setAutoDefault(false);
        }
        names[k]->setMinimumWidth(90);  // room for a language's name
        grid->addWidget(label(languageLabels[k]), 2 + k, 0);
        grid->addWidget(names[k], 2 + k, 1);
        grid->addWidget(lists[k], 2 + k, 2);
        grid->addWidget(pictureButtons[at], 2 + k, 3);
        grid->addWidget(removeButtons[at], 2 + k, 4);
        connect(pictureButtons[at], &QPushButton::clicked, this, [this, k] { choosePicture(k); });
        connect(removeButtons[at], &QPushButton::clicked, this,
                [this, k] { pendingImage[static_cast<std::size_t>(k)] = " "; });
    }

    Edit4 = box();
    Edit5 = box();
    Edit6 = box();
    Edit7 = box();
    Edit8 = box();
    grid->addWidget(label("Autor:"), 4, 0);
    grid->addWidget(Edit4, 4, 1);
    grid->addLayout(pair("Verze:", Edit5), 4, 2, 1, 3);
    grid->addWidget(label("Poznámka: "), 5, 0);
    grid->addWidget(Edit8, 5, 1, 1, 4);
    grid->addWidget(label("Přístupový kód:"), 6, 0);
    grid->addWidget(Edit6, 6, 1);
    QPalette face = Edit7->palette();
    face.setColor(QPalette::Base, palette().color(QPalette::Button));
    Edit7->setPalette(face);
    Edit7->setMaxLength(8);
    // The eight digits of the ID stay whole.
    Edit7->setMinimumWidth(Edit7->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDDD")) + 10);

    // OK and Storno close the row of the ID, as the last row would not fit.
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button2 = new QPushButton(QStringLiteral("Storno"), this);
    Button1->setDefault(true);
    QHBoxLayout* last = pair("ID:", Edit7);
    for (QPushButton* b : {Button1, Button2}) {
        b->setFixedWidth(64);  // the style's own 80 pixels would crowd out the ID
        last->addWidget(b);
    }
    grid->addLayout(last, 6, 2, 1, 3);
    grid->setColumnStretch(1, 1);
    fitDialog(*this, QSize(360, 192));
    connect(Button1, &QPushButton::clicked, this, [this] {
        if (!onOk || onOk()) accept();
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TNewTrelvo::choosePicture(int k) {
    QString path = prompts_.openFile(this, QStringLiteral("Obrázek jazyka"), QStringLiteral("BMP Files (*.bmp)"),
                                     pictureFolder);
    if (!path.isEmpty()) pictureFolder = QFileInfo(path).absolutePath();
    // A cancelled choice removes the picture on OK.
    pendingImage[static_cast<std::size_t>(k)] = path.isEmpty() ? std::string(" ") : path.toStdString();
}

DictionaryProperties TNewTrelvo::values() const {
    DictionaryProperties p;
    p.name = bytes(Edit1);
    p.languageName = {bytes(Edit2), bytes(Edit3)};
    p.charsetItem = {ComboBox1->currentIndex(), ComboBox2->currentIndex()};
    p.author = bytes(Edit4);
    p.version = bytes(Edit5);
    p.note = bytes(Edit8);
    p.accessCode = bytes(Edit6);
    p.id = bytes(Edit7);
    p.pendingImage = pendingImage;
    return p;
}

void TNewTrelvo::setValues(const DictionaryProperties& p) {
    setBytes(Edit1, p.name);
    setBytes(Edit2, p.languageName[0]);
    setBytes(Edit3, p.languageName[1]);
    ComboBox1->setCurrentIndex(p.charsetItem[0]);
    ComboBox2->setCurrentIndex(p.charsetItem[1]);
    setBytes(Edit4, p.author);
    setBytes(Edit5, p.version);
    setBytes(Edit8, p.note);
    setBytes(Edit6, p.accessCode);
    setBytes(Edit7, p.id);
    pendingImage = {};
}

}  // namespace trelvo

#include "TNewTrelvo.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
    setMinimumSize(360, 192);
    putFrame(this, {QStringLiteral("Vlastnosti slovníku"), 14645570});
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, frameTop + 4, 8, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    auto box = [this] { return new QLineEdit(this); };

    Edit1 = box();
    grid->addWidget(label("Název slovníku:"), 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 5);

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
        for (const char* name : charsetNames) lists[k]->addItem(QString::fromUtf8(name));
        pictureButtons[static_cast<std::size_t>(k)] = new QPushButton(QStringLiteral("ob"), this);
        removeButtons[static_cast<std::size_t>(k)] = new QPushButton(QStringLiteral("x"), this);
        pictureButtons[static_cast<std::size_t>(k)]->setToolTip(QStringLiteral("Přiřadí obrázek pro daný jazyk"));
        removeButtons[static_cast<std::size_t>(k)]->setToolTip(QStringLiteral("Zruší přiřazení obrázku"));
        for (QPushButton* b : {pictureButtons[static_cast<std::size_t>(k)], removeButtons[static_cast<std::size_t>(k)]}) {
            b->setFixedWidth(28);
            b->setAutoDefault(false);
        }
        grid->addWidget(label(languageLabels[k]), 2 + k, 0);
        grid->addWidget(names[k], 2 + k, 1);
        grid->addWidget(lists[k], 2 + k, 2);
        grid->addWidget(pictureButtons[static_cast<std::size_t>(k)], 2 + k, 3);
        grid->addWidget(removeButtons[static_cast<std::size_t>(k)], 2 + k, 4);
        connect(pictureButtons[static_cast<std::size_t>(k)], &QPushButton::clicked, this, [this, k] { choosePicture(k); });
        connect(removeButtons[static_cast<std::size_t>(k)], &QPushButton::clicked, this,
                [this, k] { pendingImage[static_cast<std::size_t>(k)] = " "; });
    }

    Edit4 = box();
    Edit5 = box();
    Edit6 = box();
    Edit7 = box();
    Edit8 = box();
    grid->addWidget(label("Autor:"), 4, 0);
    grid->addWidget(Edit4, 4, 1);
    grid->addWidget(label("Verze:"), 4, 2);
    grid->addWidget(Edit5, 4, 3, 1, 3);
    grid->addWidget(label("Poznámka: "), 5, 0);
    grid->addWidget(Edit8, 5, 1, 1, 5);
    grid->addWidget(label("Přístupový kód:"), 6, 0);
    grid->addWidget(Edit6, 6, 1);
    grid->addWidget(label("ID:"), 6, 2);
    grid->addWidget(Edit7, 6, 3, 1, 3);
    QPalette face = Edit7->palette();
    face.setColor(QPalette::Base, palette().color(QPalette::Button));
    Edit7->setPalette(face);
    Edit7->setMaxLength(8);

    for (QLineEdit* wide : {Edit2, Edit3, Edit4, Edit6}) wide->setMinimumWidth(120);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 1);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button2 = new QPushButton(QStringLiteral("Storno"), this);
    Button1->setDefault(true);
    grid->addWidget(Button1, 7, 3, 1, 2);
    grid->addWidget(Button2, 7, 5);
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

#include "Prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace trelvo {

namespace {

QMessageBox::Icon boxIcon(Prompts::Icon icon) {
    switch (icon) {
        case Prompts::Icon::information: return QMessageBox::Information;
        case Prompts::Icon::warning: return QMessageBox::Warning;
        case Prompts::Icon::question: return QMessageBox::Question;
        case Prompts::Icon::error: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void Prompts::record(const Shown& shown) {
    shown_.push_back(shown);
    if (onShown) onShown(shown);
}

Prompts::Answer Prompts::nextAnswer() {
    if (answers_.empty()) return Answer::no;
    Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

// Every box shows its text as plain text: it may hold a dictionary's name, a
// file name or a server's version field, and Qt would take anything that
// looks like HTML as rich text (an <img> reading a file without end).
void Prompts::inform(QWidget* parent, Icon icon, const QString& caption, const QString& text) {
    record({icon, caption, text});
    if (testMode_) return;
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool Prompts::ask(QWidget* parent, const QString& caption, const QString& text, Icon icon, Default defaultButton) {
    record({icon, caption, text, defaultButton, false});
    if (testMode_) return nextAnswer() == Answer::yes;
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton == Default::yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    // The program speaks Czech, its buttons too.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ano"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Ne"));
    return box.exec() == QMessageBox::Yes;
}

Prompts::Answer Prompts::askOrGoBack(QWidget* parent, const QString& caption, const QString& text) {
    record({Icon::question, caption, text, Default::yes, true});
    if (testMode_) return nextAnswer();
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ano"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Ne"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Storno"));
    switch (box.exec()) {
        case QMessageBox::Yes: return Answer::yes;
        case QMessageBox::No: return Answer::no;
        default: return Answer::back;  // Storno, Escape or the box's close button
    }
}

int Prompts::choose(QWidget* parent, Icon icon, const QString& caption, const QString& text,
                    const QStringList& buttons) {
    Shown shown{icon, caption, text, Default::yes, false};
    shown.buttons = buttons;
    record(shown);
    const int last = static_cast<int>(buttons.size()) - 1;
    if (testMode_) {
        if (choices_.empty()) return last;
        const int choice = choices_.front();
        choices_.pop_front();
        return choice;
    }
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    std::vector<QPushButton*> pushed;
    for (const QString& label : buttons) pushed.push_back(box.addButton(label, QMessageBox::AcceptRole));
    box.setDefaultButton(pushed.front());
    box.setEscapeButton(pushed.back());
    box.exec();
    const auto clicked = std::find(pushed.begin(), pushed.end(), box.clickedButton());
    return clicked == pushed.end() ? last : static_cast<int>(clicked - pushed.begin());
}

QString Prompts::askText(QWidget* parent, const QString& caption, const QString& text) {
    record({Icon::question, caption, text});
    if (testMode_) {
        if (texts_.empty()) return {};
        QString typed = texts_.front();
        texts_.pop_front();
        return typed;
    }
    QInputDialog box(parent);
    box.setWindowTitle(caption);
    box.setLabelText(text);
    for (QLabel* label : box.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Storno"));
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

bool Prompts::runDialog(QDialog& dialog) {
    if (!testMode_) return dialog.exec() == QDialog::Accepted;
    if (dialogs_.empty()) return false;
    auto answer = std::move(dialogs_.front());
    dialogs_.pop_front();
    // As a fresh exec would, each use starts undecided.
    dialog.setResult(QDialog::Rejected);
    return answer(dialog);
}

QString Prompts::nextFile() {
    if (files_.empty()) return {};
    QString path = files_.front();
    files_.pop_front();
    return path;
}

QString Prompts::openFile(QWidget* parent, const QString& caption, const QString& filter,
                          const QString& startFolder) {
    startFolders_.push_back(startFolder);
    if (testMode_) return nextFile();
    return QFileDialog::getOpenFileName(parent, caption, startFolder, filter);
}

QString Prompts::saveFile(QWidget* parent, const QString& caption, const QString& filter, const QString& startFolder,
                          const QString& defaultExtension, QString* chosenFilter) {
    startFolders_.push_back(startFolder);
    QString selected = filter.section(QStringLiteral(";;"), 0, 0);
    QString path;
    if (testMode_) {
        path = nextFile();
        if (!filters_.empty()) {
            selected = filters_.front();
            filters_.pop_front();
        }
    } else {
        path = QFileDialog::getSaveFileName(parent, caption, startFolder, filter, &selected,
                                            QFileDialog::DontConfirmOverwrite);
    }
    if (chosenFilter) *chosenFilter = selected;
    QString extension = defaultExtension;
    // "CSV (*.csv)" gives "csv".
    if (extension.isEmpty() && chosenFilter)
        extension = selected.section(QStringLiteral("*."), 1, 1).section(QLatin1Char(')'), 0, 0).section(QLatin1Char(' '), 0, 0);
    if (path.isEmpty() || extension.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QLatin1Char('.') + extension;
}

}  // namespace trelvo

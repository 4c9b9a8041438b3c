#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace trelvo {

// The export dialog. It lives as long as the program, so the note filter,
// the two check boxes and the format keep their state from one export to the
// next; the available notes are set anew each time. Its OK is the main
// window's business (onOk), which says whether the dialog may close.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    // Notes as the dialog shows them; "<blank>" stands for the empty note.
    static const QString blank;
    void setAvailableNotes(const QStringList& notes);
    // The admitted notes when the filter is in force, "<blank>" turned into "".
    QStringList admittedNotes() const;

    // What the user chose, for the export itself.
    struct Values {
        bool dictionaryFile = false;  // a new dictionary file, not a text file
        bool byFilter = false;
        bool translatedOnly = false;
        QStringList admittedNotes;
    };
    Values values() const;

    std::function<bool()> onOk;

    QCheckBox* CheckBox1 = nullptr;  // export by the filter
    QCheckBox* CheckBox2 = nullptr;  // translated entries only
    QRadioButton* RadioButton1 = nullptr;  // text file
    QRadioButton* RadioButton2 = nullptr;  // dictionary file
    QListWidget* ListBox1 = nullptr;  // the filter
    QListWidget* ListBox2 = nullptr;  // available notes
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;  // "<-"
    QPushButton* Button4 = nullptr;  // "->"
};

}  // namespace trelvo

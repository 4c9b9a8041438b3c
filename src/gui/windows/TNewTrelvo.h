#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "core/editing/DictionaryProperties.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace trelvo {

class Prompts;

// The dictionary properties dialog: for a new dictionary (createMode 1) and
// for the settings of the active one (createMode 0). Its OK is the main
// window's business (onOk), which says whether the dialog may close.
class TNewTrelvo : public QDialog {
    Q_OBJECT
public:
    TNewTrelvo(Prompts& prompts, QWidget* parent = nullptr);

    // Texts of the boxes in code page 1250, pictures chosen with "ob" and "x".
    DictionaryProperties values() const;
    // Fills the boxes; the picture choices start afresh every time.
    void setValues(const DictionaryProperties& values);

    int createMode = 0;
    std::array<std::string, 2> pendingImage;
    std::function<bool()> onOk;
    // Where the picture dialog opens: the program folder at first, then the
    // folder of the last picture chosen.
    QString pictureFolder;

    QLineEdit* Edit1 = nullptr;  // name
    QLineEdit* Edit2 = nullptr;  // language 0
    QLineEdit* Edit3 = nullptr;  // language 1
    QLineEdit* Edit4 = nullptr;  // author
    QLineEdit* Edit5 = nullptr;  // version
    QLineEdit* Edit6 = nullptr;  // access code
    QLineEdit* Edit7 = nullptr;  // ID
    QLineEdit* Edit8 = nullptr;  // note
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QPushButton* Button1 = nullptr;  // OK
    QPushButton* Button2 = nullptr;  // Storno
    std::array<QPushButton*, 2> pictureButtons{};  // Button3, Button4: "ob"
    std::array<QPushButton*, 2> removeButtons{};   // Button5, Button6: "x"

private:
    void choosePicture(int k);
    Prompts& prompts_;
};

}  // namespace trelvo

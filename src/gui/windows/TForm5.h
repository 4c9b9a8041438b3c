#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace trelvo {

// Asks for the access code of a dictionary; the code is shown as asterisks,
// the dictionary's ID beside it.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    QLineEdit* Edit1 = nullptr;
    QLabel* Label3 = nullptr;
};

}  // namespace trelvo

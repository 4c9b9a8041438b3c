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

    // Makes the dialog ready to ask about the dictionary with this ID: the ID
    // shows, the code box is empty.
    void prepare(const QString& id);
    // The code typed; empty after Storno.
    QString code() const;

    QLineEdit* Edit1 = nullptr;
    QLabel* Label3 = nullptr;
};

}  // namespace trelvo

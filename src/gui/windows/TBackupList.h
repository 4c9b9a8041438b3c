#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

class QListWidget;

namespace trelvo {

// Lists the backups of the open dictionary, one a row (its date and how many
// entries it holds, newest first), for the user to choose the one to put back.
class TBackupList : public QDialog {
    Q_OBJECT
public:
    explicit TBackupList(QWidget* parent = nullptr);

    // The rows to choose from; a row that is not readable cannot be chosen.
    // The first readable row is chosen to begin with.
    void prepare(const QStringList& rows, const std::vector<bool>& readable);
    // The row chosen, or -1 after Storno.
    int chosen() const;

    QListWidget* ListBox1 = nullptr;
};

}  // namespace trelvo

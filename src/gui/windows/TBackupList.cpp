#include "TBackupList.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "DialogSize.h"
#include "FrameColours.h"
#include "gui/controls/ProgramFrame.h"

namespace trelvo {

TBackupList::TBackupList(QWidget* parent) : QDialog(parent) {
    const QString caption = QStringLiteral("Obnovení ze zálohy");
    setWindowTitle(caption);
    putFrame(this, {caption, captionBlue, captionNavy, false, false, QString()});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, frameTop + 4, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(new QLabel(QStringLiteral("Zálohy slovníku, nejnovější nahoře:"), this));
    ListBox1 = new QListWidget(this);
    layout->addWidget(ListBox1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* open = new QPushButton(QStringLiteral("Obnovit"), this);
    auto* cancel = new QPushButton(QStringLiteral("Storno"), this);
    open->setDefault(true);
    buttons->addWidget(open);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    fitDialog(*this, QSize(320, 220));
    connect(open, &QPushButton::clicked, this, [this] {
        if (chosen() >= 0) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListBox1, &QListWidget::itemActivated, this, [this] {
        if (chosen() >= 0) accept();
    });
    // The choice stays only for the accepting of the dialog.
    connect(this, &QDialog::rejected, ListBox1, [this] { ListBox1->setCurrentRow(-1); });
}

void TBackupList::prepare(const QStringList& rows, const std::vector<bool>& readable) {
    ListBox1->clear();
    for (int i = 0; i < rows.size(); ++i) {
        auto* item = new QListWidgetItem(rows[i], ListBox1);
        if (!readable[static_cast<std::size_t>(i)])
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    }
    for (int i = 0; i < rows.size(); ++i)
        if (readable[static_cast<std::size_t>(i)]) {
            ListBox1->setCurrentRow(i);
            break;
        }
}

int TBackupList::chosen() const {
    const QListWidgetItem* item = ListBox1->currentItem();
    return item && (item->flags() & Qt::ItemIsEnabled) ? ListBox1->currentRow() : -1;
}

}  // namespace trelvo

#include "DialogSize.h"

#include <QLayout>
#include <QWidget>

namespace trelvo {

void fitDialog(QWidget& dialog, QSize designed) {
    // The style and font decide the sizes the layout asks for.
    dialog.ensurePolished();
    QSize size = designed;
    if (QLayout* layout = dialog.layout()) {
        layout->activate();
        size = size.expandedTo(layout->totalMinimumSize());
    }
    dialog.setFixedSize(size);
}

}  // namespace trelvo

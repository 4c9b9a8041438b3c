#pragma once

#include <QSize>

class QWidget;

namespace trelvo {

// Fixes a dialog at the size it was designed for, or larger where its texts
// need more room in the font they are shown in: no label, box or button gets
// less than its layout asks. Known before the dialog is first shown, so that
// centring it over the main window uses its real size.
void fitDialog(QWidget& dialog, QSize designed);

}  // namespace trelvo

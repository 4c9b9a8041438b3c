#include "TForm4.h"

namespace trelvo {

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Export položek"));
}

}  // namespace trelvo

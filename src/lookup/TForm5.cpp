#include "TForm5.h"

namespace trelvo {

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Přístupový kód"));
}

}  // namespace trelvo

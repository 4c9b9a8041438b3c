#include "TForm3.h"

namespace trelvo {

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("O programu"));
}

}  // namespace trelvo

#include "TNewTrelvo.h"

namespace trelvo {

TNewTrelvo::TNewTrelvo(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vlastnosti slovníku"));
}

}  // namespace trelvo

#include "TForm4.h"

#include "controls/ProgramFrame.h"

namespace trelvo {

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Export do textového souboru"));
    resize(305, 150);
    putFrame(this, {QStringLiteral("Export do textového souboru"), 14645570, 4456448, false, false,
                    QStringLiteral("Umožňovat vkládání nových záznamů")});
}

}  // namespace trelvo

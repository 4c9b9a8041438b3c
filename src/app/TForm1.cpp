#include "TForm1.h"

#include <QLabel>
#include <QVBoxLayout>

namespace trelvo {

TForm1::TForm1(const std::string& programDir, QWidget* parent)
    : QWidget(parent), programDir_(programDir) {
    setWindowTitle(QStringLiteral("Trelvo"));
    setMinimumSize(500, 350);
    resize(626, 373);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    status_ = new QLabel(QStringLiteral("Slovník: <není vybraný>"), this);
    layout->addWidget(status_);
}

}  // namespace trelvo

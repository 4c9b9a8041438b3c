#include "TWhintik.h"

#include <algorithm>

#include "TCustomHintWindow.h"

namespace trelvo {

namespace {

QString cutRequest(const QString& text) {
    if (text.size() <= TWhintik::maxHintLength) return text;
    qsizetype length = TWhintik::maxHintLength;
    // Never leave half of a surrogate pair at the end.
    if (text.at(length - 1).isHighSurrogate()) --length;
    return text.left(length);
}

}  // namespace

TWhintik::TWhintik(QWidget* parent) : QWidget(parent) {
    resize(20, 20);
    // An explicit hide keeps the control hidden when its parent is shown.
    QWidget::setVisible(false);

    hintWindow_ = new TCustomHintWindow(this);

    viewTimer_.setSingleShot(true);
    beforeViewTimer_.setSingleShot(true);
    connect(&viewTimer_, &QTimer::timeout, this, [this] { hide(); });
    connect(&beforeViewTimer_, &QTimer::timeout, this, [this] { reallyshow(); });
}

// The popup is a child window and goes with the control.
TWhintik::~TWhintik() = default;

void TWhintik::setVisible(bool) { QWidget::setVisible(false); }

void TWhintik::show(const QString& text, int x, int y, int immediate) {
    QString request = cutRequest(text);
    // A repeated request must not keep the hint up for ever.
    if (showing_ && request == hintText_ && x == hintX_ && y == hintY_) return;
    hintText_ = request;
    hintX_ = x;
    hintY_ = y;
    if (immediate == 1 || timeBeforeView_ == 0 || showing_) {
        reallyshow();
        return;
    }
    beforeViewTimer_.start(std::max(timeBeforeView_, 0));
}

void TWhintik::reallyshow() {
    // Measured with the current font, so a changed Font never clips the text.
    hintWindow_->setFont(font());
    QRect rect = hintWindow_->CalcHintRect(maxWidth_, hintText_).translated(hintX_, hintY_);
    if (showing_) {
        hintWindow_->ReleaseHint();
        viewTimer_.stop();
    }
    beforeViewTimer_.stop();
    hintWindow_->ActivateHint(rect, hintText_);
    viewTimer_.start(std::max(timeView_, 0));
    showing_ = true;
}

void TWhintik::hide() {
    if (showing_) {
        hintWindow_->ReleaseHint();
        viewTimer_.stop();
    }
    beforeViewTimer_.stop();
    showing_ = false;
}

void TWhintik::Settv(int milliseconds) {
    timeView_ = milliseconds;
    if (viewTimer_.isActive()) viewTimer_.start(std::max(timeView_, 0));
}

void TWhintik::Settbv(int milliseconds) {
    timeBeforeView_ = milliseconds;
    if (beforeViewTimer_.isActive()) beforeViewTimer_.start(std::max(timeBeforeView_, 0));
}

}  // namespace trelvo

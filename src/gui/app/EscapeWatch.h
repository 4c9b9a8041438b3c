#pragma once

#include <QObject>

namespace trelvo {

// Notes a press of Escape anywhere in the program while it lives, for a long
// command that keeps the window disabled and lets its events through now and
// then: the key reaches no widget, and the command asks pressed() instead.
class EscapeWatch : public QObject {
public:
    EscapeWatch();
    ~EscapeWatch() override;

    bool pressed() const { return pressed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pressed_ = false;
};

}  // namespace trelvo

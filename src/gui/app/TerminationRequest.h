#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace trelvo {

// A desktop session or a service manager asks a program to end with SIGTERM
// (and a terminal with SIGINT): the program then closes its main window as
// the user would, so the settings are written and unsaved work is asked for.
class TerminationRequest : public QObject {
    Q_OBJECT
public:
    // Installs the signal handler; call it first in main. A request that comes
    // before the event loop runs waits until it does.
    static void install();

    // Calls handler on the GUI thread for every request.
    explicit TerminationRequest(std::function<void()> handler, QObject* parent = nullptr);

private:
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> handler_;
};

}  // namespace trelvo

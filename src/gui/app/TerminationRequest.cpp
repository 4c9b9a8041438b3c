#include "TerminationRequest.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace trelvo {

namespace {

// The signal handler may only write a byte; the event loop reads it.
int requestSocket[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(requestSocket[0], &byte, 1);
}

}  // namespace

void TerminationRequest::install() {
    if (requestSocket[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, requestSocket) != 0) return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

TerminationRequest::TerminationRequest(std::function<void()> handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    if (requestSocket[1] < 0) return;
    notifier_ = new QSocketNotifier(requestSocket[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte;
        if (::read(requestSocket[1], &byte, 1) == 1 && handler_) handler_();
    });
}

}  // namespace trelvo

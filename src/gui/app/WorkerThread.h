#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <thread>

namespace trelvo {

// Runs work that blocks (the update check's requests) on threads of its own,
// so that the window keeps painting and answering meanwhile, and hands what
// comes of it back to the GUI thread.
class WorkerThread : public QObject {
    Q_OBJECT
public:
    explicit WorkerThread(QObject* parent = nullptr);
    // Cancels the work still running and waits for it to return.
    ~WorkerThread() override;

    // Runs work on a new thread and then done on the GUI thread. cancel is
    // called on the GUI thread by cancelAll() or the destructor and must make
    // work return soon.
    void start(std::function<void()> work, std::function<void()> done, std::function<void()> cancel);
    // From any thread: runs function on the GUI thread, after whatever was
    // posted before it. Nothing posted runs once this object is gone.
    void post(std::function<void()> function);
    // Cancels all work still running; its done comes all the same.
    void cancelAll();

private:
    struct Run {
        std::thread thread;
        std::function<void()> cancel;
    };
    std::map<std::uint64_t, Run> runs_;
    std::uint64_t lastRun_ = 0;
};

}  // namespace trelvo

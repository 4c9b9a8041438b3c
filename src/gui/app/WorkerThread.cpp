#include "WorkerThread.h"

#include <QMetaObject>

namespace trelvo {

WorkerThread::WorkerThread(QObject* parent) : QObject(parent) {}

WorkerThread::~WorkerThread() {
    // The threads post to this object: they must be over before it is.
    cancelAll();
    for (auto& [id, run] : runs_) run.thread.join();
}

void WorkerThread::start(std::function<void()> work, std::function<void()> done, std::function<void()> cancel) {
    const std::uint64_t id = ++lastRun_;
    Run& run = runs_[id];
    run.cancel = std::move(cancel);
    run.thread = std::thread([this, id, work = std::move(work), done = std::move(done)]() mutable {
        work();
        post([this, id, done = std::move(done)] {
            // The thread has nothing left to do but end.
            auto it = runs_.find(id);
            it->second.thread.join();
            runs_.erase(it);
            done();
        });
    });
}

void WorkerThread::post(std::function<void()> function) {
    QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
}

void WorkerThread::cancelAll() {
    for (auto& [id, run] : runs_) run.cancel();
}

}  // namespace trelvo

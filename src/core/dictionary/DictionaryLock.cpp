#include "DictionaryLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace trelvo {

namespace {

// How often a bounded wait tries again.
constexpr std::chrono::milliseconds retryEvery{10};

using Outcome = DictionaryLock::Outcome;

Outcome takeLock(int fd, int operation, std::chrono::milliseconds wait,
                 std::chrono::steady_clock::time_point deadline) {
    const bool forever = wait == DictionaryLock::waitForever;
    for (;;) {
        if (::flock(fd, forever ? operation : operation | LOCK_NB) == 0) return Outcome::locked;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return Outcome::unguarded;
        if (std::chrono::steady_clock::now() >= deadline) return Outcome::busy;
        std::this_thread::sleep_for(retryEvery);
    }
}

}  // namespace

Outcome DictionaryLock::lock(const std::string& path, std::chrono::milliseconds wait, Access access) {
    release();
    const int operation = access == Access::write ? LOCK_EX : LOCK_SH;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // Read access is enough for flock, so a read-only dictionary is locked
        // too; O_NONBLOCK keeps a pipe under the name from blocking the open.
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return Outcome::unguarded;
        struct stat locked {};
        const Outcome taken = ::fstat(fd, &locked) == 0 && S_ISREG(locked.st_mode)
                                  ? takeLock(fd, operation, wait, deadline)
                                  : Outcome::unguarded;
        if (taken != Outcome::locked) {
            ::close(fd);
            return taken;
        }
        // The writer before may have replaced the file while this one waited:
        // its lock guards nothing any more.
        struct stat named {};
        if (::stat(path.c_str(), &named) == 0 && named.st_dev == locked.st_dev && named.st_ino == locked.st_ino) {
            fd_ = fd;
            return Outcome::locked;
        }
        ::close(fd);
    }
}

void DictionaryLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);  // closing the only descriptor gives the lock up
    fd_ = -1;
}

}  // namespace trelvo

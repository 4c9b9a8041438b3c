#pragma once

#include <chrono>
#include <string>

namespace trelvo {

// An advisory lock (flock) on a dictionary file, held by every program for
// one read-modify-write of it, so that two writers take turns instead of one
// silently losing the other's change. A program that only reads the file
// takes it shared: readers go side by side, but never beside a writer.
//
// The lock is taken on the dictionary file itself rather than on a side file:
// nothing is left beside the dictionary, a read-only folder needs no new
// file, and every name of the file (a symlink, another path) meets the same
// lock. A save replaces the file by rename, so a program that waited may get
// the lock of a file no longer under the name; it then locks the file that is
// there now.
class DictionaryLock {
public:
    enum class Outcome {
        locked,
        // No regular file under the name, so nothing another writer could
        // lose (the read or save that follows gives its own error, or makes a
        // new file); or a file system that keeps no locks. The caller goes on
        // without the lock.
        unguarded,
        busy,  // another program held the lock for the whole wait
    };
    enum class Access { write, read };
    static constexpr std::chrono::milliseconds waitForever{-1};

    DictionaryLock() = default;
    DictionaryLock(const DictionaryLock&) = delete;
    DictionaryLock& operator=(const DictionaryLock&) = delete;
    ~DictionaryLock() { release(); }

    // Takes the lock of the file path names, waiting for it at most wait
    // (waitForever: as long as it takes). A lock held before is given up first.
    Outcome lock(const std::string& path, std::chrono::milliseconds wait, Access access = Access::write);
    void release();

private:
    int fd_ = -1;
};

}  // namespace trelvo

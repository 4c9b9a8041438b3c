#include "AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "SaveJournal.h"
#include "TemporaryFile.h"

namespace trelvo {

namespace {

// Links followed before a path counts as a loop, as the kernel counts them.
constexpr int maxLinks = 40;
// Where no locks tell, a save lasts seconds; a temporary file older than
// this was left by a save that was killed.
constexpr std::time_t staleAfterSeconds = 24 * 60 * 60;
// Bytes of a new file handed to the disk at once while it is written.
constexpr off_t writeBackStep = off_t{4} << 20;

// The file a chain of symlinks ends in, which need not exist yet; nothing
// for a loop or an unreadable link.
std::optional<std::string> resolveLinks(std::string path) {
    for (int followed = 0; followed <= maxLinks; ++followed) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
        ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : folderOf(path) + "/" + target;
    }
    return std::nullopt;
}

// Whether the process may write the file. The kernel's own answer decides
// (ACLs and read-only mounts included); root passes that check for any file,
// so a file that no one has a write bit for is in addition refused: its
// owner made it read-only, and a save must not undo that.
bool mayWrite(const std::string& path, const struct stat& info) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 &&
           (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

enum class Outcome { written, failed, folderRefused };

// Writes a new file beside path and renames it over path. existing is the
// old file's state, whose mode and owner the new file takes.
Outcome writeBeside(const std::string& path, const ByteSource& source, const struct stat* existing) {
    std::string temp;
    int fd = makeLockedTemporary(folderOf(path), path, temp);
    if (fd < 0) return errno == EACCES || errno == EPERM ? Outcome::folderRefused : Outcome::failed;
    if (existing) {
        // Only a privileged process may give a file away; otherwise the new
        // file stays the saver's, as any new file would.
        (void)::fchown(fd, existing->st_uid, existing->st_gid);
        ::fchmod(fd, existing->st_mode & 07777);
    } else {
        // mkstemp makes the file private; the program's files are ordinary user files.
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    // The disk is set to work on each few megabytes as soon as they are
    // written, while the rest is still being made: the closing fsync then
    // waits for the last of them only.
    off_t written = 0, queued = 0;
    auto put = [&](std::string_view piece) {
        if (!writeAll(fd, piece)) return false;
        written += static_cast<off_t>(piece.size());
        if (written - queued >= writeBackStep) {
            ::sync_file_range(fd, queued, written - queued, SYNC_FILE_RANGE_WRITE);
            queued = written;
        }
        return true;
    };
    // The file stays locked until it has its final name, so that no cleanup
    // takes it for a leftover.
    bool ok = source(put) && ::fsync(fd) == 0 && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    ::close(fd);
    if (!ok) return Outcome::failed;
    // The rename itself reaches the disk only with the folder's own sync; a
    // power cut before it could otherwise bring back the old name's contents.
    syncFolder(folderOf(path));
    return Outcome::written;
}

}  // namespace

void removeStaleTemporaryFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> temporaries, journals;
    while (const dirent* item = ::readdir(dir)) {
        if (isTemporaryName(item->d_name)) temporaries.emplace_back(item->d_name);
        if (isJournalName(item->d_name)) journals.emplace_back(item->d_name);
    }
    const std::time_t staleBefore = std::time(nullptr) - staleAfterSeconds;
    for (const std::string& name : temporaries) {
        // The name itself, not what it may link to: only a regular file was
        // made by a save.
        int fd = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {}, named {};
        const Holder holder = holderOf(fd);
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
            (holder == Holder::none || (holder == Holder::lockless && held.st_mtime < staleBefore)) &&
            ::fstatat(::dirfd(dir), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
        ::close(fd);
    }
    ::closedir(dir);
    for (const std::string& name : journals) finishJournal(folder + "/" + name);
}

ReplaceOutcome replaceFile(const std::string& path, const ByteSource& source) {
    if (path.empty()) return ReplaceOutcome::unchanged;
    const std::optional<std::string> target = resolveLinks(path);
    if (!target) return ReplaceOutcome::unchanged;
    // Leftovers of killed saves beside it would take as much room as this one.
    removeStaleTemporaryFiles(folderOf(*target));
    struct stat info {};
    if (::stat(target->c_str(), &info) != 0)
        return errno == ENOENT && writeBeside(*target, source, nullptr) == Outcome::written ? ReplaceOutcome::replaced
                                                                                            : ReplaceOutcome::unchanged;
    if (!S_ISREG(info.st_mode) || !mayWrite(*target, info)) return ReplaceOutcome::unchanged;
    // Another name of the same file would keep the old contents after a
    // rename; only writing in place reaches every name.
    if (info.st_nlink > 1) return writeThroughJournal(*target, source);
    switch (writeBeside(*target, source, &info)) {
        case Outcome::written: return ReplaceOutcome::replaced;
        // A folder that takes no new file still lets the writable file be saved.
        case Outcome::folderRefused: return writeThroughJournal(*target, source);
        case Outcome::failed: break;
    }
    return ReplaceOutcome::unchanged;
}

bool replaceFileAtomically(const std::string& path, const ByteSource& source) {
    return replaceFile(path, source) == ReplaceOutcome::replaced;
}

bool replaceFileAtomically(const std::string& path, std::string_view bytes) {
    return replaceFileAtomically(path, [bytes](const ByteSink& put) { return put(bytes); });
}

}  // namespace trelvo

#include "AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

namespace trelvo {

namespace {

// Links followed before a path counts as a loop, as the kernel counts them.
constexpr int maxLinks = 40;
// A temporary file is named "." + name + ".trelvo-" + six random letters or
// digits from mkstemp: hidden, and distinct enough that a file of the user's
// is never taken for one when stale ones are removed.
constexpr std::string_view tempMark = ".trelvo-";
constexpr std::string_view tempRandom = "XXXXXX";
// A save lasts seconds; a temporary file older than this was left by a save
// that was killed.
constexpr std::time_t staleAfterSeconds = 24 * 60 * 60;
// Bytes of a new file handed to the disk at once while it is written.
constexpr off_t writeBackStep = off_t{4} << 20;

bool isTemporaryName(std::string_view name) {
    const std::size_t fixed = 1 + tempMark.size() + tempRandom.size();
    if (name.size() <= fixed || name.front() != '.') return false;
    const std::string_view ending = name.substr(name.size() - tempMark.size() - tempRandom.size());
    if (ending.substr(0, tempMark.size()) != tempMark) return false;
    for (char c : ending.substr(tempMark.size()))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

void syncFolderOf(const std::string& path) {
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

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

// Overwrites the file itself, which keeps its inode, its links and its
// attributes but is not atomic: a failure after the truncation leaves a cut
// file. So the data is complete in memory before anything changes, and what
// can be checked beforehand is: the file-size limit, and room on the disk,
// reserved without changing the file where the file system can.
bool writeInPlace(const std::string& path, const ByteSource& source) {
    std::string bytes;
    if (!source([&](std::string_view piece) {
            bytes.append(piece);
            return true;
        }))
        return false;
    rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && bytes.size() > limit.rlim_cur)
        return false;
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    if (!bytes.empty() && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
        (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
        ::close(fd);
        return false;
    }
    bool ok = ::ftruncate(fd, 0) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// A temporary name beside path: the file name cut so that the name with its
// dot and suffix stays within NAME_MAX.
std::string temporaryPattern(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t room = NAME_MAX - 1 - tempMark.size() - tempRandom.size();
    const std::size_t nameLength = std::min(path.size() - nameStart, room);
    return path.substr(0, nameStart) + "." + path.substr(nameStart, nameLength) + std::string(tempMark) +
           std::string(tempRandom);
}

enum class Outcome { written, failed, folderRefused };

// Writes a new file beside path and renames it over path. existing is the
// old file's state, whose mode and owner the new file takes.
Outcome writeBeside(const std::string& path, const ByteSource& source, const struct stat* existing) {
    std::string temp = temporaryPattern(path);
    int fd = ::mkstemp(temp.data());
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
    bool ok = source(put) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return Outcome::failed;
    }
    // The rename itself reaches the disk only with the folder's own sync; a
    // power cut before it could otherwise bring back the old name's contents.
    syncFolderOf(path);
    return Outcome::written;
}

}  // namespace

void removeStaleTemporaryFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* item = ::readdir(dir))
        if (isTemporaryName(item->d_name)) names.emplace_back(item->d_name);
    const std::time_t staleBefore = std::time(nullptr) - staleAfterSeconds;
    for (const std::string& name : names) {
        struct stat info {};
        // The name itself, not what it may link to: only a regular file was
        // made by a save.
        if (::fstatat(::dirfd(dir), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_mtime < staleBefore)
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
    }
    ::closedir(dir);
}

bool replaceFileAtomically(const std::string& path, std::string_view bytes) {
    return replaceFileAtomically(path, [bytes](const ByteSink& put) { return put(bytes); });
}

bool replaceFileAtomically(const std::string& path, const ByteSource& source) {
    if (path.empty()) return false;
    const std::optional<std::string> target = resolveLinks(path);
    if (!target) return false;
    struct stat info {};
    if (::stat(target->c_str(), &info) != 0)
        return errno == ENOENT && writeBeside(*target, source, nullptr) == Outcome::written;
    if (!S_ISREG(info.st_mode) || !mayWrite(*target, info)) return false;
    // Another name of the same file would keep the old contents after a
    // rename; only writing in place reaches every name.
    if (info.st_nlink > 1) return writeInPlace(*target, source);
    switch (writeBeside(*target, source, &info)) {
        case Outcome::written: return true;
        // A folder that takes no new file still lets the writable file be saved.
        case Outcome::folderRefused: return writeInPlace(*target, source);
        case Outcome::failed: break;
    }
    return false;
}

}  // namespace trelvo

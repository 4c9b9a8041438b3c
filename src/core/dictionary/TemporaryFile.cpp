#include "TemporaryFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace trelvo {

namespace {

// Distinct enough that a file of the user's is never taken for a leftover.
constexpr std::string_view tempMark = ".trelvo-";
constexpr std::string_view tempRandom = "XXXXXX";

}  // namespace

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

int makeLockedTemporary(const std::string& folder, const std::string& path, std::string& made) {
    const std::string name = nameOf(path);
    const std::size_t room = NAME_MAX - 1 - tempMark.size() - tempRandom.size();
    const std::string pattern = folder + "/." + name.substr(0, std::min(name.size(), room)) +
                                std::string(tempMark) + std::string(tempRandom);
    for (;;) {
        made = pattern;
        int fd = ::mkstemp(made.data());
        if (fd < 0) return -1;
        // Between mkstemp and the lock a cleanup may take the new file for a
        // leftover and remove it; a removed file is made again.
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_nlink > 0) return fd;
        ::close(fd);
    }
}

bool isTemporaryName(std::string_view name) {
    const std::size_t fixed = 1 + tempMark.size() + tempRandom.size();
    if (name.size() <= fixed || name.front() != '.') return false;
    const std::string_view ending = name.substr(name.size() - tempMark.size() - tempRandom.size());
    if (ending.substr(0, tempMark.size()) != tempMark) return false;
    for (char c : ending.substr(tempMark.size()))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

Holder holderOf(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Holder::none;
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? Holder::save : Holder::lockless;
    }
}

}  // namespace trelvo

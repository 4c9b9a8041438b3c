#include "PublicationFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace trelvo {

namespace {

// Tries at a free temporary name before giving up.
constexpr int temporaryNameTries = 100;

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// "." + name + ".trelvo-" + six random letters or digits: hidden from the
// listing of the folder, and not a name the update check asks for.
std::string temporaryName(const std::string& name, std::mt19937& random) {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string temporary = "." + name + ".trelvo-";
    for (int i = 0; i < 6; ++i) temporary += letters[pick(random)];
    return temporary;
}

}  // namespace

PublicationFolder::PublicationFolder(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        error_ = errno == ENOENT    ? "there is no folder " + path + "; make it first"
                 : errno == ENOTDIR ? path + " is no folder"
                                    : "cannot open the folder " + path + ": " + std::strerror(errno);
}

PublicationFolder::~PublicationFolder() {
    if (fd_ >= 0) ::close(fd_);
}

PublicationFolder::Kind PublicationFolder::kind(const std::string& name) const {
    struct stat info {};
    if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Kind::missing : Kind::other;
    return S_ISREG(info.st_mode) ? Kind::regularFile : Kind::other;
}

std::optional<std::string> PublicationFolder::read(const std::string& name, std::size_t limit) const {
    // Not blocking on a pipe that no one writes, and not following a link.
    const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) <= limit) {
        bytes.emplace(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t done = 0;
        while (bytes && done < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                bytes.reset();
            else
                done += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return bytes;
}

bool PublicationFolder::replace(const std::string& name, std::string_view bytes) {
    // A new file takes the mode any new file gets; a replaced one keeps its own.
    struct stat old {};
    const bool hadFile = ::fstatat(fd_, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
    std::mt19937 random(std::random_device{}());
    std::string temporary;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < temporaryNameTries; ++tries) {
        temporary = temporaryName(name, random);
        fd = ::openat(fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = (!hadFile || ::fchmod(fd, old.st_mode & 0777) == 0) && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    // The rename replaces whatever name is now, a link included, and follows nothing.
    if (ok) ok = ::renameat(fd_, temporary.c_str(), fd_, name.c_str()) == 0;
    if (!ok) {
        ::unlinkat(fd_, temporary.c_str(), 0);
        return false;
    }
    ::fsync(fd_);  // the rename reaches the disk with the folder
    return true;
}

bool PublicationFolder::remove(const std::string& name) { return ::unlinkat(fd_, name.c_str(), 0) == 0; }

}  // namespace trelvo

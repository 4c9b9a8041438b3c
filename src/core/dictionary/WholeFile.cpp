#include "WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace trelvo {

template <typename Bytes>
bool readWholeFile(const std::string& path, Bytes& bytes, std::size_t limit, bool roomToGrow) {
    // Opening a pipe that no one writes would wait for ever; a regular file
    // reads the same without blocking or not.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) <= limit;
    if (ok) {
        const auto size = static_cast<std::size_t>(info.st_size);
        if (roomToGrow) bytes.reserve(size + size / 4);
        bytes.resize(size);
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ok = false;
            else done += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return ok;
}

template bool readWholeFile(const std::string&, std::string&, std::size_t, bool);
template bool readWholeFile(const std::string&, LargeString&, std::size_t, bool);

}  // namespace trelvo

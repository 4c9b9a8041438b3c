#include "ProgramConfiguration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>

#include "core/dictionary/AtomicFile.h"

namespace trelvo {

namespace {

constexpr std::size_t fileSize = 22;

// Offsets of the 32-bit fields; top comes before left, width before height.
constexpr std::size_t topAt = 2;
constexpr std::size_t leftAt = 6;
constexpr std::size_t widthAt = 10;
constexpr std::size_t heightAt = 14;
constexpr std::size_t dayAt = 18;

std::int32_t getI32(const unsigned char* p) {
    std::uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

void putI32(unsigned char* p, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    for (int k = 0; k < 4; ++k) p[k] = static_cast<unsigned char>((v >> (8 * k)) & 0xFF);
}

// Reads up to n bytes; a read error counts as the end of the file, so that
// whatever came before it is still used.
std::size_t readUpTo(int fd, char* buffer, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t got = ::read(fd, buffer + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace

void parseConfiguration(std::string_view file, ProgramConfiguration& config) {
    const std::size_t size = std::min(file.size(), fileSize);  // later bytes are ignored
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());

    // Every field the file holds is taken; the ones after its end keep the
    // values already in config. That goes for the two leading bytes as well,
    // so an empty file moves nothing but the update day.
    if (size > 0) config.autoUpdate = bytes[0] != 0;
    if (size > 1) config.lastDictionary = bytes[1];
    if (size >= topAt + 4) config.top = getI32(bytes + topAt);
    if (size >= leftAt + 4) config.left = getI32(bytes + leftAt);
    if (size >= widthAt + 4) config.width = getI32(bytes + widthAt);
    if (size >= heightAt + 4) config.height = getI32(bytes + heightAt);
    // A file cut short before the update day makes the update reminder show
    // at this start rather than wait on a day the file never held.
    config.lastUpdateDay = size >= dayAt + 4 ? getI32(bytes + dayAt) : 0;
}

std::string serializeConfiguration(const ProgramConfiguration& config) {
    unsigned char bytes[fileSize];
    bytes[0] = config.autoUpdate ? 1 : 0;
    bytes[1] = static_cast<unsigned char>(config.lastDictionary & 0xFF);
    putI32(bytes + topAt, config.top);
    putI32(bytes + leftAt, config.left);
    putI32(bytes + widthAt, config.width);
    putI32(bytes + heightAt, config.height);
    putI32(bytes + dayAt, config.lastUpdateDay);
    return std::string(reinterpret_cast<const char*>(bytes), fileSize);
}

bool readConfiguration(const std::string& path, ProgramConfiguration& config) {
    // Opening a pipe that no one writes would keep the start waiting for
    // ever; a regular file reads the same without blocking or not.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // A folder, a pipe or a device could never be a settings file.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    char bytes[fileSize];
    const std::size_t size = readUpTo(fd, bytes, fileSize);
    ::close(fd);
    parseConfiguration(std::string_view(bytes, size), config);
    return true;
}

bool writeConfiguration(const std::string& path, const ProgramConfiguration& config) {
    if (path.empty()) return false;
    // Written beside the old file and renamed over it, so that a crash or a
    // full disk leaves the previous settings whole.
    return replaceFileAtomically(path, serializeConfiguration(config));
}

}  // namespace trelvo

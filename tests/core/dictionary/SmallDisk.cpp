#include "SmallDisk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace trelvo {

namespace fs = std::filesystem;

SmallDisk::SmallDisk(const fs::path& image, const fs::path& mountPoint, int kilobytes) : mountPoint_(mountPoint) {
    if (::geteuid() != 0) return;
    fs::create_directories(mountPoint);
    const std::string make = "truncate -s " + std::to_string(kilobytes) + "K '" + image.string() +
                             "' && mkfs.ext2 -q -F -m 0 '" + image.string() + "' >/dev/null 2>&1";
    mounted_ = std::system(make.c_str()) == 0 &&
               std::system(("mount -o loop '" + image.string() + "' '" + mountPoint.string() + "'").c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_) std::system(("umount '" + mountPoint_.string() + "'").c_str());
}

void SmallDisk::fill(off_t spare) {
    int fd = ::open((mountPoint_ / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::fsync(fd);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && ::ftruncate(fd, std::max<off_t>(0, info.st_size - spare)) == 0) ::fsync(fd);
    ::close(fd);
}

}  // namespace trelvo

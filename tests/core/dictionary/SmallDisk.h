#pragma once

#include <sys/types.h>

#include <filesystem>

namespace trelvo {

// A small ext2 file system in an image mounted by loop at mountPoint, for
// faults that need a real disk: ext2 has no fallocate, and the disk fills up
// at once. Mounting needs root; mounted() says whether it worked, and the
// destructor unmounts.
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& image, const std::filesystem::path& mountPoint, int kilobytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    // Fills the disk to the last block, then frees about spare bytes.
    void fill(off_t spare);

private:
    std::filesystem::path mountPoint_;
    bool mounted_ = false;
};

}  // namespace trelvo

#pragma once

#include <cstddef>
#include <string>

namespace trelvo {

// A regular file opened for reading in pieces. Opening neither blocks on a
// pipe nor takes a folder, a device or a file larger than the limit, so that
// a file chosen by mistake ends in a clear error, not an endless read.
class RegularFile {
public:
    RegularFile() = default;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // False for anything but a regular file of at most limit bytes that can be opened.
    bool open(const std::string& path, std::size_t limit);
    // The size the file had when it was opened.
    std::size_t size() const { return size_; }
    // Up to most bytes into buffer; the count read, 0 at the end, -1 on a read error.
    long read(char* buffer, std::size_t most);

private:
    int fd_ = -1;
    std::size_t size_ = 0;
};

}  // namespace trelvo

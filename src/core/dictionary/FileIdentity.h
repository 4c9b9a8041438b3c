#pragma once

#include <cstdint>
#include <string>

namespace trelvo {

// What tells one state of a file from another without reading it: device and
// inode (a save by rename makes a new file), size and modification time to
// the nanosecond (a write in place keeps the inode). A path that names
// nothing has the identity of absence, so a file that vanished differs too.
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    // The file path names now, symlinks followed as a save follows them.
    static FileIdentity of(const std::string& path);

    bool operator==(const FileIdentity&) const = default;
};

}  // namespace trelvo

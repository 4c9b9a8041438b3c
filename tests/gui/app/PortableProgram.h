#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>

namespace trelvo {

// A portable copy of the program, with upchar.dat, in a folder of its own
// under /tmp, where it works; the folder goes with this object.
class PortableProgram {
public:
    PortableProgram();
    ~PortableProgram();
    PortableProgram(const PortableProgram&) = delete;
    PortableProgram& operator=(const PortableProgram&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    // Starts it as a process of its own, its output thrown away, on the
    // offscreen platform; inChild runs in the child first. -1 on failure.
    pid_t start(const std::function<void()>& inChild = {}) const;

private:
    std::filesystem::path folder_;
};

}  // namespace trelvo

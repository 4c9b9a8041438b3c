#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trelvo::support {

// A folder of one test's own under the system's temporary folder, removed
// with all it holds when the test ends: folders the test made unreadable or
// unwritable are opened first, so that nothing is left behind.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "trelvo-test");
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of name inside the folder.
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes bytes as the file name in the folder and returns its path.
    std::string write(const std::string& name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// The bytes of a file, empty when it cannot be read.
std::string readBytes(const std::filesystem::path& path);
// Replaces the file with exactly these bytes.
void writeBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace trelvo::support

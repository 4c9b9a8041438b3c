#include "TemporaryFolder.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace trelvo::support {

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder(const std::string& prefix) {
    std::string name = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a temporary folder for " + prefix);
    path_ = name;
    // A child the test runs as another user must reach the files.
    fs::permissions(path_, fs::perms(0755));
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    for (fs::recursive_directory_iterator it(path_, fs::directory_options::skip_permission_denied, ignored), end;
         it != end; it.increment(ignored)) {
        if (!it->is_symlink(ignored) && it->is_directory(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

std::string TemporaryFolder::write(const std::string& name, std::string_view bytes) const {
    writeBytes(path_ / name, bytes);
    return file(name);
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace trelvo::support

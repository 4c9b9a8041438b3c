// Any net.ini must give the locations a 1000-byte fgets loop over the same
// bytes gives: that is how the file has always been read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/update/UpdateLocations.h"

namespace {

std::vector<std::string> readWithFgets(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> locations;
    // An empty stream cannot be opened over no bytes; it holds no line anyway.
    if (size == 0) return trelvo::builtInUpdateLocations();
    std::FILE* file = ::fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file) std::abort();
    char line[1000];
    while (std::fgets(line, sizeof line, file)) {
        std::size_t length = std::strlen(line);
        if (length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n')
            length -= 2;
        else if (length >= 1 && line[length - 1] == '\n')
            length -= 1;
        if (length >= 4) locations.emplace_back(line, length);
    }
    std::fclose(file);
    if (locations.empty()) return trelvo::builtInUpdateLocations();
    return locations;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> locations = trelvo::parseUpdateLocations(text);
    if (locations.empty()) std::abort();
    for (const std::string& location : locations) {
        if (location.size() < 4 || location.size() > 999) std::abort();
        if (location.find('\n') != std::string::npos || location.find('\0') != std::string::npos) std::abort();
    }
    if (locations != readWithFgets(data, size)) std::abort();
    return 0;
}

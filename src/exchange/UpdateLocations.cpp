#include "UpdateLocations.h"

#include <cstdio>
#include <cstring>

namespace trelvo {

namespace {

// The line buffer of net.ini: a longer line goes on as the next one.
constexpr int lineBuffer = 1000;
// Nothing shorter can be a "host/path".
constexpr std::size_t shortestLocation = 4;

}  // namespace

const std::vector<std::string>& builtInUpdateLocations() {
    static const std::vector<std::string> locations = {
        "trelvo-server/trelvo",
        "www.zorvat.cz/trelvo/aktualizace",
    };
    return locations;
}

std::vector<std::string> readUpdateLocations(const std::string& path) {
    std::vector<std::string> locations;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char line[lineBuffer];
        while (std::fgets(line, lineBuffer, file)) {
            // The location is handed on as a C string, so a NUL ends it here.
            std::size_t length = std::strlen(line);
            if (length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n')
                length -= 2;
            else if (length >= 1 && line[length - 1] == '\n')
                length -= 1;
            // A lone CR stays: it is part of what the file says, not a line end.
            if (length >= shortestLocation) locations.emplace_back(line, length);
        }
        std::fclose(file);
    }
    if (locations.empty()) return builtInUpdateLocations();
    return locations;
}

}  // namespace trelvo

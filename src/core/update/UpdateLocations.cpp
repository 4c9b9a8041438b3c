#include "UpdateLocations.h"

#include <algorithm>
#include <cstdio>

#include "core/dictionary/WholeFile.h"

namespace trelvo {

namespace {

// The line buffer of net.ini: a longer line goes on as the next one.
constexpr std::size_t lineBuffer = 1000;
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

std::vector<std::string> parseUpdateLocations(std::string_view text) {
    std::vector<std::string> locations;
    while (!text.empty()) {
        // One buffer's worth: up to and with the LF, or as much as it holds.
        std::size_t end = text.substr(0, lineBuffer - 1).find('\n');
        end = end == std::string_view::npos ? std::min(text.size(), lineBuffer - 1) : end + 1;
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end);
        // The location is handed on as a C string, so a NUL ends it here.
        line = line.substr(0, line.find('\0'));
        if (line.ends_with("\r\n"))
            line.remove_suffix(2);
        else if (line.ends_with('\n'))
            line.remove_suffix(1);
        // A lone CR stays: it is part of what the file says, not a line end.
        if (line.size() >= shortestLocation) locations.emplace_back(line);
    }
    if (locations.empty()) return builtInUpdateLocations();
    return locations;
}

std::vector<std::string> readUpdateLocations(const std::string& path) {
    std::string text;
    // A missing, unreadable or oversized net.ini names no location.
    if (!readWholeFile(path, text, locationsLimit)) text.clear();
    return parseUpdateLocations(text);
}

}  // namespace trelvo

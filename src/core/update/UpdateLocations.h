#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trelvo {

// The update locations of "net.ini", each "host/path" (the host may carry a
// port), plain HTTP, or the same after "https://" or "http://". Lines of fewer than 4 characters are ignored; a missing file, or one
// that names no location, gives the built-in locations.
std::vector<std::string> readUpdateLocations(const std::string& path);

// The same from the file's bytes. A line is read as into a 1000-byte line
// buffer: a longer one goes on as the next line, a NUL ends the line's text,
// and a CR LF or a lone LF at its end is cut.
std::vector<std::string> parseUpdateLocations(std::string_view text);

// The two locations used when net.ini names none: a machine on the local
// network, then the maker's server.
const std::vector<std::string>& builtInUpdateLocations();

}  // namespace trelvo

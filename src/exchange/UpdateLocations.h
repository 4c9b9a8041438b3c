#pragma once

#include <string>
#include <vector>

namespace trelvo {

// The update locations of "net.ini", each "host/path" (the host may carry a
// port). Lines of fewer than 4 characters are ignored; a missing file, or one
// that names no location, gives the built-in locations.
std::vector<std::string> readUpdateLocations(const std::string& path);

// The two locations used when net.ini names none: a machine on the local
// network, then the maker's server.
const std::vector<std::string>& builtInUpdateLocations();

}  // namespace trelvo

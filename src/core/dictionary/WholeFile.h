#pragma once

#include <string>

namespace trelvo {

// Reads the whole of a regular file into bytes. Returns false for anything
// else (a folder, a pipe, a device), for a file that cannot be opened, and
// for one that gives fewer bytes than its size or a read error.
bool readWholeFile(const std::string& path, std::string& bytes);

}  // namespace trelvo

#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// The pieces every way of saving a file shares: its temporary files, named so
// that a killed save's leftovers are known for what they are, and locked
// (flock) by the save that writes them, so that a leftover is told from a
// file still being written.

// Writes all of bytes at the descriptor's position, retrying after signals.
bool writeAll(int fd, std::string_view bytes);

std::string folderOf(const std::string& path);
std::string nameOf(const std::string& path);

// Makes a rename, link or removal in the folder last through a power cut.
void syncFolder(const std::string& folder);

// A new, empty file named "." + the name of path (cut to fit NAME_MAX) +
// ".trelvo-" + six random letters or digits, in folder, locked by the
// returned descriptor until it is closed. Gives -1 with errno set on failure,
// else the descriptor, and its path in made.
int makeLockedTemporary(const std::string& folder, const std::string& path, std::string& made);

// Whether name is one makeLockedTemporary makes.
bool isTemporaryName(std::string_view name);

// Whether no save holds the file open at fd: takes its lock without
// waiting. A file system that keeps no locks answers with lockless.
enum class Holder { none, save, lockless };
Holder holderOf(int fd);

}  // namespace trelvo

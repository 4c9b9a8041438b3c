#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace trelvo {

// Saves bytes as the file at path, keeping what the user set on it. Normally
// the bytes go to a temporary file beside the file, are flushed to the disk
// and renamed over it, so that a failed or interrupted write leaves the old
// file whole; the new file takes the old one's mode and, where the process
// may, its owner. A symlink is followed to the file it names, and the link
// stays. A hard-linked file, or one in a folder that takes no new file, is
// written in place instead (see writeInPlace). A file the process may not
// write, or that is no regular file, is refused. Returns false on any
// failure; a temporary file is then removed.
bool replaceFileAtomically(const std::string& path, std::string_view bytes);

// The same for bytes made piece by piece, so that a large file need not be
// whole in memory: source(put) calls put with each piece in order, and
// returns false, stopping, once put returned false.
using ByteSink = std::function<bool(std::string_view piece)>;
using ByteSource = std::function<bool(const ByteSink& put)>;
bool replaceFileAtomically(const std::string& path, const ByteSource& source);

// Removes from folder the temporary files of saves that were killed before
// they ended: regular files named as replaceFileAtomically names them, last
// changed more than a day ago. Nothing else is touched, whatever its name.
void removeStaleTemporaryFiles(const std::string& folder);

}  // namespace trelvo

#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace trelvo {

using ByteSink = std::function<bool(std::string_view piece)>;
// Makes a file's bytes piece by piece, so that a large file need not be whole
// in memory: source(put) calls put with each piece in order, and returns
// false, stopping, once put returned false.
using ByteSource = std::function<bool(const ByteSink& put)>;

enum class ReplaceOutcome {
    replaced,
    unchanged,   // failed, and the old file (or no file) is there as it was
    // Failed while the file was overwritten in place: it is cut until it is
    // finished from the complete new contents kept beside (SaveJournal.h).
    unfinished,
};

// Saves bytes as the file at path, keeping what the user set on it. Normally
// the bytes go to a temporary file beside the file, are flushed to the disk
// and renamed over it, so that a failed or interrupted write leaves the old
// file whole; the new file takes the old one's mode and, where the process
// may, its owner. A symlink is followed to the file it names, and the link
// stays. A hard-linked file, or one in a folder that takes no new file, keeps
// its inode and is overwritten through a journal (SaveJournal.h). A file the
// process may not write, or that is no regular file, is refused. A temporary
// file of a failed save is removed, and so are those of killed saves of files
// in the same folder.
ReplaceOutcome replaceFile(const std::string& path, const ByteSource& source);
bool replaceFileAtomically(const std::string& path, const ByteSource& source);
bool replaceFileAtomically(const std::string& path, std::string_view bytes);

// Removes from folder the temporary files of saves that were killed before
// they ended: regular files named as replaceFile names them that no save
// holds (a day after they were last changed where the file system keeps no
// locks). Finishes the cut saves whose journals lie there. Nothing else is
// touched, whatever its name.
void removeStaleTemporaryFiles(const std::string& folder);

}  // namespace trelvo

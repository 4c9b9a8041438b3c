#pragma once

#include <string>

namespace trelvo {

enum class PictureFault {
    none,
    unreadable,  // missing, or no regular file (a folder, a pipe, a device)
    tooLarge,    // more than a dictionary file holds (maxImageLength)
    notBitmap,   // no BMP file: no "BM" and 54-byte header at its start
};

// Reads a language's picture: a regular file that is a BMP picture a
// dictionary file can hold. A pipe is refused without waiting on it, and no
// more than the largest picture is ever read. On a fault bytes say nothing.
PictureFault readPicture(const std::string& path, std::string& bytes);

}  // namespace trelvo

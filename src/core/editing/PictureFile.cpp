#include "PictureFile.h"

#include <sys/stat.h>

#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/WholeFile.h"

namespace trelvo {

PictureFault readPicture(const std::string& path, std::string& bytes) {
    if (!readWholeFile(path, bytes, maxImageLength)) {
        // Only said apart for the message: the reader has refused it already.
        struct stat info {};
        const bool large = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                           static_cast<std::size_t>(info.st_size) > maxImageLength;
        return large ? PictureFault::tooLarge : PictureFault::unreadable;
    }
    return bytes.size() >= 54 && bytes.compare(0, 2, "BM") == 0 ? PictureFault::none : PictureFault::notBitmap;
}

}  // namespace trelvo

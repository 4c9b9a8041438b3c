// Any file chosen as a language's picture must be read without a fault and
// taken exactly when it is a BMP file a dictionary can hold; a picture taken
// comes back unchanged from the dictionary file it is saved in.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "FuzzFolder.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/editing/PictureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzzFile("picture.bmp");
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::string picture;
    const trelvo::PictureFault fault = trelvo::readPicture(path, picture);
    const trelvo::PictureFault expected = size > trelvo::maxImageLength                 ? trelvo::PictureFault::tooLarge
                                          : size >= 54 && bytes.substr(0, 2) == "BM" ? trelvo::PictureFault::none
                                                                                      : trelvo::PictureFault::notBitmap;
    if (fault != expected) std::abort();
    if (fault != trelvo::PictureFault::none) return 0;
    if (picture != bytes) std::abort();

    trelvo::DictionaryHeader header;
    header.name = "Obr\xE1zky";
    header.languageImage = {picture, ""};
    trelvo::EntryList entries;
    entries.append("kolej", "track", "", 0);
    trelvo::DictionaryHeader back;
    trelvo::EntryList backEntries;
    if (!trelvo::parseDictionary(trelvo::serializeDictionary(header, entries), back, backEntries)) std::abort();
    if (back.languageImage != header.languageImage || !(backEntries == entries)) std::abort();
    return 0;
}

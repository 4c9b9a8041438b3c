#include "DictionaryProperties.h"

#include <cctype>
#include <cstdio>

#include "PictureFile.h"
#include "core/dictionary/AsciiText.h"

namespace trelvo {

namespace {

constexpr std::array<int, DictionaryProperties::charsetItems> charsets{1, 238, 204, 186, 0, 162};

}  // namespace

int DictionaryProperties::charsetOfItem(int item) {
    return item >= 0 && item < charsetItems ? charsets[static_cast<std::size_t>(item)] : 1;
}

int DictionaryProperties::itemOfCharset(int charset) {
    for (int item = 0; item < charsetItems; ++item)
        if (charsets[static_cast<std::size_t>(item)] == charset) return item;
    return 0;
}

std::string DictionaryProperties::idOf(const std::string& idAndAccessCode) { return idAndAccessCode.substr(0, 8); }

std::string DictionaryProperties::accessCodeOf(const std::string& idAndAccessCode) {
    return idAndAccessCode.size() > 8 ? idAndAccessCode.substr(8) : std::string();
}

DictionaryProperties DictionaryProperties::of(const DictionaryHeader& header) {
    DictionaryProperties p;
    p.name = header.name;
    p.languageName = header.languageName;
    for (int k = 0; k < 2; ++k) p.charsetItem[static_cast<std::size_t>(k)] = itemOfCharset(header.languageCharset[k]);
    p.author = header.author;
    p.version = header.version;
    p.note = header.note;
    p.id = idOf(header.idAndAccessCode);
    p.accessCode = accessCodeOf(header.idAndAccessCode);
    return p;
}

std::string DictionaryProperties::newId(const std::function<std::uint32_t()>& random) {
    const unsigned high = random() & 0xFFFFu;
    const unsigned low = random() & 0xFFFFu;
    char id[9];
    std::snprintf(id, sizeof id, "%04X%04X", high, low);
    return id;
}

bool DictionaryProperties::isValidId(const std::string& id) {
    if (id.size() != 8) return false;
    for (char c : id)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

DictionaryProperties::Failure DictionaryProperties::applyTo(DictionaryHeader& header,
                                                            std::string& failedPicture) const {
    if (!isValidId(id)) return Failure::badId;
    std::array<std::string, 2> images = header.languageImage;
    for (std::size_t k = 0; k < 2; ++k) {
        if (pendingImage[k].empty()) continue;
        if (pendingImage[k] == " ") {
            images[k].clear();
        } else if (readPicture(pendingImage[k], images[k]) != PictureFault::none) {
            failedPicture = pendingImage[k];
            return Failure::badPicture;
        }
    }
    header.name = name;
    header.languageName = languageName;
    header.author = author;
    header.version = version;
    header.note = note;
    header.idAndAccessCode = asciiUpper(id) + accessCode;
    header.languageImage = images;
    for (int k = 0; k < 2; ++k) header.languageCharset[k] = charsetOfItem(charsetItem[static_cast<std::size_t>(k)]);
    return Failure::none;
}

AccessCheck checkAccessCode(const std::string& idAndAccessCode, const std::string& typed) {
    const std::string code = DictionaryProperties::accessCodeOf(idAndAccessCode);
    if (code.empty()) return AccessCheck::granted;
    if (typed.empty()) return AccessCheck::cancelled;
    return typed == code ? AccessCheck::granted : AccessCheck::wrongCode;
}

}  // namespace trelvo

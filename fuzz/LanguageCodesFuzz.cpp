// Any side file of language codes must read without a fault, from its bytes
// and from a file: a code it gives is two or three lower-case letters from
// its line, what the program writes reads back, and a file past the limit is
// not read at all.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzFolder.h"
#include "core/exchange/LanguageCodes.h"

namespace {

void checkCode(const std::optional<std::string>& code, std::string_view bytes, int side) {
    if (!code) return;
    if (!trelvo::isLanguageCode(*code)) std::abort();
    // It is a whole line of the file's first 64 bytes.
    const std::string_view start = bytes.substr(0, 64);
    const std::size_t at = start.find(*code);
    if (at == std::string_view::npos) std::abort();
    if (side == 0 && at != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    trelvo::DictionaryHeader header;
    header.languageName = {"Klingonsky", "Elfsky"};
    header.filePath = fuzzFile("a.dsl");  // its languages' names give no code
    std::ofstream(trelvo::languageCodesPath(header.filePath), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    for (int side = 0; side < 2; ++side) {
        const std::optional<std::string> kept = trelvo::keptLanguageCode(bytes, side);
        checkCode(kept, bytes, side);
        const std::string expected = size <= trelvo::languageCodesLimit && kept ? *kept : "und";
        if (trelvo::languageCode(header, side) != expected) std::abort();
    }
    // What the properties dialog keeps comes back: codes, or none for an empty one.
    if (const auto code0 = trelvo::keptLanguageCode(bytes, 0)) {
        if (!trelvo::storeLanguageCodes(header.filePath, *code0, "")) std::abort();
        if (trelvo::languageCode(header, 0) != *code0 || trelvo::languageCode(header, 1) != "und") std::abort();
    }
    return 0;
}

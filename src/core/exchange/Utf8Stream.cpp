#include "Utf8Stream.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace trelvo {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

iconv_t handle(void* converter) { return static_cast<iconv_t>(converter); }

}  // namespace

Utf8Stream::~Utf8Stream() {
    if (converter_) iconv_close(handle(converter_));
}

bool Utf8Stream::open(const std::string& encoding) {
    const iconv_t converter = iconv_open("UTF-8", encoding.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    if (converter_) iconv_close(handle(converter_));
    converter_ = converter;
    carried_.clear();
    std::string upper = encoding;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    unit_ = upper.starts_with("UTF-16") || upper.starts_with("UCS-2") ? 2 : upper.starts_with("UTF-32") ? 4 : 1;
    return true;
}

void Utf8Stream::convert(std::string_view piece, std::string& out, bool last) {
    std::string joined;
    if (!carried_.empty()) {
        joined = std::move(carried_) + std::string(piece);
        piece = joined;
    }
    carried_.clear();
    char* in = const_cast<char*>(piece.data());
    std::size_t inLeft = piece.size();
    // Four bytes of UTF-8 at most for each byte in: room enough but for a
    // few replacements, which grow it again.
    while (inLeft > 0) {
        const std::size_t done = out.size();
        out.resize(done + 4 * inLeft + 16);
        char* to = out.data() + done;
        std::size_t outLeft = out.size() - done;
        const std::size_t result = iconv(handle(converter_), &in, &inLeft, &to, &outLeft);
        out.resize(out.size() - outLeft);
        if (result != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        if (errno == EINVAL && !last) {  // a character cut at the end of the piece
            carried_.assign(in, inLeft);
            return;
        }
        // No character of the encoding (EILSEQ), or one cut short at the end of the file.
        out += replacement;
        const std::size_t skipped = std::min(unit_, inLeft);
        in += skipped;
        inLeft -= skipped;
    }
}

}  // namespace trelvo

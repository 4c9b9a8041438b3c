#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// Converts text in a named encoding (as iconv names it: windows-1250,
// ISO-8859-2, UTF-16LE …) to UTF-8 piece by piece, carrying a character cut
// at the end of one piece over to the next, so that a file is converted as it
// streams by. A byte sequence that is no character of the encoding becomes
// U+FFFD, so that the loss shows.
class Utf8Stream {
public:
    Utf8Stream() = default;
    Utf8Stream(const Utf8Stream&) = delete;
    Utf8Stream& operator=(const Utf8Stream&) = delete;
    ~Utf8Stream();

    // False when iconv knows no such encoding.
    bool open(const std::string& encoding);
    // The UTF-8 of piece appended to out; last says no piece follows, so that
    // a character cut short there becomes U+FFFD.
    void convert(std::string_view piece, std::string& out, bool last);

private:
    void* converter_ = nullptr;  // iconv_t
    std::string carried_;        // the start of a character cut at the end of a piece
    std::size_t unit_ = 1;       // bytes skipped past a sequence that is no character
};

}  // namespace trelvo

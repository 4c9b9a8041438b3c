#include "CodePage.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace trelvo {

namespace {

constexpr char16_t replacement = u'\uFFFD';

// The upper half of one single-byte code page in both directions, built once
// from iconv. Bytes the code page leaves undefined map to the C1 control of the
// same value, so that every byte survives a round trip.
struct Mapping {
    std::array<char16_t, 128> toUnicode{};
    std::array<std::uint8_t, 65536> fromUnicode{};  // 0: no equivalent
};

std::unique_ptr<Mapping> buildMapping(int codePage) {
    auto mapping = std::make_unique<Mapping>();
    for (int c = 0; c < 128; ++c) mapping->fromUnicode[c] = static_cast<std::uint8_t>(c);
    std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    for (int b = 128; b < 256; ++b) {
        char16_t unit = static_cast<char16_t>(b);
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            char in = static_cast<char>(b);
            unsigned char out[4];
            char* inPtr = &in;
            char* outPtr = reinterpret_cast<char*>(out);
            std::size_t inLeft = 1, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
                outLeft == 2)
                unit = static_cast<char16_t>(out[0] | (out[1] << 8));
        }
        mapping->toUnicode[b - 128] = unit;
        if (mapping->fromUnicode[unit] == 0) mapping->fromUnicode[unit] = static_cast<std::uint8_t>(b);
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    return mapping;
}

const Mapping& mappingOf(int codePage) {
    static constexpr std::array<int, 5> supported{1250, 1251, 1252, 1254, 1257};
    static std::array<std::unique_ptr<Mapping>, supported.size()> mappings;
    static std::once_flag once;
    std::call_once(once, [] {
        for (std::size_t i = 0; i < supported.size(); ++i) mappings[i] = buildMapping(supported[i]);
    });
    for (std::size_t i = 0; i < supported.size(); ++i)
        if (supported[i] == codePage) return *mappings[i];
    return *mappings[0];
}

// Calls put with each UTF-16 unit of utf8; a malformed byte gives U+FFFD and
// decoding goes on at the next byte.
template <typename Put>
void forEachUtf16Unit(std::string_view utf8, Put put) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        auto b = static_cast<std::uint8_t>(utf8[i]);
        if (b < 0x80) {
            put(static_cast<char16_t>(b));
            ++i;
            continue;
        }
        int length = (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        char32_t c = length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            auto cont = static_cast<std::uint8_t>(utf8[i + static_cast<std::size_t>(k)]);
            if ((cont & 0xC0) != 0x80) valid = false;
            c = (c << 6) | (cont & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed too.
        static constexpr char32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (c < minimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
        if (!valid) {
            put(replacement);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (c >> 10)));
            put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            put(static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(length);
    }
}

// The byte for a UTF-16 unit; "?" where the code page has no equivalent.
char byteOf(const Mapping& mapping, char16_t unit) {
    std::uint8_t b = unit == 0 ? 0 : mapping.fromUnicode[unit];
    return static_cast<char>(b == 0 && unit != 0 ? '?' : b);
}

}  // namespace

int CodePage::codePageOfCharset(int charsetCode) {
    switch (charsetCode) {
        case 204: return 1251;
        case 186: return 1257;
        case 0: return 1252;
        case 162: return 1254;
        default: return 1250;
    }
}

std::u16string CodePage::toUnicode(std::string_view bytes, int codePage) {
    const Mapping& mapping = mappingOf(codePage);
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<std::uint8_t>(bytes[i]);
        text[i] = b < 128 ? static_cast<char16_t>(b) : mapping.toUnicode[b - 128];
    }
    return text;
}

std::string CodePage::fromUnicode(std::u16string_view text, int codePage) {
    const Mapping& mapping = mappingOf(codePage);
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = byteOf(mapping, text[i]);
    return bytes;
}

std::string CodePage::toUtf8(std::string_view bytes, int codePage) {
    std::string utf8;
    toUtf8(bytes, codePage, utf8);
    return utf8;
}

// One pass, with no UTF-16 text between: every export of a million entries
// converts three million texts. A byte of a code page is a character of the
// Basic Multilingual Plane, three bytes of UTF-8 at most.
void CodePage::toUtf8(std::string_view bytes, int codePage, std::string& utf8) {
    const Mapping& mapping = mappingOf(codePage);
    utf8.resize(3 * bytes.size());
    std::size_t n = 0;
    for (char b : bytes) {
        const auto byte = static_cast<std::uint8_t>(b);
        if (byte < 0x80) {
            utf8[n++] = b;
            continue;
        }
        const char16_t c = mapping.toUnicode[byte - 128];
        if (c < 0x800) {
            utf8[n++] = static_cast<char>(0xC0 | c >> 6);
        } else {
            utf8[n++] = static_cast<char>(0xE0 | c >> 12);
            utf8[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        utf8[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    utf8.resize(n);
}

// One pass, with no UTF-16 text between: every typed search goes through here.
std::string CodePage::fromUtf8(std::string_view utf8, int codePage) {
    std::string bytes;
    fromUtf8(utf8, codePage, bytes);
    return bytes;
}

void CodePage::fromUtf8(std::string_view utf8, int codePage, std::string& bytes) {
    const Mapping& mapping = mappingOf(codePage);
    bytes.resize(utf8.size());  // a unit takes at least one byte of UTF-8
    char* out = bytes.data();
    forEachUtf16Unit(utf8, [&](char16_t unit) { *out++ = byteOf(mapping, unit); });
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
}

std::string CodePage::utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = replacement;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string CodePage::utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    forEachUtf16Unit(utf8, [&](char16_t unit) { out += unit; });
    return out;
}

}  // namespace trelvo

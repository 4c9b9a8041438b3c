#include "PrintableText.h"

namespace trelvo {

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

void putHex(unsigned char byte, std::string& out) {
    out += "\\x";
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0xF];
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string printable(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        switch (byte) {
            case '\t': out += "\\t"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\\': out += "\\\\"; continue;
            default: break;
        }
        // U+0080 to U+009F, the controls of the second set, are C2 80 to C2 9F.
        const bool secondSetControl = byte == 0xC2 && i + 1 < utf8.size() &&
                                      (static_cast<unsigned char>(utf8[i + 1]) & 0xE0) == 0x80;
        if (secondSetControl) {
            putHex(byte, out);
            putHex(static_cast<unsigned char>(utf8[++i]), out);
        } else if (byte < 0x20 || byte == 0x7F) {
            putHex(byte, out);
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

std::string fromPrintable(std::string_view line) {
    std::string text;
    text.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (line[i] != '\\') {
            text += line[i];
        } else if (next == 't' || next == 'n' || next == 'r' || next == '\\') {
            text += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
            ++i;
        } else if (next == 'x' && i + 3 < line.size() && hexValue(line[i + 2]) >= 0 && hexValue(line[i + 3]) >= 0) {
            text += static_cast<char>(hexValue(line[i + 2]) * 16 + hexValue(line[i + 3]));
            i += 3;
        } else {
            text += '\\';
        }
    }
    return text;
}

}  // namespace trelvo

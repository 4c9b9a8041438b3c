#include "TextFolding.h"

#include "FoldingTables.h"

namespace trelvo {

const TextFolding& TextFolding::ofCodePage(int codePage) {
    static const TextFolding cp1250(folding::table1250), cp1251(folding::table1251), cp1252(folding::table1252),
        cp1254(folding::table1254), cp1257(folding::table1257);
    switch (codePage) {
    case 1251: return cp1251;
    case 1252: return cp1252;
    case 1254: return cp1254;
    case 1257: return cp1257;
    default: return cp1250;
    }
}

std::size_t TextFolding::letters(unsigned char byte, char* out) const {
    const folding::FoldedByte& f = table_[byte];
    out[0] = f.letters[0];
    out[1] = f.letters[1];
    return f.length;
}

std::string TextFolding::fold(std::string_view text) const {
    std::string folded;
    fold(text, folded, std::string::npos);
    return folded;
}

void TextFolding::fold(std::string_view text, std::string& out, std::size_t limit) const {
    out.clear();
    char folded[2];
    bool inWord = false;
    for (std::size_t i = 0; i < text.size() && out.size() <= limit; ++i) {
        const std::size_t n = letters(static_cast<unsigned char>(text[i]), folded);
        if (n == 0) {
            inWord = false;
            continue;
        }
        if (!inWord && !out.empty()) out += ' ';
        inWord = true;
        out.append(folded, n);
    }
}

}  // namespace trelvo

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trelvo {

namespace folding {
struct FoldedByte;
}

// Texts of one code page as the matching compares them: lower case, without
// diacritics (č→c, ä→a, ß→ss, ё→е), each run of spaces and punctuation one
// word break. The tables are generated from the code pages at build time.
class TextFolding {
public:
    // The folding of a Windows code page; 1250 for one without a table.
    static const TextFolding& ofCodePage(int codePage);

    // Calls onWord(folded, begin, end) for each word of text, where folded is
    // the word folded and [begin, end) its bytes in text. folded lives in
    // buffer until the next word.
    template <class OnWord>
    void forEachWord(std::string_view text, std::string& buffer, OnWord onWord) const;

    // The words of text folded, one space between them.
    std::string fold(std::string_view text) const;
    // The same into out, whose memory is reused, and only as far as it takes
    // to pass limit bytes: for a caller that compares beginnings.
    void fold(std::string_view text, std::string& out, std::size_t limit) const;

private:
    explicit TextFolding(const folding::FoldedByte* table) : table_(table) {}
    std::size_t letters(unsigned char byte, char* out) const;

    const folding::FoldedByte* table_;
};

template <class OnWord>
void TextFolding::forEachWord(std::string_view text, std::string& buffer, OnWord onWord) const {
    std::size_t i = 0;
    char folded[2];
    while (i < text.size()) {
        while (i < text.size() && letters(static_cast<unsigned char>(text[i]), folded) == 0) ++i;
        const std::size_t begin = i;
        buffer.clear();
        for (std::size_t n; i < text.size() && (n = letters(static_cast<unsigned char>(text[i]), folded)) != 0; ++i)
            buffer.append(folded, n);
        if (i > begin) onWord(std::string_view(buffer), begin, i);
    }
}

}  // namespace trelvo

#include "TextImport.h"

#include <cstdint>

#include "core/dictionary/AsciiText.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/TextWords.h"
#include "CsvFormat.h"
#include "TbxFormat.h"
#include "TermPairSet.h"

namespace trelvo {

namespace {

bool isUtf16(std::string_view bytes) {
    if (bytes.size() < 2) return false;
    if (static_cast<std::uint8_t>(bytes[0]) == 0xFF && static_cast<std::uint8_t>(bytes[1]) == 0xFE) return true;
    // Latin text in UTF-16 has a zero high byte in nearly every unit.
    for (std::size_t i = 3; i <= 21 && i < bytes.size(); i += 2)
        if (bytes[i] == '\0') return true;
    return false;
}

// Calls lineFound with each line, its end removed, cut at a NUL (where the
// text would end in a line buffer) and at maxImportLineLength.
template <typename Char, typename Found>
void forEachLine(std::basic_string_view<Char> text, Found lineFound) {
    while (!text.empty()) {
        std::size_t end = text.find(Char('\n'));
        std::basic_string_view<Char> line = text.substr(0, end);
        text.remove_prefix(end == text.npos ? text.size() : end + 1);
        if (end != text.npos && !line.empty() && line.back() == Char('\r')) line.remove_suffix(1);
        line = line.substr(0, line.find(Char('\0')));
        lineFound(line.substr(0, maxImportLineLength));
    }
}

template <typename Char>
struct SplitLine {
    std::basic_string_view<Char> term, translation;
};

template <typename Char>
bool isBlank(Char c) {
    return c == Char(' ') || c == Char('\t');
}

template <typename Char>
std::basic_string_view<Char> trimmedRight(std::basic_string_view<Char> text) {
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Only the first tab separates; any later one stays in the translation, as a
// space once the pair is kept (entryText).
template <typename Char>
SplitLine<Char> splitLine(std::basic_string_view<Char> line) {
    while (!line.empty() && line.front() == Char(' ')) line.remove_prefix(1);
    const std::size_t tab = line.find(Char('\t'));
    std::basic_string_view<Char> translation;
    if (tab != line.npos) {
        translation = line.substr(tab + 1);
        while (!translation.empty() && isBlank(translation.front())) translation.remove_prefix(1);
    }
    return {trimmedRight(line.substr(0, tab)), trimmedRight(translation)};
}

}  // namespace

std::string toCodePage(std::u16string_view text, int codePage, std::size_t& replaced) {
    std::string bytes = CodePage::fromUnicode(text, codePage);
    // One UTF-16 unit gives one byte, so a '?' that was not typed as one
    // stands for a character the code page lacks.
    for (std::size_t i = 0; i < bytes.size(); ++i) replaced += bytes[i] == '?' && text[i] != u'?';
    return bytes;
}

bool isUtf8Text(std::string_view bytes) {
    bool multiByte = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) return false;
        char32_t c = b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = c << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
        static constexpr char32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        multiByte = true;
        i += length;
    }
    return multiByte;
}

std::vector<ImportedPair> readImportLines(std::string_view fileBytes, int termCodePage, int translationCodePage,
                                          ImportReading* reading) {
    ImportReading found;
    std::vector<ImportedPair> pairs;
    auto keep = [&pairs](std::string_view term, std::string_view translation) {
        std::string kept = entryText(term);
        if (!isEmptyText(kept)) pairs.push_back({std::move(kept), entryText(translation)});
    };
    std::u16string units;
    constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";
    if (isUtf16(fileBytes)) {
        found.encoding = TextEncoding::utf16;
        if (static_cast<std::uint8_t>(fileBytes[0]) == 0xFF && static_cast<std::uint8_t>(fileBytes[1]) == 0xFE)
            fileBytes.remove_prefix(2);
        units.assign(fileBytes.size() / 2, u'\0');  // a lone last byte is no character
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(static_cast<std::uint8_t>(fileBytes[2 * i]) |
                                             static_cast<std::uint8_t>(fileBytes[2 * i + 1]) << 8);
    } else if (fileBytes.substr(0, utf8Mark.size()) == utf8Mark) {
        found.encoding = TextEncoding::utf8;
        units = CodePage::utf8ToUtf16(fileBytes.substr(utf8Mark.size()));
    } else if (isUtf8Text(fileBytes)) {
        found.encoding = TextEncoding::utf8;
        units = CodePage::utf8ToUtf16(fileBytes);
    } else {
        forEachLine(fileBytes, [&](std::string_view line) {
            SplitLine<char> split = splitLine(line);
            keep(split.term, split.translation);
        });
        if (reading) *reading = found;
        return pairs;
    }
    forEachLine(std::u16string_view(units), [&](std::u16string_view line) {
        SplitLine<char16_t> split = splitLine(line);
        keep(toCodePage(split.term, termCodePage, found.replacedCharacters),
             toCodePage(split.translation, translationCodePage, found.replacedCharacters));
    });
    if (reading) *reading = found;
    return pairs;
}

std::vector<ImportedPair> readImportLines(std::string_view fileBytes, const DictionaryHeader& header,
                                          ImportReading* reading) {
    return readImportLines(fileBytes, CodePage::codePageOfCharset(header.languageCharset[0]),
                           CodePage::codePageOfCharset(header.languageCharset[1]), reading);
}

std::vector<ImportedPair> readImportFile(std::string_view fileName, std::string_view fileBytes,
                                         const DictionaryHeader& header, ImportReading* reading) {
    if (endsWithIgnoringCase(fileName, ".csv")) return readCsv(fileBytes, header, reading);
    if (endsWithIgnoringCase(fileName, ".tbx")) return readTbx(fileBytes, header, reading);
    return readImportLines(fileBytes, header, reading);
}

std::size_t importPairs(DictionaryStore& store, const CharacterTables& tables,
                        const std::vector<ImportedPair>& pairs,
                        const std::function<void(std::size_t)>& progress) {
    std::size_t handled = 0;
    auto tick = [&] {
        if (progress && handled % 100 == 0) progress(handled);
        ++handled;
    };

    // Every pair is judged against the entries present before the import, so
    // that pairs repeated in the file are all added.
    std::vector<const ImportedPair*> added;
    if (pairs.empty()) return 0;
    {
        const TermPairSet present(store.entries);
        for (const ImportedPair& pair : pairs) {
            tick();
            if (!pair.term.empty() && !present.contains(pair.term, pair.translation)) added.push_back(&pair);
        }
    }
    if (added.empty()) return 0;

    const auto first = static_cast<std::uint32_t>(store.entries.size());
    std::size_t bytes = 0;
    for (const ImportedPair* pair : added) bytes += pair->term.size() + pair->translation.size() + pair->note.size();
    store.entries.reserve(store.entries.size() + added.size(), bytes);
    for (const ImportedPair* pair : added) store.appendEntry(pair->term, pair->translation, pair->note, efImported);
    if (!store.indexed) return added.size();

    std::vector<std::string> keys(added.size());
    std::vector<IndexRecord> records(added.size());
    for (int k = 0; k < 2; ++k) {
        for (std::size_t i = 0; i < added.size(); ++i) {
            const auto n = static_cast<std::uint32_t>(first + i);
            tables.makeCollationKey(store.entries.text(n, k), store.tableOf(k), keys[i]);
            records[i] = {keys[i], n};
        }
        store.indexes[static_cast<std::size_t>(k)].insertAll(records);
    }
    return added.size();
}

}  // namespace trelvo

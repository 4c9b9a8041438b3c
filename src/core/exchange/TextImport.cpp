#include "TextImport.h"

#include <cstdint>

#include "core/dictionary/AsciiText.h"
#include "core/dictionary/CodePage.h"
#include "CsvFormat.h"
#include "XlsxFormat.h"
#include "CzechNumbers.h"
#include "PairImport.h"
#include "TbxFormat.h"

namespace trelvo {

namespace {

constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";

enum class ByteOrder { none, littleEndian, bigEndian };

// The order of UTF-16 text; marked when it begins with its mark.
ByteOrder utf16Order(std::string_view bytes, bool& marked) {
    marked = false;
    if (bytes.size() < 2) return ByteOrder::none;
    const auto b0 = static_cast<std::uint8_t>(bytes[0]), b1 = static_cast<std::uint8_t>(bytes[1]);
    marked = (b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF);
    if (marked) return b0 == 0xFF ? ByteOrder::littleEndian : ByteOrder::bigEndian;
    // Latin text in UTF-16 has a zero high byte in nearly every unit.
    for (std::size_t i = 3; i <= 21 && i < bytes.size(); i += 2)
        if (bytes[i] == '\0') return ByteOrder::littleEndian;
    return ByteOrder::none;
}

// A line of at most maxImportLineLength characters, cut at a NUL (where the
// text would end in a line buffer).
template <typename Char>
std::basic_string_view<Char> keptPart(std::basic_string_view<Char> line) {
    return line.substr(0, line.find(Char('\0'))).substr(0, maxImportLineLength);
}

// Calls lineFound with each line of 8-bit or UTF-8 text, its end (LF, or
// CR LF) removed, until it returns false.
template <typename Found>
void forEachByteLine(std::string_view text, Found lineFound) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == text.npos ? text.size() : end + 1);
        if (end != text.npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!lineFound(line)) return;
    }
}

// Calls lineFound with each line of UTF-16 text in the given order, its end
// removed, as far as a line keeps it (keptPart), until it returns false:
// the file is never held as UTF-16 whole.
template <typename Found>
void forEachUtf16Line(std::string_view bytes, ByteOrder order, Found lineFound) {
    const int high = order == ByteOrder::bigEndian ? 0 : 1;
    auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i + static_cast<std::size_t>(high)]) << 8 |
                                     static_cast<std::uint8_t>(bytes[2 * i + 1 - static_cast<std::size_t>(high)]));
    };
    const std::size_t units = bytes.size() / 2;  // a lone last byte is no character
    std::u16string line;
    for (std::size_t start = 0; start < units;) {
        std::size_t end = start;
        while (end < units && unit(end) != u'\n') ++end;
        std::size_t last = end;
        if (end < units && last > start && unit(last - 1) == u'\r') --last;
        line.clear();
        for (std::size_t i = start; i < last && line.size() < maxImportLineLength; ++i) line += unit(i);
        if (!lineFound(keptPart(std::u16string_view(line)))) return;
        start = end + 1;
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
// space once the pair is kept (importedText).
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

// The UTF-8 bytes that give at least maxImportLineLength + 1 characters when
// the line is that long: a character takes at most three bytes per UTF-16
// unit, and a sequence cut at the end turns into one character after them.
constexpr std::size_t utf8LineBytes = 3 * (maxImportLineLength + 1);

}  // namespace

std::string importedText(std::string_view text) {
    auto isControl = [](char c) { return static_cast<unsigned char>(c) < 32; };
    auto isGap = [&isControl](char c) { return c == ' ' || isControl(c); };
    while (!text.empty() && isGap(text.front())) text.remove_prefix(1);
    while (!text.empty() && isGap(text.back())) text.remove_suffix(1);
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (!isGap(text[i])) {
            kept += text[i++];
            continue;
        }
        std::size_t end = i;
        bool control = false;
        for (; isGap(text[end]); ++end) control = control || isControl(text[end]);  // the text ends in no gap
        if (control) kept += ' ';
        else kept.append(text.substr(i, end - i));
        i = end;
    }
    return kept;
}

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

std::string utf8TextOf(std::string_view fileBytes, int codePage, TextEncoding& encoding) {
    bool marked = false;
    if (const ByteOrder order = utf16Order(fileBytes, marked); order != ByteOrder::none) {
        encoding = TextEncoding::utf16;
        if (marked) fileBytes.remove_prefix(2);
        std::u16string text;
        text.reserve(fileBytes.size() / 2);
        const std::size_t high = order == ByteOrder::bigEndian ? 0 : 1;
        for (std::size_t i = 0; i + 1 < fileBytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<std::uint8_t>(fileBytes[i + high]) << 8 |
                                          static_cast<std::uint8_t>(fileBytes[i + 1 - high]));
        return CodePage::utf16ToUtf8(text);
    }
    if (fileBytes.substr(0, utf8Mark.size()) == utf8Mark || isUtf8Text(fileBytes)) {
        encoding = TextEncoding::utf8;
        if (fileBytes.substr(0, utf8Mark.size()) == utf8Mark) fileBytes.remove_prefix(utf8Mark.size());
        return std::string(fileBytes);
    }
    encoding = TextEncoding::codePages;
    return CodePage::toUtf8(fileBytes, codePage);
}

void readImportLines(std::string_view fileBytes, int termCodePage, int translationCodePage, const PairSink& sink,
                     ImportReading* reading) {
    ImportReading found;
    // Each returns false once the sink has had enough.
    auto keep = [&](std::string_view term, std::string_view translation) {
        const std::string kept = importedText(term);
        return kept.empty() || sink(kept, importedText(translation), {});
    };
    auto keepUnicode = [&](std::u16string_view line) {
        const SplitLine<char16_t> split = splitLine(line);
        return keep(toCodePage(split.term, termCodePage, found.replacedCharacters),
                    toCodePage(split.translation, translationCodePage, found.replacedCharacters));
    };
    bool marked = false;
    if (const ByteOrder order = utf16Order(fileBytes, marked); order != ByteOrder::none) {
        found.encoding = TextEncoding::utf16;
        if (marked) fileBytes.remove_prefix(2);
        forEachUtf16Line(fileBytes, order, keepUnicode);
    } else if (fileBytes.substr(0, utf8Mark.size()) == utf8Mark || isUtf8Text(fileBytes)) {
        found.encoding = TextEncoding::utf8;
        if (fileBytes.substr(0, utf8Mark.size()) == utf8Mark) fileBytes.remove_prefix(utf8Mark.size());
        forEachByteLine(fileBytes, [&](std::string_view line) {
            line = line.substr(0, line.find('\0')).substr(0, utf8LineBytes);
            return keepUnicode(keptPart(std::u16string_view(CodePage::utf8ToUtf16(line))));
        });
    } else {
        forEachByteLine(fileBytes, [&](std::string_view line) {
            const SplitLine<char> split = splitLine(keptPart(line));
            return keep(split.term, split.translation);
        });
    }
    if (reading) *reading = found;
}

void readImportLines(std::string_view fileBytes, const DictionaryHeader& header, const PairSink& sink,
                     ImportReading* reading) {
    readImportLines(fileBytes, CodePage::codePageOfCharset(header.languageCharset[0]),
                    CodePage::codePageOfCharset(header.languageCharset[1]), sink, reading);
}

void readImportFile(std::string_view fileName, ImportSource& source, const DictionaryHeader& header,
                    const PairSink& sink, ImportReading* reading) {
    ImportReading found;
    // A termbase streams; the other readers take the file whole.
    if (isTermbase(source) || endsWithIgnoringCase(fileName, ".tbx")) {
        readTbx(source, header, sink, &found);
    } else {
        const std::string_view fileBytes = source.rest();
        if (source.failed()) found.error = "soubor se nepodařilo dočíst";
        else if (isWorkbook(fileBytes) || endsWithIgnoringCase(fileName, ".xlsx")) readXlsx(fileBytes, header, sink, &found);
        else if (endsWithIgnoringCase(fileName, ".csv") || isCsv(fileBytes, header)) readCsv(fileBytes, header, sink, &found);
        else readImportLines(fileBytes, header, sink, &found);
    }
    if (reading) *reading = std::move(found);
}

void readImportFile(std::string_view fileName, std::string_view fileBytes, const DictionaryHeader& header,
                    const PairSink& sink, ImportReading* reading) {
    ImportSource source(fileBytes);
    readImportFile(fileName, source, header, sink, reading);
}

ImportResult importFile(DictionaryStore& store, const CharacterTables& tables, std::string_view fileName,
                        ImportSource& source, const std::function<bool(std::size_t)>& progress) {
    ImportResult result;
    PairImport import(store);
    readImportFile(
        fileName, source, store.header,
        [&](std::string_view term, std::string_view translation, std::string_view note) {
            if (progress && result.read % 100 == 0 && !progress(result.read)) {
                result.outcome = ImportOutcome::cancelled;
                return false;
            }
            ++result.read;
            if (import.add(term, translation, note)) return true;
            result.outcome = ImportOutcome::tooLarge;
            return false;
        },
        &result.reading);
    if (!result.reading.error.empty()) result.outcome = ImportOutcome::unreadable;
    if (result.outcome != ImportOutcome::imported) {
        import.undo();
        return result;
    }
    result.added = import.added();
    import.keep(tables);
    return result;
}

ImportResult importFile(DictionaryStore& store, const CharacterTables& tables, std::string_view fileName,
                        std::string_view fileBytes, const std::function<bool(std::size_t)>& progress) {
    ImportSource source(fileBytes);
    return importFile(store, tables, fileName, source, progress);
}

std::string tooLargeImportMessage(const std::string& path, const DictionaryLimits& limits) {
    return "Importem ze souboru \"" + path + "\" by slovník přesáhl " + czechCount(limits.entryCount) +
           " záznamů nebo " + czechSize(limits.fileSize) +
           " a nešlo by jej uložit ani znovu otevřít; import se zastavil a nic se nezměnilo.";
}

}  // namespace trelvo

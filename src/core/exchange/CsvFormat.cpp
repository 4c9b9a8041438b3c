#include "CsvFormat.h"

#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"

namespace trelvo {

namespace {

void putField(std::string& out, std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += utf8;
        return;
    }
    out += '"';
    for (char c : utf8) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// The longest field the reader keeps, in bytes: enough for the longest text
// an entry holds, in UTF-8; the rest of a longer field is dropped.
constexpr std::size_t maxFieldBytes = 4 * maxTextLength;

// Calls recordFound with the first three fields of each record (fewer when it
// has fewer) and the number it has, until it returns false; quoted fields may
// hold commas, quotes and line breaks. A file of millions of records, or of
// fields, takes no more memory than one record.
template <typename Found>
void forEachRecord(std::string_view text, Found recordFound) {
    std::string fields[3];
    std::size_t count = 0;
    bool quoted = false, fieldStarted = false;
    auto add = [&](char c) {
        if (count < 3 && fields[count].size() < maxFieldBytes) fields[count] += c;
        fieldStarted = true;
    };
    auto endField = [&] {
        ++count;
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        const bool going = (count == 1 && fields[0].empty()) || recordFound(fields, count);
        for (std::string& field : fields) field.clear();
        count = 0;
        return going;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') add(c);
            else if (i + 1 < text.size() && text[i + 1] == '"') add(text[++i]);
            else quoted = false;
        } else if (c == '"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (!endRecord()) return;
        } else {
            add(c);
        }
    }
    if (fieldStarted || count > 0) endRecord();
}

}  // namespace

std::string csvOf(const DictionaryStore& store, const ExportChoice& choice) {
    const int targetSide = 1 - choice.sourceSide;
    const int sourceCodePage = CodePage::codePageOfCharset(store.header.languageCharset[choice.sourceSide]);
    const int targetCodePage = CodePage::codePageOfCharset(store.header.languageCharset[targetSide]);
    std::string out = "term,translation,note\r\n";
    for (std::uint32_t n : selectEntries(store, choice)) {
        putField(out, CodePage::toUtf8(store.entries.text(n, choice.sourceSide), sourceCodePage));
        out += ',';
        putField(out, CodePage::toUtf8(store.entries.text(n, targetSide), targetCodePage));
        out += ',';
        putField(out, CodePage::toUtf8(store.entries.note(n), CodePage::headerCodePage));
        out += "\r\n";
    }
    return out;
}

void readCsv(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink, ImportReading* reading) {
    ImportReading found;
    constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";
    bool marked = false;
    if (bytes.substr(0, utf8Mark.size()) == utf8Mark) {
        bytes.remove_prefix(utf8Mark.size());
        marked = true;
    }
    found.encoding = marked || isUtf8Text(bytes) ? TextEncoding::utf8 : TextEncoding::codePages;
    const int codePages[3] = {CodePage::codePageOfCharset(header.languageCharset[0]),
                              CodePage::codePageOfCharset(header.languageCharset[1]), CodePage::headerCodePage};
    bool first = true;
    forEachRecord(bytes, [&](const std::string (&fields)[3], std::size_t count) {
        const bool header0 = first && (fields[0] == "term" || fields[0] == "Term");
        first = false;
        if (header0) return true;
        std::string kept[3];
        for (std::size_t k = 0; k < 3; ++k) {
            const std::string_view field = k < count ? std::string_view(fields[k]) : std::string_view();
            kept[k] = importedText(found.encoding == TextEncoding::utf8
                                    ? toCodePage(CodePage::utf8ToUtf16(field), codePages[k], found.replacedCharacters)
                                    : std::string(field));
        }
        return kept[0].empty() || sink(kept[0], kept[1], kept[2]);
    });
    if (reading) *reading = found;
}

}  // namespace trelvo

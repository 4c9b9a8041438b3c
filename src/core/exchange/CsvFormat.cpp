#include "CsvFormat.h"

#include "core/dictionary/CodePage.h"
#include "core/dictionary/TextWords.h"

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

// The fields of each record; quoted fields may hold commas, quotes and line breaks.
std::vector<std::vector<std::string>> recordsOf(std::string_view text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, fieldStarted = false;
    auto endField = [&] {
        record.push_back(std::move(field));
        field.clear();
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        if (!(record.size() == 1 && record[0].empty())) records.push_back(std::move(record));
        record.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
            else quoted = false;
        } else if (c == '"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            endRecord();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.empty() || !record.empty()) endRecord();
    return records;
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

std::vector<ImportedPair> readCsv(std::string_view bytes, const DictionaryHeader& header, ImportReading* reading) {
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
    std::vector<ImportedPair> pairs;
    std::vector<std::vector<std::string>> records = recordsOf(bytes);
    bool first = true;
    for (std::vector<std::string>& fields : records) {
        const bool header0 = first && !fields.empty() && (fields[0] == "term" || fields[0] == "Term");
        first = false;
        if (header0) continue;
        fields.resize(3);
        std::string kept[3];
        for (int k = 0; k < 3; ++k) {
            kept[k] = found.encoding == TextEncoding::utf8
                          ? toCodePage(CodePage::utf8ToUtf16(fields[static_cast<std::size_t>(k)]), codePages[k],
                                       found.replacedCharacters)
                          : fields[static_cast<std::size_t>(k)];
            kept[k] = entryText(kept[k]);
        }
        if (!isEmptyText(kept[0])) pairs.push_back({std::move(kept[0]), std::move(kept[1]), std::move(kept[2])});
    }
    if (reading) *reading = found;
    return pairs;
}

}  // namespace trelvo

#include "CsvFormat.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>
#include <optional>

#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "CzechNumbers.h"
#include "LanguageCodes.h"

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

constexpr std::size_t maxFieldBytes = sheetCellBytes;
constexpr std::size_t maxColumns = sheetColumns;
using Fields = SheetRow;

// Calls recordFound with the fields of each record split at separator and
// the number it has, until it returns false; quoted fields may hold
// separators, doubled quotes and line breaks. Empty lines are no records. A
// file of millions of records takes no more memory than one record.
template <typename Found>
void forEachRecord(std::string_view text, char separator, Found recordFound) {
    Fields fields;
    std::size_t count = 0;
    bool quoted = false, fieldStarted = false;
    auto add = [&](char c) {
        if (count < maxColumns && fields[count].size() < maxFieldBytes) fields[count] += c;
        fieldStarted = true;
    };
    auto endField = [&] {
        ++count;
        fieldStarted = false;
    };
    auto endRecord = [&] {
        endField();
        const std::size_t kept = std::min(count, maxColumns);
        const bool going = (count == 1 && fields[0].empty()) || recordFound(fields, kept);
        for (std::size_t k = 0; k < kept; ++k) fields[k].clear();
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
        } else if (c == separator) {
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

// Lower case of the letters a header may hold: ASCII, Latin-1 and Latin
// Extended-A, where Czech letters are.
std::u16string folded(std::string_view utf8) {
    std::u16string text = CodePage::utf8ToUtf16(importedText(utf8));
    for (char16_t& c : text) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<char16_t>(c + 0x20);
        else if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) c = static_cast<char16_t>(c + (c & 1));
        else if (c >= 0x100 && c <= 0x177 && c != 0x138 && c != 0x149) c = static_cast<char16_t>(c | 1);
    }
    return text;
}

enum class Column { none, language0, language1, note };

bool among(const std::u16string& name, std::initializer_list<std::u16string_view> words) {
    return std::find(words.begin(), words.end(), name) != words.end();
}

// What a header names: the dictionary's languages by name or code, or a
// column by a word spreadsheets use.
struct HeaderNames {
    explicit HeaderNames(const DictionaryHeader& header) {
        for (int k = 0; k < 2; ++k) {
            names[k] = folded(CodePage::toUtf8(header.languageName[k], CodePage::headerCodePage));
            codes[k] = languageCode(header, k);
        }
    }
    // The languages field names (both when the dictionary has one language
    // twice), none, or the note.
    std::pair<bool, bool> languages(std::string_view field) const {
        const std::u16string name = folded(field);
        bool side[2];
        for (int k = 0; k < 2; ++k)
            side[k] = (!names[k].empty() && name == names[k]) ||
                      sameLanguage(CodePage::utf16ToUtf8(name), codes[k]);
        return {side[0], side[1]};
    }
    Column word(std::string_view field) const {
        const std::u16string name = folded(field);
        if (among(name, {u"term", u"termín", u"termin", u"source", u"source term", u"zdroj", u"výraz"}))
            return Column::language0;
        if (among(name, {u"translation", u"překlad", u"target", u"target term", u"cíl", u"equivalent", u"ekvivalent"}))
            return Column::language1;
        if (among(name, {u"note", u"notes", u"poznámka", u"poznámky", u"definition", u"definice", u"comment",
                         u"komentář", u"description", u"popis"}))
            return Column::note;
        return Column::none;
    }
    std::u16string names[2];
    std::string codes[2];
};

// Which column holds what: by the header row where the first record is one
// (two fields it names, or a first field "term"), else the term,
// the translation and the note in that order.
struct ColumnPlan {
    std::optional<std::size_t> language[2], note;
    bool header = false;
};

ColumnPlan planOf(const Fields& first, std::size_t count, const HeaderNames& names) {
    ColumnPlan plan;
    std::size_t named = 0;
    std::array<bool, maxColumns> taken{};
    for (std::size_t i = 0; i < count; ++i) {
        const auto [side0, side1] = names.languages(first[i]);
        const Column word = names.word(first[i]);
        std::optional<std::size_t>* slot = nullptr;
        if (side0 && !plan.language[0]) slot = &plan.language[0];
        else if (side1 && !plan.language[1]) slot = &plan.language[1];
        else if (word == Column::language0 && !plan.language[0]) slot = &plan.language[0];
        else if (word == Column::language1 && !plan.language[1]) slot = &plan.language[1];
        else if (word == Column::note && !plan.note) slot = &plan.note;
        if (!slot) continue;
        *slot = i;
        taken[i] = true;
        ++named;
    }
    // One name alone is too weak a sign (a word list may begin with "zdroj"),
    // but for the "term" this program's exports wrote.
    plan.header = named >= 2 || (count > 0 && (first[0] == "term" || first[0] == "Term"));
    if (!plan.header) return ColumnPlan{{0u, 1u}, 2u, false};
    // A language the header leaves out is in the first column it names
    // nothing in after the other language's.
    for (int k = 0; k < 2; ++k) {
        const std::size_t start = plan.language[1 - k] ? *plan.language[1 - k] + 1 : 0;
        for (std::size_t n = 0; n < count && !plan.language[k]; ++n)
            if (const std::size_t i = (start + n) % count; !taken[i]) plan.language[k] = i, taken[i] = true;
    }
    return plan;
}

// How the first records of text split at one separator.
struct Shape {
    char separator = ',';
    std::size_t rows = 0, rowsWithColumns = 0, columns = 1;
    bool even = true;
    bool header = false;
};

constexpr std::size_t rowsLookedAt = 100;

Shape shapeOf(std::string_view text, char separator, const HeaderNames& names) {
    Shape shape;
    shape.separator = separator;
    forEachRecord(text, separator, [&](const Fields& fields, std::size_t count) {
        if (shape.rows == 0) {
            shape.columns = count;
            shape.header = planOf(fields, count, names).header;
        }
        shape.even = shape.even && count == shape.columns;
        shape.columns = std::max(shape.columns, count);
        shape.rowsWithColumns += count >= 2;
        return ++shape.rows < rowsLookedAt;
    });
    return shape;
}

const char* separatorName(char separator) {
    return separator == ';' ? "středník" : separator == '\t' ? "tabulátor" : "čárka";
}

std::string shapeText(const Shape& shape) {
    return "řádků: " + czechCount(shape.rows) + ", sloupců: " + czechCount(shape.columns);
}

// The separator of text: the one that splits most rows in two or more
// columns, the same number in every row on a tie, then the one a header row
// is found with. Empty with error set when no row has a second column or
// two separators split the rows alike.
std::optional<Shape> separatorOf(std::string_view text, const HeaderNames& names, std::string& error) {
    std::vector<Shape> shapes;
    for (char separator : {';', ',', '\t'}) shapes.push_back(shapeOf(text, separator, names));
    auto better = [](const Shape& a, const Shape& b) {
        return std::tie(a.rowsWithColumns, a.even, a.header) > std::tie(b.rowsWithColumns, b.even, b.header);
    };
    std::stable_sort(shapes.begin(), shapes.end(), better);
    const Shape& best = shapes[0];
    if (best.rowsWithColumns == 0) {
        error = "žádný řádek nemá druhý sloupec; oddělovač čárka, středník ani tabulátor nenalezen, " +
                shapeText(best);
        return std::nullopt;
    }
    if (!better(best, shapes[1])) {
        error = std::string("sloupce nelze rozlišit: oddělovač ") + separatorName(best.separator) + " (" +
                shapeText(best) + ") i " + separatorName(shapes[1].separator) + " (" + shapeText(shapes[1]) +
                ") dělí řádky stejně";
        return std::nullopt;
    }
    return best;
}

// The code page of an 8-bit CSV: a spreadsheet writes every column in the
// code page of its system, which is the dictionary's language that has not
// the western one (Czech beside English: 1250 for the English column too).
int fileCodePage(const DictionaryHeader& header) {
    const int first = CodePage::codePageOfCharset(header.languageCharset[0]);
    return first != 1252 ? first : CodePage::codePageOfCharset(header.languageCharset[1]);
}

}  // namespace

std::string csvOf(const DictionaryStore& store, const ExportChoice& choice) {
    const int targetSide = 1 - choice.sourceSide;
    const int sourceCodePage = CodePage::codePageOfCharset(store.header.languageCharset[choice.sourceSide]);
    const int targetCodePage = CodePage::codePageOfCharset(store.header.languageCharset[targetSide]);
    std::string out = languageCode(store.header, choice.sourceSide) + ',' + languageCode(store.header, targetSide) +
                      ",note\r\n";
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

bool isCsv(std::string_view bytes, const DictionaryHeader& header) {
    // The first rows are enough to tell; those cut short at the end of the
    // sample are left out, as they would split unlike the others.
    constexpr std::size_t sampleBytes = 64 * 1024;
    std::string_view sample = bytes.substr(0, sampleBytes);
    if (sample.size() < bytes.size()) sample = sample.substr(0, sample.rfind('\n') + 1);
    TextEncoding encoding;
    const std::string start = utf8TextOf(sample, fileCodePage(header), encoding);
    const HeaderNames names(header);
    bool csv = false;
    for (char separator : {';', ',', '\t'})
        forEachRecord(start, separator, [&](const Fields& fields, std::size_t count) {
            csv = csv || (count >= 2 && planOf(fields, count, names).header);
            return false;
        });
    if (csv) return true;
    // Without a header: rows that one separator splits alike into columns.
    // A word list has a tab between its two texts, and a comma or semicolon
    // in some of its terms, so a tab makes CSV only from three columns on,
    // and a comma or semicolon only where it splits every row, not many
    // rows alike.
    const Shape tabs = shapeOf(start, '\t', names);
    if (tabs.rows >= 2 && tabs.even && tabs.columns >= 3) return true;
    if (tabs.rowsWithColumns > 0) return false;
    for (char separator : {';', ','}) {
        const Shape shape = shapeOf(start, separator, names);
        if (shape.rows >= 2 && shape.even && shape.columns >= 2) return true;
    }
    return false;
}

std::function<bool(const SheetRow&, std::size_t)> pairsOfRows(const DictionaryHeader& header, const PairSink& sink,
                                                               std::size_t& replacedCharacters) {
    struct State {
        HeaderNames names;
        int codePages[3];
        std::optional<ColumnPlan> plan;
    };
    auto state = std::make_shared<State>(
        State{HeaderNames(header),
              {CodePage::codePageOfCharset(header.languageCharset[0]),
               CodePage::codePageOfCharset(header.languageCharset[1]), CodePage::headerCodePage},
              std::nullopt});
    return [state, &sink, &replacedCharacters](const SheetRow& fields, std::size_t count) {
        if (!state->plan) {
            state->plan = planOf(fields, count, state->names);
            if (state->plan->header) return true;
        }
        const std::optional<std::size_t> columns[3] = {state->plan->language[0], state->plan->language[1],
                                                       state->plan->note};
        std::string kept[3];
        for (std::size_t k = 0; k < 3; ++k)
            if (columns[k] && *columns[k] < count)
                kept[k] = importedText(toCodePage(CodePage::utf8ToUtf16(fields[*columns[k]]), state->codePages[k],
                                                  replacedCharacters));
        return kept[0].empty() || sink(kept[0], kept[1], kept[2]);
    };
}

void readCsv(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink, ImportReading* reading) {
    ImportReading found;
    const std::string text = utf8TextOf(bytes, fileCodePage(header), found.encoding);
    const HeaderNames names(header);
    const std::optional<Shape> shape = separatorOf(text, names, found.error);
    if (!shape) {
        if (reading) *reading = found;
        return;
    }
    forEachRecord(text, shape->separator, pairsOfRows(header, sink, found.replacedCharacters));
    if (reading) *reading = found;
}

}  // namespace trelvo

#include "XlsxFormat.h"

#include <stdlib.h>
#include <unistd.h>
#include <expat.h>
#include <dlfcn.h>
#include <minizip/zip.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "CsvFormat.h"
#include "LanguageCodes.h"
#include "core/dictionary/CodePage.h"

namespace trelvo {

// The workbook writer deflates each part of the workbook through minizip at
// zlib's default level (6) and has no setting for it; for the sheet of a
// million rows that took half the export's time. This definition stands in
// for minizip's in this program and asks for level 4 instead, the fastest of
// the levels that search for longer matches: a third less time, and a file
// larger by 2 % (19.9 MB then 20.2 MB). Where the writer reaches minizip by
// another way, its default level stays and nothing else changes.
namespace {

using ZipOpen = decltype(&zipOpenNewFileInZip4_64);
constexpr const char* zipOpenName = "zipOpenNewFileInZip4_64";

// minizip's own definition: the next after this program's. Where the
// program's objects do not reach it (the writer loaded apart, with its own
// minizip), the one the calling library itself reaches; never this one,
// which would call itself for ever. Null when there is none.
ZipOpen minizipOpen(const void* caller) {
    void* found = dlsym(RTLD_NEXT, zipOpenName);
    Dl_info info;
    if (!found && dladdr(caller, &info) && info.dli_fname) {
        if (void* library = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
            found = dlsym(library, zipOpenName);
            dlclose(library);  // it stays loaded: the caller runs in it
        }
    }
    const auto open = reinterpret_cast<ZipOpen>(found);
    return open == &zipOpenNewFileInZip4_64 ? nullptr : open;
}

}  // namespace

extern "C" int zipOpenNewFileInZip4_64(zipFile file, const char* filename, const zip_fileinfo* zipfi,
                                       const void* extrafield_local, uInt size_extrafield_local,
                                       const void* extrafield_global, uInt size_extrafield_global,
                                       const char* comment, int method, int level, int raw, int windowBits,
                                       int memLevel, int strategy, const char* password, uLong crcForCrypting,
                                       uLong versionMadeBy, uLong flagBase, int zip64) {
    static const ZipOpen minizip = minizipOpen(__builtin_return_address(0));
    if (!minizip) return ZIP_INTERNALERROR;
    if (method == Z_DEFLATED && level == Z_DEFAULT_COMPRESSION) level = 4;
    return minizip(file, filename, zipfi, extrafield_local, size_extrafield_local, extrafield_global,
                   size_extrafield_global, comment, method, level, raw, windowBits, memLevel, strategy, password,
                   crcForCrypting, versionMadeBy, flagBase, zip64);
}

namespace {

// A cell wider than this wraps the view rather than the sheet.
constexpr double widestColumn = 80;

// Characters, not bytes, decide the width a text needs.
std::size_t charactersIn(const std::string& utf8) {
    return static_cast<std::size_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A temporary file that is gone once the workbook has been handed on.
class TemporaryPath {
public:
    TemporaryPath() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trelvo-xlsx-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0) return;
        ::close(fd);
        path_ = pattern;
    }
    ~TemporaryPath() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(const TemporaryPath&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A workbook writes a character XML cannot carry (a CR, other control
// characters) as _xHHHH_, its UTF-16 unit in hex, and an underscore that
// would begin such an escape as _x005F_. The unit escaped at at, if one is.
std::optional<char16_t> escapedUnitAt(std::string_view text, std::size_t at) {
    if (at + 7 > text.size() || text.compare(at, 2, "_x") != 0 || text[at + 6] != '_') return std::nullopt;
    unsigned unit = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0) return std::nullopt;
        unit = unit * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<char16_t>(unit);
}

// A text of a workbook as it was typed, its escapes undone.
std::string unescapedText(const std::string& text) {
    if (text.find("_x") == text.npos) return text;
    std::string plain;
    std::u16string units;  // escaped units in a row, converted together so that a surrogate pair joins
    for (std::size_t at = 0; at < text.size();) {
        if (const std::optional<char16_t> unit = escapedUnitAt(text, at)) {
            units += *unit;
            at += 7;
            continue;
        }
        plain += CodePage::utf16ToUtf8(std::exchange(units, {}));
        plain += text[at++];
    }
    return plain + CodePage::utf16ToUtf8(units);
}

// text with the underscore of each run that reads as an escape escaped
// itself, so that the workbook gives it back as it is ("_x0041_" stays
// that, not "A"); the writer escapes the control characters.
std::string withLiteralUnderscores(const std::string& text) {
    std::string kept;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (escapedUnitAt(text, at)) kept += "_x005F";
        kept += text[at];
    }
    return kept;
}

bool buildWorkbook(const DictionaryStore& store, const ExportChoice& choice, const std::string& path) {
    const int targetSide = 1 - choice.sourceSide;
    const int codePages[3] = {CodePage::codePageOfCharset(store.header.languageCharset[choice.sourceSide]),
                              CodePage::codePageOfCharset(store.header.languageCharset[targetSide]),
                              CodePage::headerCodePage};
    // Rows go straight to the file as they are written, so that a large
    // dictionary is never whole in memory as cells.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    if (!workbook) return false;
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);

    const std::array<std::string, 3> heading{languageCode(store.header, choice.sourceSide),
                                             languageCode(store.header, targetSide), "note"};
    std::array<std::size_t, 3> widths{};
    bool written = sheet != nullptr;
    std::string escaped;
    auto put = [&](lxw_row_t row, const std::array<std::string, 3>& cells, lxw_format* format) {
        for (lxw_col_t column = 0; column < 3 && written; ++column) {
            widths[column] = std::max(widths[column], charactersIn(cells[column]));
            if (cells[column].empty()) continue;
            const std::string* text = &cells[column];
            if (text->find("_x") != std::string::npos) text = &(escaped = withLiteralUnderscores(*text));
            written = worksheet_write_string(sheet, row, column, text->c_str(), format) == LXW_NO_ERROR;
        }
    };
    if (written) put(0, heading, bold);
    lxw_row_t row = 1;
    std::array<std::string, 3> cells;  // reused: a million rows cost no allocation each
    for (std::uint32_t n : selectEntries(store, choice)) {
        if (!written) break;
        CodePage::toUtf8(store.entries.text(n, choice.sourceSide), codePages[0], cells[0]);
        CodePage::toUtf8(store.entries.text(n, targetSide), codePages[1], cells[1]);
        CodePage::toUtf8(store.entries.note(n), codePages[2], cells[2]);
        put(row++, cells, nullptr);
    }
    if (written) {
        worksheet_freeze_panes(sheet, 1, 0);
        for (lxw_col_t column = 0; column < 3; ++column)
            worksheet_set_column(sheet, column, column,
                                 std::min(widestColumn, static_cast<double>(widths[column]) + 2), nullptr);
    }
    // The workbook is closed whatever happened, to free it.
    const bool closed = workbook_close(workbook) == LXW_NO_ERROR;
    return written && closed;
}

}  // namespace

bool writeXlsx(const DictionaryStore& store, const ExportChoice& choice, const ByteSink& put) {
    const TemporaryPath temporary;
    if (temporary.path().empty() || !buildWorkbook(store, choice, temporary.path())) return false;
    std::ifstream in(temporary.path(), std::ios::binary);
    std::string piece(1 << 20, '\0');
    while (in) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > 0 && !put(std::string_view(piece.data(), got))) return false;
    }
    return in.eof();
}

namespace {

// An archive opened on bytes that stay the caller's.
class ZipArchive {
public:
    explicit ZipArchive(std::string_view bytes) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (source) {
            archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
            if (!archive_) zip_source_free(source);
        }
        zip_error_fini(&error);
    }
    ~ZipArchive() {
        if (archive_) zip_discard(archive_);
    }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool isOpen() const { return archive_ != nullptr; }
    bool has(const std::string& name) const { return archive_ && zip_name_locate(archive_, name.c_str(), 0) >= 0; }

    enum class Outcome { read, missing, tooLarge, damaged };
    // Hands the unpacked part name to put in pieces. The size the archive
    // states is checked before anything is inflated, and what inflates is
    // counted, as the stated size may lie.
    Outcome read(const std::string& name, const std::function<bool(std::string_view)>& put) const {
        if (!has(name)) return Outcome::missing;
        zip_stat_t stat;
        if (zip_stat(archive_, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return Outcome::damaged;
        if (stat.size > xlsxPartLimit) return Outcome::tooLarge;
        zip_file_t* file = zip_fopen(archive_, name.c_str(), 0);
        if (!file) return Outcome::damaged;
        std::string piece(1 << 16, '\0');
        std::uint64_t total = 0;
        Outcome outcome = Outcome::read;
        for (;;) {
            const zip_int64_t got = zip_fread(file, piece.data(), piece.size());
            if (got < 0) outcome = Outcome::damaged;
            if (got <= 0) break;
            total += static_cast<std::uint64_t>(got);
            if (total > stat.size || total > xlsxPartLimit) outcome = Outcome::tooLarge;
            if (outcome != Outcome::read || !put(std::string_view(piece.data(), static_cast<std::size_t>(got))))
                break;
        }
        zip_fclose(file);
        return outcome;
    }

private:
    zip_t* archive_ = nullptr;
};

std::string_view localName(const XML_Char* name) {
    std::string_view n(name);
    const std::size_t colon = n.rfind(':');
    return colon == n.npos ? n : n.substr(colon + 1);
}

const XML_Char* attribute(const XML_Char** attributes, std::string_view name) {
    for (; *attributes; attributes += 2)
        if (localName(attributes[0]) == name) return attributes[1];
    return nullptr;
}

// Parses a part with expat as it unpacks, calling start and end for its
// elements and text for character data; false when the XML is broken.
class PartParser {
public:
    std::function<void(std::string_view, const XML_Char**)> start;
    std::function<void(std::string_view)> end;
    std::function<void(std::string_view)> text;
    // Set by a handler that has found what it wanted, or whose rows were refused.
    bool stopped = false;

    ZipArchive::Outcome parse(const ZipArchive& archive, const std::string& name) {
        XML_Parser parser = XML_ParserCreateNS(nullptr, ':');
        parser_ = parser;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(
            parser,
            [](void* self, const XML_Char* element, const XML_Char** attributes) {
                auto* p = static_cast<PartParser*>(self);
                if (p->start) p->start(localName(element), attributes);
                p->stopIfDone();
            },
            [](void* self, const XML_Char* element) {
                auto* p = static_cast<PartParser*>(self);
                if (p->end) p->end(localName(element));
                p->stopIfDone();
            });
        XML_SetCharacterDataHandler(parser, [](void* self, const XML_Char* s, int length) {
            auto* p = static_cast<PartParser*>(self);
            if (p->text) p->text(std::string_view(s, static_cast<std::size_t>(length)));
        });
        bool wellFormed = true;
        ZipArchive::Outcome outcome = archive.read(name, [&](std::string_view piece) {
            wellFormed = XML_Parse(parser, piece.data(), static_cast<int>(piece.size()), XML_FALSE) == XML_STATUS_OK ||
                         stopped;
            return wellFormed && !stopped;
        });
        if (outcome == ZipArchive::Outcome::read && wellFormed && !stopped)
            wellFormed = XML_Parse(parser, "", 0, XML_TRUE) == XML_STATUS_OK;
        XML_ParserFree(parser);
        if (outcome == ZipArchive::Outcome::read && !wellFormed) outcome = ZipArchive::Outcome::damaged;
        return outcome;
    }

private:
    void stopIfDone() {
        if (stopped) XML_StopParser(parser_, XML_FALSE);
    }
    XML_Parser parser_ = nullptr;
};

// The column of a cell reference such as "AB12", counted from 0.
std::optional<std::size_t> columnOf(std::string_view reference) {
    std::size_t column = 0, letters = 0;
    for (char c : reference) {
        if (c < 'A' || c > 'Z') break;
        column = column * 26 + static_cast<std::size_t>(c - 'A' + 1);
        if (++letters > 3) return std::nullopt;
    }
    if (letters == 0) return std::nullopt;
    return column - 1;
}

// The path in the archive of the workbook's first sheet, found through the
// workbook's relationships; the usual name where they do not say.
std::string firstSheetPath(const ZipArchive& archive) {
    std::string id;
    PartParser workbook;
    workbook.start = [&](std::string_view element, const XML_Char** attributes) {
        if (element != "sheet") return;
        if (const XML_Char* r = attribute(attributes, "id")) id = r;
        workbook.stopped = true;
    };
    workbook.parse(archive, "xl/workbook.xml");
    std::string target;
    PartParser relationships;
    relationships.start = [&](std::string_view element, const XML_Char** attributes) {
        const XML_Char* relationship = attribute(attributes, "Id");
        if (element != "Relationship" || !relationship || relationship != id) return;
        if (const XML_Char* t = attribute(attributes, "Target")) target = t;
        relationships.stopped = true;
    };
    if (!id.empty()) relationships.parse(archive, "xl/_rels/workbook.xml.rels");
    if (target.empty()) return "xl/worksheets/sheet1.xml";
    return target.starts_with('/') ? target.substr(1) : "xl/" + target;
}

const char* outcomeError(ZipArchive::Outcome outcome, const char* part) {
    switch (outcome) {
        case ZipArchive::Outcome::missing: return part;
        case ZipArchive::Outcome::tooLarge: return "sešit je po rozbalení příliš velký (nad 1 GiB)";
        case ZipArchive::Outcome::damaged: return "sešit je poškozený";
        case ZipArchive::Outcome::read: break;
    }
    return "";
}

}  // namespace

bool isWorkbook(std::string_view bytes) {
    return bytes.starts_with("PK\x03\x04") && ZipArchive(bytes).has("xl/workbook.xml");
}

void readXlsx(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink, ImportReading* reading) {
    ImportReading found;
    found.encoding = TextEncoding::utf8;
    auto finish = [&](ZipArchive::Outcome outcome, const char* missing) {
        if (outcome != ZipArchive::Outcome::read) found.error = outcomeError(outcome, missing);
        if (reading) *reading = found;
    };
    const ZipArchive archive(bytes);
    if (!archive.isOpen()) return finish(ZipArchive::Outcome::damaged, "");
    if (!archive.has("xl/workbook.xml")) return finish(ZipArchive::Outcome::missing, "soubor není sešit: chybí xl/workbook.xml");

    // Shared strings: the text of each <si>, its runs joined.
    std::vector<std::string> shared;
    bool inItem = false, inText = false;
    PartParser strings;
    strings.start = [&](std::string_view element, const XML_Char**) {
        if (element == "si") inItem = true, shared.emplace_back();
        else if (element == "t" && inItem) inText = true;
    };
    strings.end = [&](std::string_view element) {
        if (element == "si") inItem = false, shared.back() = unescapedText(shared.back());
        else if (element == "t") inText = false;
    };
    strings.text = [&](std::string_view text) {
        if (inText && shared.back().size() < sheetCellBytes) shared.back() += text;
    };
    if (const auto outcome = strings.parse(archive, "xl/sharedStrings.xml");
        outcome != ZipArchive::Outcome::read && outcome != ZipArchive::Outcome::missing)
        return finish(outcome, "");

    const auto take = pairsOfRows(header, sink, found.replacedCharacters);
    SheetRow row;
    std::size_t count = 0, column = 0;
    std::string type, value;
    bool inValue = false;
    PartParser sheet;
    sheet.start = [&](std::string_view element, const XML_Char** attributes) {
        if (element == "c") {
            const XML_Char* reference = attribute(attributes, "r");
            const std::optional<std::size_t> at = reference ? columnOf(reference) : std::nullopt;
            column = at ? *at : count;
            const XML_Char* t = attribute(attributes, "t");
            type = t ? t : "";
            value.clear();
        } else if (element == "v" || (element == "t" && type == "inlineStr")) {
            inValue = true;
        }
    };
    sheet.text = [&](std::string_view text) {
        if (inValue && value.size() < sheetCellBytes) value += text;
    };
    sheet.end = [&](std::string_view element) {
        if (element == "v" || element == "t") {
            inValue = false;
        } else if (element == "c" && column < sheetColumns) {
            if (type == "s") {
                const unsigned long index = std::strtoul(value.c_str(), nullptr, 10);
                value = index < shared.size() && !value.empty() ? shared[index] : std::string();
            } else {
                value = unescapedText(value);
            }
            row[column] = value.substr(0, sheetCellBytes);
            count = std::max(count, column + 1);
        } else if (element == "row") {
            const bool empty = std::all_of(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(count),
                                           [](const std::string& cell) { return cell.empty(); });
            if (!empty && !take(row, count)) sheet.stopped = true;
            for (std::size_t k = 0; k < count; ++k) row[k].clear();
            count = 0;
        }
    };
    const auto outcome = sheet.parse(archive, firstSheetPath(archive));
    finish(outcome, "sešit nemá žádný list");
}

}  // namespace trelvo

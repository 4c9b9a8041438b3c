#include "XlsxFormat.h"

#include <stdlib.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "LanguageCodes.h"
#include "core/dictionary/CodePage.h"

namespace trelvo {

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
    auto put = [&](lxw_row_t row, const std::array<std::string, 3>& cells, lxw_format* format) {
        for (lxw_col_t column = 0; column < 3 && written; ++column) {
            widths[column] = std::max(widths[column], charactersIn(cells[column]));
            if (!cells[column].empty())
                written = worksheet_write_string(sheet, row, column, cells[column].c_str(), format) == LXW_NO_ERROR;
        }
    };
    if (written) put(0, heading, bold);
    lxw_row_t row = 1;
    for (std::uint32_t n : selectEntries(store, choice)) {
        if (!written) break;
        put(row++, {CodePage::toUtf8(store.entries.text(n, choice.sourceSide), codePages[0]),
                    CodePage::toUtf8(store.entries.text(n, targetSide), codePages[1]),
                    CodePage::toUtf8(store.entries.note(n), codePages[2])},
            nullptr);
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

}  // namespace trelvo

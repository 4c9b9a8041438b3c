// Any workbook must be read without a fault, every pair with a term and
// bounded texts. (A sheet found broken midway has given its first rows
// before the reason is set; the import then keeps none of them.) The bytes are read as the
// whole file and, so that the sheet reader is reached past the archive's
// checksums, as the first sheet and as the shared strings of a workbook
// zipped around them.
#include <zip.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/dictionary/DictionaryFile.h"
#include "core/exchange/XlsxFormat.h"

namespace {

void read(std::string_view bytes) {
    trelvo::DictionaryHeader header;
    header.languageName = {"\xC8" "e\x9Atina", "Angli\xE8tina"};
    header.languageCharset = {238, 0};
    std::size_t pairs = 0;
    trelvo::ImportReading reading;
    trelvo::readXlsx(
        bytes, header,
        [&pairs](std::string_view term, std::string_view translation, std::string_view note) {
            if (term.empty()) std::abort();
            for (std::string_view text : {term, translation, note})
                if (text.size() > trelvo::maxTextLength * 4) std::abort();
            return ++pairs < 100000;
        },
        &reading);
}

// A zip in memory of the given parts.
std::string zipped(std::initializer_list<std::pair<const char*, std::string_view>> parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(memory);
    zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : parts)
        zip_file_add(archive, name, zip_source_buffer(archive, bytes.data(), bytes.size(), 0), 0);
    zip_close(archive);
    std::string out;
    zip_stat_t stat;
    if (zip_source_stat(memory, &stat) == 0 && zip_source_open(memory) == 0) {
        out.resize(stat.size);
        out.resize(static_cast<std::size_t>(std::max<zip_int64_t>(0, zip_source_read(memory, out.data(), out.size()))));
        zip_source_close(memory);
    }
    zip_source_free(memory);
    zip_error_fini(&error);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view given(reinterpret_cast<const char*>(data), size);
    const std::string_view workbook = "<workbook><sheets><sheet/></sheets></workbook>";
    const std::string_view sheet =
        "<worksheet><sheetData><row><c t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c></row>"
        "<row><c t=\"s\"><v>2</v></c><c t=\"s\"><v>3</v></c><c><v>4</v></c></row></sheetData></worksheet>";
    read(given);
    read(zipped({{"xl/workbook.xml", workbook}, {"xl/worksheets/sheet1.xml", given}}));
    read(zipped({{"xl/workbook.xml", workbook}, {"xl/worksheets/sheet1.xml", sheet}, {"xl/sharedStrings.xml", given}}));
    return 0;
}

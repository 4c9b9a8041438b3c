// Any CSV must be told and read without a fault: either it is refused with a reason
// and gives nothing, or every pair has a clean term, and the texts hold no
// control character, whatever the encoding, separator or header. Read for a
// Czech-English and a Czech-Russian dictionary, as it is and behind a UTF-16
// mark.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/dictionary/DictionaryFile.h"
#include "core/exchange/CsvFormat.h"

namespace {

void checkText(std::string_view text) {
    if (text.size() > trelvo::maxTextLength * 4) std::abort();
    for (char c : text)
        if (static_cast<unsigned char>(c) < 32) std::abort();
    if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) std::abort();
}

void read(std::string_view bytes, int charset1, const char* language1) {
    trelvo::DictionaryHeader header;
    header.languageName = {"\xC8" "e\x9Atina", language1};
    header.languageCharset = {238, charset1};
    trelvo::isCsv(bytes, header);  // what the format is chosen by, whatever the answer
    std::size_t pairs = 0;
    trelvo::ImportReading reading;
    trelvo::readCsv(
        bytes, header,
        [&pairs](std::string_view term, std::string_view translation, std::string_view note) {
            if (term.empty()) std::abort();
            for (std::string_view text : {term, translation, note}) checkText(text);
            return ++pairs < 100000;
        },
        &reading);
    if (!reading.error.empty() && pairs != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string given(reinterpret_cast<const char*>(data), size);
    const std::string marked = "\xFF\xFE" + given;
    for (const std::string* bytes : {&given, &marked}) {
        read(*bytes, 0, "Angli\xE8tina");
        read(*bytes, 204, "Ru\x9Atina");
    }
    return 0;
}

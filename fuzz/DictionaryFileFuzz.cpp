// Any bytes given to the dictionary reader must give success or failure, never
// a crash; on success the result must survive a write and a second read.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/dictionary/DictionaryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    trelvo::DictionaryHeader header;
    header.name = "unchanged";
    trelvo::EntryList entries;
    entries.append("a", "b", "c", 2);
    const trelvo::EntryList before = entries;
    if (!trelvo::parseDictionary(std::string(bytes), header, entries)) {
        if (header.name != "unchanged" || !(entries == before)) std::abort();
        return 0;
    }
    trelvo::DictionaryHeader again;
    trelvo::EntryList reread;
    if (!trelvo::parseDictionary(trelvo::serializeDictionary(header, entries), again, reread)) std::abort();
    if (!(again == header) || !(reread == entries)) std::abort();
    return 0;
}

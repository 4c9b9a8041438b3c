// Any bytes given to the dictionary reader must give success or failure, never
// a crash; on success the result must survive a write and a second read, and
// the count read from the header alone (for the list of backups) must agree.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "core/dictionary/DictionaryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    trelvo::DictionaryHeader header;
    header.name = "unchanged";
    trelvo::EntryList entries;
    entries.append("a", "b", "c", 2);
    const trelvo::EntryList before = entries;
    const std::optional<std::uint32_t> counted =
        trelvo::parseEntryCount(bytes.substr(0, trelvo::maxHeadLength), bytes.size());
    if (!trelvo::parseDictionary(std::string(bytes), header, entries)) {
        if (header.name != "unchanged" || !(entries == before)) std::abort();
        return 0;
    }
    if (counted != entries.size()) std::abort();
    trelvo::DictionaryHeader again;
    trelvo::EntryList reread;
    if (!trelvo::parseDictionary(trelvo::serializeDictionary(header, entries), again, reread)) std::abort();
    if (!(again == header) || !(reread == entries)) std::abort();
    return 0;
}

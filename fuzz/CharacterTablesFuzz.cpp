// Any upchar.dat must load, and any text must then key without a fault.
#include <cstdint>
#include <string_view>

#include "core/dictionary/CharacterTables.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    trelvo::CharacterTables tables;
    tables.loadCharacterTablesFromText(bytes);
    for (int t = 0; t < trelvo::CharacterTables::tableCount; ++t) {
        std::string key = tables.makeCollationKey(bytes.substr(0, 1200), t);
        if (key.size() > trelvo::CharacterTables::maxKeyLength) __builtin_trap();
    }
    return 0;
}

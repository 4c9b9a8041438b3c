// Any user settings file must read without harm, give only sound values,
// and what was read must come back the same from the text written for it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/settings/UserSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    trelvo::UserSettings s;
    trelvo::parseUserSettings(bytes, s);
    if (!s.lastDictionaryFile.empty() && !trelvo::isPlainFileName(s.lastDictionaryFile)) std::abort();
    if (s.columnShares) {
        int sum = 0;
        for (int share : *s.columnShares) {
            if (share < trelvo::leastColumnShare) std::abort();
            sum += share;
        }
        if (sum > 1000) std::abort();
    }
    trelvo::UserSettings back;
    trelvo::parseUserSettings(trelvo::serializeUserSettings(s), back);
    if (!(back == s)) std::abort();
    return 0;
}

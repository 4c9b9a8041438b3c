#pragma once

#include <cstddef>
#include <string>

namespace trelvo {

// A count with its thousands apart, as Czech writes them: "16 777 216".
inline std::string czechCount(std::size_t count) {
    std::string text = std::to_string(count);
    for (std::size_t at = text.size() > 3 ? text.size() - 3 : 0; at > 0; at = at > 3 ? at - 3 : 0) text.insert(at, " ");
    return text;
}

// A size in whole GiB where it is one ("1 GiB"), else in bytes.
inline std::string czechSize(std::size_t bytes) {
    constexpr std::size_t gib = std::size_t{1} << 30;
    return bytes >= gib && bytes % gib == 0 ? czechCount(bytes / gib) + " GiB" : czechCount(bytes) + " bajtů";
}

}  // namespace trelvo

#pragma once

#include <cstdint>
#include <string_view>

namespace trelvo {

// One record of an index: the collation key of an entry's text in the index's
// language, and the entry's position in the entry list.
struct IndexRecord {
    std::string_view key;
    std::uint32_t entryNumber;
};

}  // namespace trelvo

#pragma once

#include <cstdint>
#include <string>

namespace trelvo {

struct IndexRecord {
    std::string key;            // collation key of the entry's text in the index's language
    std::uint32_t entryNumber;  // position of the entry in the entry list
};

}  // namespace trelvo

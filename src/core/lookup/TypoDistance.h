#pragma once

#include <cstddef>
#include <string_view>

namespace trelvo {

// The fewest edits (a letter inserted, dropped or changed, or two neighbouring
// letters swapped) that turn typed into some beginning of word, or limit + 1
// when more than limit are needed: a half typed word with a typo still finds
// the whole word.
std::size_t typoDistance(std::string_view typed, std::string_view word, std::size_t limit);

// The edits a word of this many letters may have and still be taken for a
// typo: none below 4 letters, 1 from 4, 2 from 8.
inline std::size_t typosAllowed(std::size_t letters) { return letters >= 8 ? 2 : letters >= 4 ? 1 : 0; }

}  // namespace trelvo

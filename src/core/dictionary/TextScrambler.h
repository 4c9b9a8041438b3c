#pragma once

#include <cstddef>
#include <cstdint>

namespace trelvo {

// The byte-wise scrambling of every text in a dictionary file. Each call starts
// afresh, so a text scrambles the same whatever came before it.
void scrambleText(const std::uint8_t* plain, std::uint8_t* scrambled, std::size_t length);
void unscrambleText(const std::uint8_t* scrambled, std::uint8_t* plain, std::size_t length);

}  // namespace trelvo

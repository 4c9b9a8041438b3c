#pragma once

#include <cstddef>
#include <cstdint>

namespace trelvo {

// The byte-wise scrambling of every text in a dictionary file. Each call starts
// afresh, so a text scrambles the same whatever came before it.
void scrambleText(const std::uint8_t* plain, std::uint8_t* scrambled, std::size_t length);
void unscrambleText(const std::uint8_t* scrambled, std::uint8_t* plain, std::size_t length);
// Two texts at once, the same bytes as a call for each; the processor works
// on both chains of the byte-wise state together.
void scrambleTwoTexts(const std::uint8_t* plainA, std::uint8_t* scrambledA, std::size_t lengthA,
                      const std::uint8_t* plainB, std::uint8_t* scrambledB, std::size_t lengthB);
void unscrambleTwoTexts(const std::uint8_t* scrambledA, std::uint8_t* plainA, std::size_t lengthA,
                        const std::uint8_t* scrambledB, std::uint8_t* plainB, std::size_t lengthB);

}  // namespace trelvo

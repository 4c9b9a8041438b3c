#pragma once

#include <cstdint>

namespace trelvo {

// The caption gradients of the program's windows, left end to right end, as
// 0x00BBGGRR (red in the low byte).
constexpr std::uint32_t captionBlue = 0x00DF7942;
constexpr std::uint32_t captionNavy = 0x00440000;
constexpr std::uint32_t captionBronze = 0x00526794;  // the about box
constexpr std::uint32_t captionRed = 0x002626FB;     // the access code
constexpr std::uint32_t captionBlack = 0x00000000;

}  // namespace trelvo

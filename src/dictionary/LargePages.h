#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace trelvo {

// Asks the kernel to back the 2 MiB stretches of a large block, not touched
// yet, with pages of that size. A dictionary's entries and indexes are read
// at random; with 4 KiB pages nearly every step of a search or of the index
// sort would also miss the processor's cache of address translations.
inline void adviseLargePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t large = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (start + large - 1) & ~(large - 1);
    const std::uintptr_t end = (start + bytes) & ~(large - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace trelvo

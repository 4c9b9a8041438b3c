#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace trelvo {

// Memory of at least a huge page (2 MB) comes in huge pages where the system
// gives them. A search or a sort reads the index of a large dictionary at
// random places, and with small pages nearly every such read also misses the
// address translation cache.
void* allocateLarge(std::size_t bytes);
void releaseLarge(void* memory, std::size_t bytes) noexcept;

template <typename T>
struct LargeAllocator {
    using value_type = T;

    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* memory, std::size_t n) noexcept { releaseLarge(memory, n * sizeof(T)); }

    template <typename U>
    bool operator==(const LargeAllocator<U>&) const noexcept { return true; }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
using LargeString = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

}  // namespace trelvo

#include "LargeAllocator.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace trelvo {

namespace {

constexpr std::size_t hugePage = std::size_t{2} << 20;
// Smaller blocks stay with the usual allocator: a huge page for them would
// mostly hold nothing. From one huge page on, the few more megabytes a
// rounded-up block may hold cost less than faulting in its small pages one
// by one, which here costs more than the work done on them.
constexpr std::size_t largeBlock = hugePage;

std::size_t roundedUp(std::size_t bytes) { return (bytes + hugePage - 1) / hugePage * hugePage; }

}  // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes < largeBlock) return ::operator new(bytes);
    if (bytes > SIZE_MAX / 2) throw std::bad_alloc();
    void* memory = std::aligned_alloc(hugePage, roundedUp(bytes));
    if (!memory) throw std::bad_alloc();
    // Only advice: where the system has no huge pages, small ones serve.
    madvise(memory, roundedUp(bytes), MADV_HUGEPAGE);
    return memory;
}

void releaseLarge(void* memory, std::size_t bytes) noexcept {
    if (bytes < largeBlock) ::operator delete(memory);
    else std::free(memory);
}

}  // namespace trelvo

#include "core/dictionary/LargeAllocator.h"

#include <gtest/gtest.h>

namespace trelvo {
namespace {

// Blocks move between the usual allocator and huge pages as they grow and
// shrink past the threshold; each must go back the way it came (the
// sanitizer build checks that) with its bytes intact.
TEST(LargeAllocator, BlocksKeepTheirBytesWhileGrowingAndShrinkingPastHugePages) {
    LargeString text;
    LargeVector<std::uint32_t> numbers;
    for (std::uint32_t i = 0; i < 5'000'000; ++i) {
        text.push_back(static_cast<char>('a' + i % 26));
        numbers.push_back(i);
    }
    ASSERT_GE(text.capacity(), std::size_t{4} << 20);
    text.resize(1000);
    text.shrink_to_fit();
    numbers.resize(10);
    numbers.shrink_to_fit();
    EXPECT_EQ(text.substr(0, 28), "abcdefghijklmnopqrstuvwxyzab");
    EXPECT_EQ(text.size(), 1000u);
    EXPECT_EQ(numbers.back(), 9u);

    LargeVector<std::uint32_t> copy(std::size_t{5} << 20, 7);
    copy.swap(numbers);
    EXPECT_EQ(copy.size(), 10u);
    EXPECT_EQ(numbers[(std::size_t{5} << 20) - 1], 7u);
}

}  // namespace
}  // namespace trelvo

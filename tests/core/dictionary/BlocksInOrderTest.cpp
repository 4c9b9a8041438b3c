#include "core/dictionary/BlocksInOrder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace trelvo {
namespace {

std::string blockText(std::size_t b) { return std::to_string(b) + ";"; }

TEST(BlocksInOrder, EveryBlockArrivesOnceAndInOrderWhateverTheCount) {
    for (std::size_t count : {0u, 1u, 2u, 3u, 4u, 1000u}) {
        std::string joined, expected;
        for (std::size_t b = 0; b < count; ++b) expected += blockText(b);
        const bool ok = blocksInOrder(
            count,
            [](std::size_t b, auto& block) {
                EXPECT_TRUE(block.empty()) << "a reused block must come empty";
                block.assign(blockText(b));
            },
            [&](const auto& block) {
                joined += block;
                return true;
            });
        EXPECT_TRUE(ok);
        EXPECT_EQ(joined, expected) << count << " blocks";
    }
}

// A failed write must not leave the maker working on: it stops within the
// few blocks it may hold ahead, and the false comes back.
TEST(BlocksInOrder, AFalseFromTakeStopsTheMakerSoon) {
    std::atomic<std::size_t> made{0};
    std::size_t taken = 0;
    const bool ok = blocksInOrder(
        1000, [&](std::size_t, auto& block) { block = "x", ++made; },
        [&](const auto&) { return ++taken < 5; });
    EXPECT_FALSE(ok);
    EXPECT_EQ(taken, 5u);
    EXPECT_LE(made.load(), 5u + 3u);
}

TEST(BlocksInOrder, AnExceptionOnEitherSideComesOutAfterBothStopped) {
    std::size_t taken = 0;
    EXPECT_THROW(blocksInOrder(
                     100,
                     [](std::size_t b, auto& block) {
                         if (b == 50) throw std::runtime_error("no memory");
                         block = "x";
                     },
                     [&](const auto&) { return ++taken, true; }),
                 std::runtime_error);
    // The writing thread may make the failing block itself, while blocks
    // before it are still to be written: none from the failed one on is.
    EXPECT_LE(taken, 50u);

    EXPECT_THROW(blocksInOrder(
                     100, [](std::size_t, auto& block) { block = "x"; },
                     [](const auto&) -> bool { throw std::runtime_error("disk gone"); }),
                 std::runtime_error);
}

}  // namespace
}  // namespace trelvo

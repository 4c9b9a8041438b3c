#include "core/dictionary/FirstWordFilter.h"

#include <gtest/gtest.h>

#include <string>

namespace trelvo {
namespace {

TEST(FirstWordFilter, HoldsEveryWordAddedAndFewOthers) {
    FirstWordFilter filter;
    EXPECT_FALSE(filter.mayHold("KOLEJ")) << "an empty filter holds nothing";
    filter.reset(1000);
    for (int i = 0; i < 1000; ++i) filter.add("SLOVO" + std::to_string(i));
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(filter.mayHold("SLOVO" + std::to_string(i))) << i;
    int mistaken = 0;
    for (int i = 1000; i < 11000; ++i) mistaken += filter.mayHold("SLOVO" + std::to_string(i));
    EXPECT_LT(mistaken, 300) << "of 10,000 words never added";

    // Past its room it still holds every word added.
    for (int i = 0; i < 5000; ++i) filter.add("DALSI" + std::to_string(i));
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(filter.mayHold("DALSI" + std::to_string(i))) << i;
}

}  // namespace
}  // namespace trelvo

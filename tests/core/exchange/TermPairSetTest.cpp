#include <gtest/gtest.h>

#include <string>

#include "core/exchange/TermPairSet.h"

using namespace trelvo;

TEST(TermPairSet, APairIsFoundOnlyWithBothTextsEqual) {
    EntryList entries;
    entries.append("ab", "c", "", 0);
    entries.append("návěst", "", "", 0);
    entries.append("", "signal", "", 0);
    const TermPairSet set(entries);
    EXPECT_TRUE(set.contains("ab", "c"));
    EXPECT_FALSE(set.contains("a", "bc"));  // the same bytes, split elsewhere
    EXPECT_FALSE(set.contains("c", "ab"));
    EXPECT_TRUE(set.contains("návěst", ""));
    EXPECT_FALSE(set.contains("návěst", " "));
    EXPECT_TRUE(set.contains("", "signal"));
    EXPECT_FALSE(set.contains("", ""));
    EXPECT_FALSE(TermPairSet(EntryList()).contains("", ""));
}

TEST(TermPairSet, EveryPairOfALargeListIsFoundAndNoOther) {
    // Enough entries for both halves of the hashing and for many slots whose
    // hash bits agree by chance.
    EntryList entries;
    constexpr int count = 200'000;
    for (int i = 0; i < count; ++i) entries.append("t" + std::to_string(i), std::to_string(i % 7), "", 0);
    entries.append("t5", "5", "", 0);  // a repeat
    const TermPairSet set(entries);
    int found = 0, strays = 0;
    for (int i = 0; i < count; ++i) {
        found += set.contains("t" + std::to_string(i), std::to_string(i % 7));
        strays += set.contains("t" + std::to_string(i), std::to_string((i + 1) % 7));
    }
    EXPECT_EQ(found, count);
    EXPECT_EQ(strays, 0);
}

TEST(TermPairSet, AMillionEqualEntriesAreHeldOnce) {
    // Held once per entry, equal pairs fill one run of slots that every
    // later insertion and many searches walk: the set would take hours.
    EntryList entries;
    for (int i = 0; i < 1'000'000; ++i) entries.append("", "", "", 0);
    entries.append("kolej", "track", "", 0);
    const TermPairSet set(entries);
    EXPECT_TRUE(set.contains("", ""));
    EXPECT_TRUE(set.contains("kolej", "track"));
    int strays = 0;
    for (int i = 0; i < 100'000; ++i) strays += set.contains(std::to_string(i), "");
    EXPECT_EQ(strays, 0);
}

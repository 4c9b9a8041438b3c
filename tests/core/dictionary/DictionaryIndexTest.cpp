#include <gtest/gtest.h>

#include <random>

#include "core/dictionary/DictionaryIndex.h"
#include "core/dictionary/TextWords.h"

using namespace trelvo;

namespace {

std::vector<std::uint32_t> order(const DictionaryIndex& index) {
    std::vector<std::uint32_t> numbers;
    for (std::size_t i = 0; i < index.size(); ++i) numbers.push_back(index.entryNumber(i));
    return numbers;
}

CharacterTables czechLike() {
    CharacterTables tables;
    tables.loadCharacterTablesFromText("sr 0\nA\nB\nC\nH\nCH\nI\n/sr\n");
    return tables;
}

}  // namespace

TEST(DictionaryIndex, BuildGivesTheOrderOfOneByOneInsertion) {
    // Many equal keys, keys that share their first eight bytes, short and long
    // keys, bytes above 127: a built index must match the insertion order exactly.
    std::mt19937 random(3);
    const std::vector<std::string> stems{"", "a", "ch", "h", "abcdefgh", "abcdefghi", "\xE8\xE1ra", "zzzzzzzzzz"};
    EntryList entries;
    for (int n = 0; n < 3000; ++n) {
        std::string text = stems[random() % stems.size()];
        if (random() % 2) text += static_cast<char>('a' + random() % 3);
        entries.append(text, stems[random() % stems.size()], "", 0);
    }
    CharacterTables tables = czechLike();
    for (int side = 0; side < 2; ++side) {
        DictionaryIndex built = DictionaryIndex::build(entries, side, tables, 0);
        DictionaryIndex inserted;
        for (std::uint32_t n = 0; n < entries.size(); ++n)
            inserted.insert(tables.makeCollationKey(entries.text(n, side), 0), n);
        EXPECT_EQ(order(built), order(inserted));
        for (std::size_t i = 1; i < built.size(); ++i) ASSERT_LE(built.key(i - 1), built.key(i));
    }
}

TEST(DictionaryIndex, InsertGoesBehindEqualKeys) {
    DictionaryIndex index;
    EXPECT_EQ(index.insert("B", 0), 0u);
    EXPECT_EQ(index.insert("A", 1), 0u);
    EXPECT_EQ(index.insert("B", 2), 2u);
    EXPECT_EQ(index.insert("\x80", 3), 3u) << "bytes compare unsigned";
    EXPECT_EQ(index.insert("AB", 4), 1u);
    EXPECT_EQ(order(index), (std::vector<std::uint32_t>{1, 4, 0, 2, 3}));
    EXPECT_EQ(index.lowerBound("B"), 2u);
    EXPECT_EQ(index.lowerBound("C"), 4u);
    EXPECT_EQ(index.lowerBound(""), 0u);
    // A key taken from the index itself.
    index.insert(index.key(0), 5);
    EXPECT_EQ(index.key(1), "A");
}

TEST(DictionaryIndex, RemovingAnEntryRenumbersBothIndexes) {
    EntryList entries;
    for (int n = 0; n < 10; ++n) entries.append(std::string(1, static_cast<char>('j' - n)), std::to_string(n), "", 0);
    CharacterTables tables;
    std::array<DictionaryIndex, 2> indexes{DictionaryIndex::build(entries, 0, tables, 0),
                                           DictionaryIndex::build(entries, 1, tables, 0)};
    entries.remove(3);
    for (DictionaryIndex& index : indexes) {
        std::size_t at = index.find(3);
        ASSERT_LT(at, index.size());
        index.remove(at);
        index.renumberAfterRemoval(3);
        EXPECT_EQ(index.find(9), index.size()) << "no record refers to entry 9";
        EXPECT_EQ(index.size(), 9u);
    }
    // Entries 4..9 are now 3..8, in both orders.
    EXPECT_EQ(order(indexes[0]), (std::vector<std::uint32_t>{8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(order(indexes[1]), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(indexes[1].key(i), entries.translation(indexes[1].entryNumber(i)));
}

namespace {

// Texts of many words over few letters, so that keys share long beginnings
// (16 bytes and more) across many neighbouring records, as multi-word terms do.
EntryList sharedBeginnings(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    const std::vector<std::string> words{"a", "ab", "abcdefgh", "ch", "hi", "abcdefghabcdefgh", "\xE8\xE1ra"};
    EntryList entries;
    for (std::size_t n = 0; n < count; ++n) {
        std::string text;
        for (unsigned w = random() % 5; w > 0; --w) text += words[random() % words.size()] + " ";
        entries.append(text, words[random() % words.size()], "", 0);
    }
    return entries;
}

}  // namespace

TEST(DictionaryIndex, ALargeBuildSortsByKeyThenEntryNumber) {
    // Large enough for the bucketed sort on two threads.
    const EntryList entries = sharedBeginnings(50'000, 8);
    const CharacterTables tables = czechLike();
    // Side 0 has empty texts among those of many words; side 1 single words:
    // one-byte keys, and long runs of equal ones.
    for (int side : {0, 1}) {
        const DictionaryIndex built = DictionaryIndex::build(entries, side, tables, 0);
        std::vector<std::pair<std::string, std::uint32_t>> expected;
        for (std::uint32_t n = 0; n < entries.size(); ++n)
            expected.emplace_back(tables.makeCollationKey(entries.text(n, side), 0), n);
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(built.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(built.entryNumber(i), expected[i].second) << side << " " << i;
            ASSERT_EQ(built.key(i), expected[i].first) << side << " " << i;
        }
        const LargeVector<std::uint32_t> alone = DictionaryIndex::entryOrder(entries, side, tables, 0);
        EXPECT_EQ(std::vector<std::uint32_t>(alone.begin(), alone.end()), order(built))
            << "the entry order alone is the built index's";
    }
}

TEST(DictionaryIndex, LowerBoundFindsTheFirstKeyNotLessAfterEveryChange) {
    const CharacterTables tables = czechLike();
    // Enough records for every level of samples to have more than a step's worth.
    DictionaryIndex index = DictionaryIndex::build(sharedBeginnings(80'000, 9), 0, tables, 0);
    const EntryList probes = sharedBeginnings(600, 10);
    auto check = [&] {
        std::vector<std::string> keys;
        for (std::size_t i = 0; i < index.size(); ++i) keys.emplace_back(index.key(i));
        for (std::size_t p = 0; p < probes.size(); ++p) {
            for (std::string key : {tables.makeCollationKey(probes.term(p), 0), std::string(index.key(p * 7 % index.size())),
                                    std::string(index.key(p * 7 % index.size())) + "\x01", std::string("\xFF")}) {
                const auto expected = std::lower_bound(keys.begin(), keys.end(), key) - keys.begin();
                ASSERT_EQ(index.lowerBound(key), static_cast<std::size_t>(expected)) << key;
            }
        }
        EXPECT_EQ(index.lowerBound(""), 0u);
        // Searches taken a step at a time, several under way at once, end
        // where whole ones do.
        std::vector<std::string> probeKeys;
        for (std::size_t p = 0; p < probes.size(); ++p) probeKeys.push_back(tables.makeCollationKey(probes.term(p), 0));
        std::vector<DictionaryIndex::Lookup> lookups(probeKeys.size());
        for (int round = 0; round < DictionaryIndex::Lookup::allSteps; ++round)
            for (std::size_t p = 0; p < probeKeys.size(); ++p) index.step(probeKeys[p], lookups[p]);
        for (std::size_t p = 0; p < probeKeys.size(); ++p)
            ASSERT_EQ(index.lowerBound(probeKeys[p], lookups[p]), index.lowerBound(probeKeys[p])) << probeKeys[p];
    };
    check();
    // The samples follow insertions and removals.
    for (int i = 0; i < 40; ++i) index.insert(tables.makeCollationKey(probes.term(static_cast<std::size_t>(i)), 0), 99'000);
    for (std::size_t position = 0; position < 3000; position += 97) index.remove(position);
    check();
    index.clear();
    EXPECT_EQ(index.lowerBound("ab"), 0u);
}

TEST(DictionaryIndex, EveryKeysFirstWordIsKnownAfterEveryChange) {
    const CharacterTables tables = czechLike();
    DictionaryIndex index = DictionaryIndex::build(sharedBeginnings(5'000, 12), 0, tables, 0);
    auto everyFirstWordKnown = [&] {
        for (std::size_t i = 0; i < index.size(); ++i)
            if (!index.mayHaveFirstWord(firstWord(index.key(i)))) return false;
        return true;
    };
    EXPECT_TRUE(everyFirstWordKnown());
    EXPECT_FALSE(index.mayHaveFirstWord("ZZZ")) << "a word no key begins with";
    index.insert("QQQ A", 5'000);
    std::vector<std::string> added{"WWW B", "WWW", "XX Y"};
    index.insertAll({{added[0], 5'001}, {added[1], 5'002}, {added[2], 5'003}});
    EXPECT_TRUE(everyFirstWordKnown());
    for (const char* word : {"QQQ", "WWW", "XX"}) EXPECT_TRUE(index.mayHaveFirstWord(word)) << word;
    index.clear();
    EXPECT_FALSE(index.mayHaveFirstWord("QQQ"));
}

TEST(DictionaryIndex, RecordsAddedOneByOneAtTheEndCostNoPassOverTheIndex) {
    // Emptying every translation rebuilds an index this way; a pass over the
    // whole index per record would make a million records take hours.
    DictionaryIndex index;
    for (std::uint32_t n = 0; n < 1'000'000; ++n) index.insert("", n);
    EXPECT_EQ(index.lowerBound(""), 0u);
    EXPECT_EQ(index.lowerBound("a"), 1'000'000u);
    EXPECT_EQ(index.entryNumber(999'999), 999'999u);
}

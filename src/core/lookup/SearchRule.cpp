#include "SearchRule.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "core/dictionary/CodePage.h"
#include "core/dictionary/TextWords.h"

namespace trelvo {

namespace {

bool beginsWith(std::string_view key, std::string_view word) { return key.substr(0, word.size()) == word; }

// One search under way: while its first-word fallback runs, the texts passed
// are keys already and no further fallback is tried.
struct Search {
    const SearchContext& c;
    const Direction& direction;
    bool inFallback = false;
    bool swapsDirection = false;
};

// Clears the flag however the fallback ends.
struct FallbackGuard {
    bool& flag;
    explicit FallbackGuard(bool& f) : flag(f) { flag = true; }
    ~FallbackGuard() { flag = false; }
};

std::size_t positionOf(Search& s, std::string& text, int side, int table);

// Number of positions below m where a and b hold the same byte.
std::size_t equalPositions(std::string_view a, std::string_view b, std::size_t m) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < m; ++i) count += a[i] == b[i];
    return count;
}

// Where text leads among the keys when none equals it: the nearer of the
// keys around first, the first key above the text, by the count of equal
// bytes at equal positions, a tie to the lower.
std::size_t nearerNeighbour(const DictionaryIndex& index, std::string_view text, std::size_t first) {
    const std::size_t n = index.size();
    if (first == 0) return 0;
    if (first >= n - 1) return n - 1;
    std::string_view below = index.key(first - 1).substr(0, CharacterTables::maxKeyLength);
    std::string_view above = index.key(first).substr(0, CharacterTables::maxKeyLength);
    std::size_t m = std::min({text.size(), below.size(), above.size()});
    std::size_t a = equalPositions(text, below, m);
    std::size_t b = equalPositions(text, above, m);
    return b > a ? first : first - 1;
}

// Whether the position the word itself would lead to holds a key that begins
// with it, the word being the first of text, whose first key not less is at
// first. Keys beginning with the word lie together, and text sorts among them:
// so when neither key around first begins with the word, none does, and a
// one-word text leads where text does. Only otherwise is the word searched.
bool wordLeadsToItself(Search& s, std::string_view text, std::size_t first, int side, int table) {
    const DictionaryIndex& index = s.c.store.indexes[static_cast<std::size_t>(side)];
    const std::string_view word = firstWord(text);
    if (word.data() == text.data()) {
        if (word.size() == text.size()) return beginsWith(index.key(nearerNeighbour(index, text, first)), word);
        const bool besideWord = (first < index.size() && beginsWith(index.key(first), word)) ||
                                (first > 0 && beginsWith(index.key(first - 1), word));
        if (!besideWord) return false;
    }
    std::string probe(word);
    return beginsWith(index.key(positionOf(s, probe, side, table)), word);
}

std::size_t positionOf(Search& s, std::string& text, int side, int table) {
    const SearchContext& c = s.c;
    const DictionaryIndex& index = c.store.indexes[static_cast<std::size_t>(side)];
    if (!c.store.isOpen() || index.empty()) return 0;
    // The typed text is kept: a word of the other language is keyed with that
    // language's table, or its key could never equal a key of that index.
    const std::string typed = s.inFallback || c.typedIn ? std::string() : text;
    if (!s.inFallback && !c.textIsKey) c.tables.makeCollationKey(text, table, text);  // in place: no new string
    if (text.size() > CharacterTables::maxKeyLength) text.resize(CharacterTables::maxKeyLength);
    if (index.size() == 1) return 0;

    // The first key not less than the text: an equal one is the answer.
    const std::size_t first = c.lowerBound ? c.lowerBound(index, text) : index.lowerBound(text);
    if (first < index.size() && index.compare(first, text, DictionaryIndex::prefixOf(text)) == 0) return first;

    if (!s.inFallback) {
        FallbackGuard guard(s.inFallback);
        if (!wordLeadsToItself(s, text, first, side, table)) {
            const int other = table == s.direction.sourceTable ? s.direction.targetTable : s.direction.sourceTable;
            const int otherSide = s.direction.targetSide;
            std::string otherBytes =
                c.typedIn ? c.typedIn(CodePage::codePageOfCharset(
                                c.store.header.languageCharset[static_cast<std::size_t>(otherSide)]))
                          : typed;
            if (otherBytes.size() > CharacterTables::maxKeyLength) otherBytes.resize(CharacterTables::maxKeyLength);
            std::string otherText = c.tables.makeCollationKey(otherBytes, other);
            std::string otherWord(firstWord(otherText));
            const DictionaryIndex& otherIndex = c.store.indexes[static_cast<std::size_t>(otherSide)];
            // Only a key whose first word is the word can swap the direction.
            std::size_t q = otherIndex.size();
            if (otherWord.empty() || otherIndex.mayHaveFirstWord(otherWord)) {
                std::string probe = otherWord;
                q = positionOf(s, probe, otherSide, other);
            }
            if (q < otherIndex.size()) {
                std::string_view key = otherIndex.key(q);
                if (firstWord(key).size() == otherWord.size() && beginsWith(key, otherWord)) {
                    s.swapsDirection = true;
                    return positionOf(s, otherText, otherSide, other);
                }
            }
        }
    }
    return nearerNeighbour(index, text, first);
}

}  // namespace

SearchAnswer findPosition(const SearchContext& context, std::string& text, const Direction& direction) {
    Search s{context, direction};
    const std::size_t position = positionOf(s, text, direction.sourceSide, direction.sourceTable);
    return {position, s.swapsDirection, s.swapsDirection ? direction.swapped(context.store) : direction};
}

std::size_t positionAcross(const DictionaryStore& store, int fromSide, std::size_t position) {
    const DictionaryIndex& before = store.indexes[static_cast<std::size_t>(fromSide)];
    const DictionaryIndex& now = store.indexes[static_cast<std::size_t>(1 - fromSide)];
    if (position < before.size()) {
        const std::size_t across = now.find(before.entryNumber(position));
        if (across < now.size()) return across;
    }
    return position;
}

}  // namespace trelvo

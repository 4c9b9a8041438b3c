#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "WordStems.h"
#include "core/dictionary/DictionaryIndex.h"
#include "core/dictionary/EntryList.h"

namespace trelvo {

// How an entry matched, best first.
enum class MatchKind { exact, prefix, words, note, form, typo };
// "exact", "prefix", "words", "note", "form", "typo".
const char* matchKindName(MatchKind kind);

struct EntryMatch {
    std::uint32_t entry = 0;
    int text = 0;  // the text that matched: 0 term, 1 translation, 2 note
    MatchKind how = MatchKind::exact;

    bool operator==(const EntryMatch&) const = default;
};

struct FindAnswer {
    std::vector<EntryMatch> matches;  // best first, at most the limit asked for
    std::size_t total = 0;            // every entry that matched
    bool cancelled = false;           // stopped on request; matches then mean nothing
};

// Finds entries by any of their words, in both languages at once, folded
// (TextFolding), through the stems of inflected forms and with typos. Built
// once over a dictionary's entries, which must stay unchanged while it is used:
// it keeps per text (term, translation, note) the distinct words in folded form
// and for each the entries holding it, and reads the entries' texts only to
// rank what it found.
class EntryFinder {
public:
    // A query's words beyond this many take no part: each costs a pass over
    // the entries its words start.
    static constexpr std::size_t maxQueryWords = 16;

    // codePages: of the term's and of the translation's language (notes are in
    // the header's code page); stems of each language, or null. The indexes
    // give the order of ties; empty ones leave entry-number order.
    EntryFinder(const EntryList& entries, const std::array<DictionaryIndex, 2>& indexes,
                std::array<int, 2> codePages, std::array<std::shared_ptr<const WordStems>, 2> stems);
    // The same over entries of its own, for a finder that works on a thread
    // of its own while the dictionary changes: positions are what
    // positionsIn gave for each index.
    EntryFinder(std::shared_ptr<const EntryList> entries, std::array<std::vector<std::uint32_t>, 2> positions,
                std::array<int, 2> codePages, std::array<std::shared_ptr<const WordStems>, 2> stems);
    // Entry number → its position in index; entry-number order for an index
    // that does not hold every entry.
    static std::vector<std::uint32_t> positionsIn(const DictionaryIndex& index, std::size_t entryCount);

    // Entries that query (UTF-8) finds, best first, at most limit of them.
    // Checks cancel now and then; the answer then says it was cancelled.
    FindAnswer find(std::string_view query, std::size_t limit, const std::atomic<bool>* cancel = nullptr) const;

    // The byte ranges [begin, end) of the words of text (in codePage) that
    // begin with a word of query, or would with a typo, or, given stems, share
    // a stem with one: what a list shows highlighted.
    static std::vector<std::pair<std::size_t, std::size_t>> matchedWords(std::string_view text, int codePage,
                                                                         std::string_view query,
                                                                         const WordStems* stems = nullptr);

private:
    struct Text {
        int codePage = 1250;
        const WordStems* stems = nullptr;
        int index = 0;  // the index that orders its ties
        std::string words;                      // distinct folded words, sorted, one after the other
        std::vector<std::uint32_t> wordStart;   // words' offsets, and words.size() at the end
        std::vector<std::uint32_t> postingStart;  // each word's first posting, and the total at the end
        std::vector<std::uint32_t> postings;    // entry numbers, ascending within each word
        // The stems of the words (folded), each with a word it is a stem of,
        // sorted: an inflected query word finds the words of its own stems.
        std::vector<std::pair<std::string, std::uint32_t>> stemsOfWords;

        std::size_t wordCount() const { return wordStart.size() - 1; }
        std::string_view word(std::size_t w) const { return {words.data() + wordStart[w], wordStart[w + 1] - wordStart[w]}; }
    };
    struct Scratch;

    void buildText(Text& text, int k) const;
    // The words whose folded form begins with prefix: [first, last).
    std::pair<std::size_t, std::size_t> wordsBeginning(const Text& text, std::string_view prefix) const;
    bool findIn(int k, std::string_view query, Scratch& scratch, const std::atomic<bool>* cancel) const;

    std::shared_ptr<const EntryList> entries_;
    std::array<Text, 3> texts_;
    std::array<std::vector<std::uint32_t>, 2> positions_;  // entry number → index position
    std::array<std::shared_ptr<const WordStems>, 2> stems_;
};

}  // namespace trelvo

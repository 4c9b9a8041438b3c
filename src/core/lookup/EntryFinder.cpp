#include "EntryFinder.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "TextFolding.h"
#include "TypoDistance.h"
#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/CodePage.h"

namespace trelvo {

namespace {

// Ranks, best first: how finer than MatchKind, which has one "words" for both orders.
enum Rank : std::uint8_t { exactRank, prefixRank, inOrderRank, anyOrderRank, noteRank, formRank, typoRank, noRank = 255 };

MatchKind kindOf(std::uint8_t rank) {
    switch (rank) {
    case exactRank: return MatchKind::exact;
    case prefixRank: return MatchKind::prefix;
    case inOrderRank:
    case anyOrderRank: return MatchKind::words;
    case noteRank: return MatchKind::note;
    case formRank: return MatchKind::form;
    default: return MatchKind::typo;
    }
}

// How a query word reached an entry, worst last: the worst of the words counts.
enum How : std::uint8_t { plainly, throughForm, throughTypo };

struct QueryWord {
    std::string folded;
    std::string raw;  // as typed, in the text's code page: what stems are asked for
};

// The words of query in codePage; none when the code page cannot write a
// letter of it, as a Czech text cannot hold a Russian word.
std::vector<QueryWord> queryWords(std::string_view query, int codePage) {
    // As much as the search box holds, cut where a character begins.
    if (query.size() > CharacterTables::maxKeyLength) {
        std::size_t end = CharacterTables::maxKeyLength;
        while (end > 0 && (static_cast<unsigned char>(query[end]) & 0xC0) == 0x80) --end;
        query = query.substr(0, end);
    }
    std::string bytes = CodePage::fromUtf8(query, codePage);
    const auto marks = [](std::string_view s) { return std::count(s.begin(), s.end(), '?'); };
    if (marks(bytes) != marks(query)) return {};
    std::vector<QueryWord> words;
    std::string buffer;
    TextFolding::ofCodePage(codePage).forEachWord(bytes, buffer, [&](std::string_view w, std::size_t b, std::size_t e) {
        words.push_back({std::string(w), bytes.substr(b, e - b)});
    });
    return words;
}

bool beginsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

std::uint16_t lengthOf(std::string_view text) { return static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0x3FFF)); }

// Whether text's words begin with the query's words as typed, diacritics
// included ("pře" is written so in "přejezd", not in "preventivní"); letters
// of A to Z in either case.
bool writtenAsTyped(std::string_view text, const std::vector<QueryWord>& typed, const TextFolding& folding) {
    const auto same = [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    };
    // Only as much of text as the typed words and a little between them: a
    // long text is not folded whole for its first words.
    std::size_t reach = 0;
    for (const QueryWord& q : typed) reach += q.raw.size() + 4;
    text = text.substr(0, reach);
    // Letters of A to Z fold to themselves in small letters: where the query
    // and this much of text hold no others, the folded match says it all.
    const auto ascii = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    if (ascii(text) && std::all_of(typed.begin(), typed.end(), [&](const QueryWord& q) { return ascii(q.raw); }))
        return true;
    std::size_t w = 0;
    bool written = true;
    std::string buffer;
    folding.forEachWord(text, buffer, [&](std::string_view, std::size_t begin, std::size_t end) {
        if (w >= typed.size()) return;
        const std::string_view raw = typed[w++].raw;
        const std::string_view word = text.substr(begin, end - begin);
        written = written && word.size() >= raw.size() && std::equal(raw.begin(), raw.end(), word.begin(), same);
    });
    return written && w == typed.size();
}

// Among texts that begin with the query, the nearest first: written as typed
// before found only through folding, the query ending where a word of the
// text ends ("návěst" in "návěst Stůj" before "návěstní relé"), then the
// shorter text, of which the query covers more.
std::uint16_t prefixNearness(std::string_view text, std::string_view foldedBeginning, std::string_view joined,
                             const std::vector<QueryWord>& typed, const TextFolding& folding) {
    const bool atWordEnd = foldedBeginning.size() > joined.size() && foldedBeginning[joined.size()] == ' ';
    return static_cast<std::uint16_t>((writtenAsTyped(text, typed, folding) ? 0 : 0x8000) | (atWordEnd ? 0 : 0x4000) |
                                      lengthOf(text));
}

}  // namespace

const char* matchKindName(MatchKind kind) {
    switch (kind) {
    case MatchKind::exact: return "exact";
    case MatchKind::prefix: return "prefix";
    case MatchKind::words: return "words";
    case MatchKind::note: return "note";
    case MatchKind::form: return "form";
    case MatchKind::typo: return "typo";
    }
    return "";
}

// Per find: per entry how far its words matched and how, reset after each text.
struct EntryFinder::Scratch {
    std::vector<std::uint8_t> matchedWords, how, best;
    struct Found {
        std::uint8_t rank;
        std::uint8_t text;
        // Within a rank, smaller first (prefixNearness, or through a form or a
        // typo the text's length: fewer words beside the ones asked for);
        // else 0, and the index decides.
        std::uint16_t nearness;
        std::uint32_t position;
        std::uint32_t entry;
    };
    std::vector<Found> found;
    std::string folded;
};

EntryFinder::EntryFinder(const EntryList& entries, const std::array<DictionaryIndex, 2>& indexes,
                         std::array<int, 2> codePages, std::array<std::shared_ptr<const WordStems>, 2> stems)
    : EntryFinder(std::shared_ptr<const EntryList>(&entries, [](const EntryList*) {}),
                  {positionsIn(indexes[0], entries.size()), positionsIn(indexes[1], entries.size())}, codePages,
                  std::move(stems)) {}

EntryFinder::EntryFinder(std::shared_ptr<const EntryList> entries, std::array<std::vector<std::uint32_t>, 2> positions,
                         std::array<int, 2> codePages, std::array<std::shared_ptr<const WordStems>, 2> stems)
    : entries_(std::move(entries)), positions_(std::move(positions)), stems_(std::move(stems)) {
    for (std::vector<std::uint32_t>& p : positions_)
        if (p.size() != entries_->size()) {
            p.resize(entries_->size());
            std::iota(p.begin(), p.end(), 0u);
        }
    for (int k = 0; k < 3; ++k) {
        Text& text = texts_[static_cast<std::size_t>(k)];
        text.codePage = k < 2 ? codePages[static_cast<std::size_t>(k)] : CodePage::headerCodePage;
        text.stems = k < 2 ? stems_[static_cast<std::size_t>(k)].get() : nullptr;
        text.index = k == 1 ? 1 : 0;
        buildText(text, k);
    }
}

std::vector<std::uint32_t> EntryFinder::positionsIn(const DictionaryIndex& index, std::size_t entryCount) {
    std::vector<std::uint32_t> positions(entryCount);
    if (index.size() == entryCount) {
        for (std::size_t p = 0; p < index.size(); ++p) positions[index.entryNumber(p)] = static_cast<std::uint32_t>(p);
    } else {
        std::iota(positions.begin(), positions.end(), 0u);
    }
    return positions;
}

void EntryFinder::buildText(Text& text, int k) const {
    const TextFolding& folding = TextFolding::ofCodePage(text.codePage);
    std::unordered_map<std::string, std::uint32_t> ids;
    std::vector<std::string> spellings;      // each word as first seen, what stems are asked for
    std::vector<std::uint32_t> occurrences;  // word ids, entry after entry
    std::vector<std::uint32_t> entryStart;   // each entry's first occurrence
    entryStart.reserve(entries_->size() + 1);
    std::string buffer;
    for (std::size_t n = 0; n < entries_->size(); ++n) {
        entryStart.push_back(static_cast<std::uint32_t>(occurrences.size()));
        const std::size_t first = occurrences.size();
        const std::string_view entryText = entries_->text(n, k);
        folding.forEachWord(entryText, buffer, [&](std::string_view w, std::size_t begin, std::size_t end) {
            const auto [at, added] = ids.try_emplace(std::string(w), static_cast<std::uint32_t>(ids.size()));
            if (added && text.stems) spellings.emplace_back(entryText.substr(begin, end - begin));
            // An entry is listed once under each of its words.
            if (std::find(occurrences.begin() + static_cast<std::ptrdiff_t>(first), occurrences.end(), at->second) ==
                occurrences.end())
                occurrences.push_back(at->second);
        });
    }
    entryStart.push_back(static_cast<std::uint32_t>(occurrences.size()));

    // Words in byte order, so that the words beginning with a text lie together.
    std::vector<const std::string*> byId(ids.size());
    for (const auto& [word, id] : ids) byId[id] = &word;
    std::vector<std::uint32_t> order(ids.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return *byId[a] < *byId[b]; });
    std::vector<std::uint32_t> sortedId(ids.size());
    text.wordStart.assign(1, 0);
    for (std::size_t s = 0; s < order.size(); ++s) {
        sortedId[order[s]] = static_cast<std::uint32_t>(s);
        text.words += *byId[order[s]];
        text.wordStart.push_back(static_cast<std::uint32_t>(text.words.size()));
    }
    ids.clear();
    if (text.stems) {
        for (std::size_t id = 0; id < spellings.size(); ++id)
            for (const std::string& stem : text.stems->stems(CodePage::toUtf8(spellings[id], text.codePage)))
                if (std::string folded = folding.fold(CodePage::fromUtf8(stem, text.codePage)); !folded.empty())
                    text.stemsOfWords.emplace_back(std::move(folded), sortedId[id]);
        std::sort(text.stemsOfWords.begin(), text.stemsOfWords.end());
        text.stemsOfWords.erase(std::unique(text.stemsOfWords.begin(), text.stemsOfWords.end()), text.stemsOfWords.end());
    }

    // Postings by counting: entries come in ascending order, and so stay.
    text.postingStart.assign(order.size() + 1, 0);
    for (std::uint32_t& id : occurrences) {
        id = sortedId[id];
        ++text.postingStart[id + 1];
    }
    std::partial_sum(text.postingStart.begin(), text.postingStart.end(), text.postingStart.begin());
    text.postings.resize(occurrences.size());
    std::vector<std::uint32_t> next(text.postingStart.begin(), text.postingStart.end() - 1);
    for (std::size_t n = 0; n + 1 < entryStart.size(); ++n)
        for (std::uint32_t o = entryStart[n]; o < entryStart[n + 1]; ++o)
            text.postings[next[occurrences[o]]++] = static_cast<std::uint32_t>(n);
}

std::pair<std::size_t, std::size_t> EntryFinder::wordsBeginning(const Text& text, std::string_view prefix) const {
    std::size_t lo = 0, hi = text.wordCount();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (text.word(mid) < prefix) lo = mid + 1;
        else hi = mid;
    }
    std::size_t end = lo;
    while (end < text.wordCount() && beginsWith(text.word(end), prefix)) ++end;
    return {lo, end};
}

FindAnswer EntryFinder::find(std::string_view query, std::size_t limit, const std::atomic<bool>* cancel) const {
    FindAnswer answer;
    Scratch scratch;
    scratch.matchedWords.assign(entries_->size(), 0);
    scratch.how.assign(entries_->size(), 0);
    scratch.best.assign(entries_->size(), noRank);
    for (int k = 0; k < 3; ++k) {
        if (!findIn(k, query, scratch, cancel)) {
            answer.cancelled = true;
            return answer;
        }
    }
    // An entry found in more than one text counts once, by its best.
    std::vector<Scratch::Found> kept;
    for (const Scratch::Found& f : scratch.found) {
        if (f.rank != scratch.best[f.entry]) continue;
        scratch.best[f.entry] = noRank;
        kept.push_back(f);
    }
    answer.total = kept.size();
    const auto better = [](const Scratch::Found& a, const Scratch::Found& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.nearness != b.nearness) return a.nearness < b.nearness;
        if (a.position != b.position) return a.position < b.position;
        return a.text < b.text;
    };
    const std::size_t shown = std::min(limit, kept.size());
    std::partial_sort(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(shown), kept.end(), better);
    for (std::size_t i = 0; i < shown; ++i) answer.matches.push_back({kept[i].entry, kept[i].text, kindOf(kept[i].rank)});
    return answer;
}

bool EntryFinder::findIn(int k, std::string_view query, Scratch& scratch, const std::atomic<bool>* cancel) const {
    const Text& text = texts_[static_cast<std::size_t>(k)];
    std::vector<QueryWord> words = queryWords(query, text.codePage);
    if (words.empty()) return true;
    std::string joined;
    for (const QueryWord& w : words) joined += (joined.empty() ? "" : " ") + w.folded;
    const std::vector<QueryWord> asTyped = words;
    std::vector<std::string_view> typed;  // in the order typed
    for (const QueryWord& w : asTyped) typed.push_back(w.folded);
    // A word typed twice asks nothing more.
    std::sort(words.begin(), words.end(), [](const QueryWord& a, const QueryWord& b) { return a.folded < b.folded; });
    words.erase(std::unique(words.begin(), words.end(),
                            [](const QueryWord& a, const QueryWord& b) { return a.folded == b.folded; }),
                words.end());
    if (words.size() > maxQueryWords) words.resize(maxQueryWords);

    // Each word's ranges of vocabulary, by how they match.
    struct Reach {
        std::vector<std::pair<std::size_t, std::size_t>> ranges[3];
        std::size_t postings = 0;
    };
    const TextFolding& folding = TextFolding::ofCodePage(text.codePage);
    std::vector<Reach> reaches(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        Reach& reach = reaches[i];
        const auto plain = wordsBeginning(text, words[i].folded);
        if (plain.first != plain.second) reach.ranges[plainly].push_back(plain);
        if (text.stems) {
            for (const std::string& stem : text.stems->stems(CodePage::toUtf8(words[i].raw, text.codePage))) {
                const std::string folded = folding.fold(CodePage::fromUtf8(stem, text.codePage));
                if (folded.empty()) continue;
                // Words that share a stem with the query word: "žlutého" finds "žluté" through "žlutý".
                auto at = std::lower_bound(text.stemsOfWords.begin(), text.stemsOfWords.end(),
                                           std::make_pair(folded, std::uint32_t{0}));
                for (; at != text.stemsOfWords.end() && at->first == folded; ++at)
                    reach.ranges[throughForm].push_back({at->second, at->second + 1});
            }
        }
        const std::size_t allowed = typosAllowed(words[i].folded.size());
        if (reach.ranges[plainly].empty() && reach.ranges[throughForm].empty() && allowed > 0) {
            for (std::size_t w = 0; w < text.wordCount(); ++w)
                if (typoDistance(words[i].folded, text.word(w), allowed) <= allowed)
                    reach.ranges[throughTypo].push_back({w, w + 1});
        }
        for (const auto& ranges : reach.ranges)
            for (const auto& [first, last] : ranges) reach.postings += text.postingStart[last] - text.postingStart[first];
        if (reach.postings == 0) return true;  // one word finds nothing: nor does the query
    }
    // The rarest words first, so that the entries still in play shrink fastest.
    std::vector<std::size_t> order(words.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return reaches[a].postings < reaches[b].postings; });

    auto forEachPosting = [&](const Reach& reach, auto onEntry) {
        for (int how = plainly; how <= throughTypo; ++how)
            for (const auto& [first, last] : reach.ranges[how])
                for (std::uint32_t p = text.postingStart[first]; p < text.postingStart[last]; ++p)
                    onEntry(text.postings[p], static_cast<std::uint8_t>(how));
    };
    std::vector<std::uint8_t>& matched = scratch.matchedWords;
    std::vector<std::uint8_t>& how = scratch.how;
    std::size_t inPlay = 0;
    for (std::size_t step = 0; step < order.size(); ++step) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return false;
        inPlay = 0;
        forEachPosting(reaches[order[step]], [&](std::uint32_t e, std::uint8_t h) {
            if (matched[e] != step) return;
            matched[e] = static_cast<std::uint8_t>(step + 1);
            how[e] = step == 0 ? h : std::max(how[e], h);
            ++inPlay;
        });
        if (inPlay == 0) break;
    }
    const std::uint8_t all = static_cast<std::uint8_t>(order.size());
    std::string& folded = scratch.folded;
    // Every entry a word reached is visited again: those all words reached are ranked, and the marks cleared.
    auto rankOf = [&](std::uint32_t e) -> std::uint8_t {
        if (how[e] == throughForm) return formRank;
        if (how[e] == throughTypo) return typoRank;
        if (k == 2) return noteRank;
        // One word asks only how the text begins: no more of it is folded.
        folding.fold(entries_->text(e, k), folded, typed.size() == 1 ? joined.size() : std::string::npos);
        if (folded == joined) return exactRank;
        if (beginsWith(folded, joined)) return prefixRank;
        if (typed.size() == 1) return inOrderRank;
        // In order: each word begins a word of the text behind the one before.
        std::size_t at = 0;
        std::size_t w = 0;
        while (w < typed.size() && at < folded.size()) {
            std::size_t end = folded.find(' ', at);
            if (end == folded.npos) end = folded.size();
            if (beginsWith(std::string_view(folded).substr(at, end - at), typed[w])) ++w;
            at = end + 1;
        }
        return w == typed.size() ? inOrderRank : anyOrderRank;
    };
    std::size_t visited = 0;
    for (std::size_t step = 0; step < order.size(); ++step)
        forEachPosting(reaches[order[step]], [&](std::uint32_t e, std::uint8_t) {
            if (matched[e] == 0) return;
            if (matched[e] == all) {
                if ((++visited & 0xFFFF) == 0 && cancel && cancel->load(std::memory_order_relaxed)) return;
                const std::uint8_t rank = rankOf(e);
                if (rank < scratch.best[e]) {
                    scratch.best[e] = rank;
                    const std::string_view entryText = entries_->text(e, k);
                    const std::uint16_t nearness =
                        rank == prefixRank ? prefixNearness(entryText, folded, joined, asTyped, folding)
                        : rank >= formRank ? lengthOf(entryText)
                                           : 0;
                    scratch.found.push_back({rank, static_cast<std::uint8_t>(k), nearness,
                                             positions_[static_cast<std::size_t>(text.index)][e], e});
                }
            }
            matched[e] = 0;
        });
    return !(cancel && cancel->load(std::memory_order_relaxed));
}

std::vector<std::pair<std::size_t, std::size_t>> EntryFinder::matchedWords(std::string_view text, int codePage,
                                                                            std::string_view query,
                                                                            const WordStems* stems) {
    const std::vector<QueryWord> words = queryWords(query, codePage);
    const TextFolding& folding = TextFolding::ofCodePage(codePage);
    // The folded stems of a word, as the finder compares them.
    auto stemsOf = [&](std::string_view word) {
        std::vector<std::string> folded;
        for (const std::string& stem : stems->stems(CodePage::toUtf8(word, codePage)))
            if (std::string f = folding.fold(CodePage::fromUtf8(stem, codePage)); !f.empty()) folded.push_back(std::move(f));
        return folded;
    };
    std::vector<std::string> queryStems;
    if (stems)
        for (const QueryWord& q : words)
            for (std::string& stem : stemsOf(q.raw)) queryStems.push_back(std::move(stem));
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::string buffer;
    folding.forEachWord(text, buffer, [&](std::string_view w, std::size_t b, std::size_t e) {
        for (const QueryWord& q : words) {
            const std::size_t allowed = typosAllowed(q.folded.size());
            if (beginsWith(w, q.folded) || (allowed > 0 && typoDistance(q.folded, w, allowed) <= allowed)) {
                spans.emplace_back(b, e);
                return;
            }
        }
        if (queryStems.empty()) return;
        for (const std::string& stem : stemsOf(text.substr(b, e - b)))
            if (std::find(queryStems.begin(), queryStems.end(), stem) != queryStems.end()) {
                spans.emplace_back(b, e);
                return;
            }
    });
    return spans;
}

}  // namespace trelvo

// trelvo_bench_find_queries TSV COUNT [SEED]: what users type to find entries
// of a dictionary, made from its entries (TSV: term<TAB>translation<TAB>...,
// UTF-8). Writes COUNT lines of kind<TAB>query<TAB>term<TAB>translation, the
// last two naming the entry the query was made from, the same for the same
// seed. Kinds, each as often as the others where a term allows it:
//   stored      the term as stored
//   plain       without diacritics
//   upper       in capitals
//   dropped     one letter of a word of 5+ letters left out
//   doubled     one letter typed twice
//   swapped     two neighbouring letters of a word exchanged
//   half        the first half of the term
//   inner       the term's rarest word of 4+ letters, as a reader remembers it
//   inflected   the term in the genitive ("kolejového obvodu"), words after
//               a preposition as they are ("jízdy po hrotu výhybky")
// Half and inner queries are kept only where they pick out a handful of
// entries: where more terms begin alike, a user types on, and no order could
// tell which of them was meant.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CzechLetters.h"
#include "core/dictionary/CodePage.h"

using trelvo::CodePage;

namespace {

struct Entry {
    std::string term, translation;
};

using czech_letters::capitals;
using czech_letters::withoutDiacritics;
const auto lower = czech_letters::smallLetters;

std::vector<std::u16string> words(const std::u16string& text) {
    std::vector<std::u16string> out;
    std::u16string word;
    for (char16_t c : text + u' ') {
        if (c == u' ' || c == u',' || c == u'(' || c == u')' || c == u'/' || c == u'-') {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return out;
}

bool endsWith(const std::u16string& w, const std::u16string& end) {
    return w.size() > end.size() && w.compare(w.size() - end.size(), end.size(), end) == 0;
}

// Whether w is a preposition: words after it keep the case it asks for
// ("jízdy po hrotu výhybky").
bool preposition(const std::u16string& w) {
    static const std::u16string_view all[] = {u"a", u"k", u"ke", u"ku", u"s", u"se", u"v", u"ve", u"z", u"ze",
                                              u"o", u"u", u"na", u"po", u"pro", u"při", u"pod", u"nad", u"za",
                                              u"do", u"od", u"bez", u"mezi", u"proti", u"podle"};
    return std::find(std::begin(all), std::end(all), std::u16string_view(lower(w))) != std::end(all);
}

// A Czech word in the genitive singular, by the endings of the common
// declensions; the word itself where they say nothing.
std::u16string genitive(const std::u16string& w) {
    static const std::u16string soft = u"žščřcjďťň";
    auto replace = [&](std::size_t cut, const std::u16string& with) { return w.substr(0, w.size() - cut) + with; };
    // Nouns in -é (relé) and -í (zastavení) keep their form; adjectives in -í change.
    if (w == u"relé") return w;
    if (endsWith(w, u"ý") || endsWith(w, u"é")) return replace(1, u"ého");
    if (endsWith(w, u"á")) return replace(1, u"é");
    if ((endsWith(w, u"ní") && !endsWith(w, u"ení") && !endsWith(w, u"ání")) || endsWith(w, u"cí") || endsWith(w, u"ší"))
        return replace(1, u"ího");
    if (endsWith(w, u"o")) return replace(1, u"a");
    if (endsWith(w, u"a")) return soft.find(w[w.size() - 2]) != std::u16string::npos ? replace(1, u"e") : replace(1, u"y");
    if (endsWith(w, u"ec")) return replace(2, u"ce");
    const char16_t last = w.back();
    // ď, ť and ň before e are written d, t and n before ě: "trať", "tratě".
    if (const std::size_t hard = std::u16string(u"ďťň").find(last); hard != std::u16string::npos)
        return replace(1, std::u16string(1, u"dtn"[hard]) + u"ě");
    if (soft.find(last) != std::u16string::npos) return w + u"e";
    if (last >= u'a' && last <= u'z' && std::u16string(u"aeiouy").find(last) == std::u16string::npos)
        return w + u"u";
    return w;
}

// As the finder compares texts: small letters without diacritics, words one
// space apart.
std::string folded(const std::u16string& text) {
    std::u16string out;
    for (const std::u16string& w : words(withoutDiacritics(lower(text)))) out += (out.empty() ? u"" : u" ") + w;
    return CodePage::utf16ToUtf8(out);
}

bool beginsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// How many terms and translations a query finds by their beginning, and how
// many by a word's beginning.
class Ambiguity {
public:
    void add(const std::string& term, const std::string& translation) {
        std::set<std::string> seen;
        for (const std::string& text : {term, translation}) {
            const std::u16string utf16 = CodePage::utf8ToUtf16(text);
            texts_.push_back(folded(utf16));
            for (const std::u16string& w : words(withoutDiacritics(lower(utf16))))
                if (seen.insert(CodePage::utf16ToUtf8(w)).second) ++entriesOfWord_[CodePage::utf16ToUtf8(w)];
        }
    }
    void ready() { std::sort(texts_.begin(), texts_.end()); }
    std::size_t textsBeginning(const std::u16string& query) const {
        const std::string q = folded(query);
        // No UTF-8 byte is 0xFF: every text that begins with q sorts before q + 0xFF.
        return static_cast<std::size_t>(std::lower_bound(texts_.begin(), texts_.end(), q + '\xff') -
                                        std::lower_bound(texts_.begin(), texts_.end(), q));
    }
    std::size_t entriesWithWordBeginning(const std::u16string& query) const {
        const std::string q = folded(query);
        std::size_t n = 0;
        for (auto at = entriesOfWord_.lower_bound(q); at != entriesOfWord_.end() && beginsWith(at->first, q); ++at)
            n += at->second;
        return n;
    }

private:
    std::vector<std::string> texts_;
    std::map<std::string, std::size_t> entriesOfWord_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: trelvo_bench_find_queries TSV COUNT [SEED]\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<Entry> entries;
    std::unordered_map<std::u16string, std::size_t> frequency;
    Ambiguity ambiguity;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Entry e;
        std::getline(fields, e.term, '\t');
        std::getline(fields, e.translation, '\t');
        if (e.term.empty()) continue;
        for (const std::u16string& w : words(lower(CodePage::utf8ToUtf16(e.term)))) ++frequency[w];
        ambiguity.add(e.term, e.translation);
        entries.push_back(std::move(e));
    }
    ambiguity.ready();
    if (entries.empty()) {
        std::fprintf(stderr, "trelvo_bench_find_queries: no entries in %s\n", argv[1]);
        return 1;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    std::mt19937 random(argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 1u);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    const char* const kinds[] = {"stored", "plain", "upper", "dropped", "doubled", "swapped", "half", "inner", "inflected"};
    // Kinds take turns; one that a dictionary cannot give leaves its share unmade.
    const long share = (count + 8) / 9;
    std::map<std::string, long> madeOf;
    constexpr std::size_t handful = 5;
    std::ostringstream out;
    for (long made = 0, tries = 0; made < count && tries < 100 * count; ++tries) {
        const std::string kind = kinds[tries % 9];
        if (madeOf[kind] >= share) continue;
        const Entry& e = entries[pick(entries.size())];
        const std::u16string term = CodePage::utf8ToUtf16(e.term);
        std::vector<std::u16string> ws = words(term);
        std::u16string query;
        // A word of the term long enough to be changed, or none.
        auto longWord = [&](std::size_t letters) -> std::u16string* {
            std::vector<std::u16string*> fit;
            for (std::u16string& w : ws)
                if (w.size() >= letters) fit.push_back(&w);
            return fit.empty() ? nullptr : fit[pick(fit.size())];
        };
        auto joined = [&] {
            std::u16string text;
            for (const std::u16string& w : ws) text += (text.empty() ? u"" : u" ") + w;
            return text;
        };
        if (kind == "stored") {
            query = term;
        } else if (kind == "plain") {
            query = withoutDiacritics(term);
            if (query == term) continue;
        } else if (kind == "upper") {
            query = capitals(term);
        } else if (kind == "dropped" || kind == "doubled" || kind == "swapped") {
            std::u16string* w = longWord(kind == "dropped" ? 5 : 4);
            if (!w) continue;
            const std::size_t at = 1 + pick(w->size() - 2);  // the first letter is seldom the wrong one
            if (kind == "dropped") w->erase(at, 1);
            else if (kind == "doubled") w->insert(at, 1, (*w)[at]);
            else if ((*w)[at] == (*w)[at + 1 < w->size() ? at + 1 : at - 1]) continue;
            else std::swap((*w)[at], (*w)[at + 1 < w->size() ? at + 1 : at - 1]);
            query = joined();
        } else if (kind == "half") {
            if (term.size() < 6) continue;
            query = term.substr(0, term.size() / 2);
            if (ambiguity.textsBeginning(query) > handful) continue;
        } else if (kind == "inner") {
            const std::u16string* rarest = nullptr;
            for (const std::u16string& w : ws)
                if (w.size() >= 4 && (!rarest || frequency[lower(w)] < frequency[lower(*rarest)])) rarest = &w;
            if (!rarest || ambiguity.entriesWithWordBeginning(*rarest) > handful) continue;
            query = *rarest;
        } else {
            bool changed = false;
            for (std::u16string& w : ws) {
                if (preposition(w)) break;
                const std::u16string g = genitive(w);
                changed |= g != w;
                w = g;
            }
            if (!changed) continue;
            query = joined();
        }
        out << kind << '\t' << CodePage::utf16ToUtf8(query) << '\t' << e.term << '\t' << e.translation << '\n';
        ++made;
        ++madeOf[kind];
    }
    std::cout << out.str();
    return 0;
}

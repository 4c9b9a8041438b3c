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
//   inflected   the term in the genitive ("kolejového obvodu")
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
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
    if (soft.find(last) != std::u16string::npos) return w + u"e";
    if (last >= u'a' && last <= u'z' && std::u16string(u"aeiouy").find(last) == std::u16string::npos)
        return w + u"u";
    return w;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: trelvo_bench_find_queries TSV COUNT [SEED]\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<Entry> entries;
    std::unordered_map<std::u16string, std::size_t> frequency;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Entry e;
        std::getline(fields, e.term, '\t');
        std::getline(fields, e.translation, '\t');
        if (e.term.empty()) continue;
        for (const std::u16string& w : words(lower(CodePage::utf8ToUtf16(e.term)))) ++frequency[w];
        entries.push_back(std::move(e));
    }
    if (entries.empty()) {
        std::fprintf(stderr, "trelvo_bench_find_queries: no entries in %s\n", argv[1]);
        return 1;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    std::mt19937 random(argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 1u);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    const char* const kinds[] = {"stored", "plain", "upper", "dropped", "doubled", "swapped", "half", "inner", "inflected"};
    std::ostringstream out;
    for (long made = 0, tries = 0; made < count && tries < 100 * count; ++tries) {
        const Entry& e = entries[pick(entries.size())];
        const std::string kind = kinds[made % 9];
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
        } else if (kind == "inner") {
            const std::u16string* rarest = nullptr;
            for (const std::u16string& w : ws)
                if (w.size() >= 4 && (!rarest || frequency[lower(w)] < frequency[lower(*rarest)])) rarest = &w;
            if (!rarest) continue;
            query = *rarest;
        } else {
            bool changed = false;
            for (std::u16string& w : ws) {
                const std::u16string g = genitive(w);
                changed |= g != w;
                w = g;
            }
            if (!changed) continue;
            query = joined();
        }
        out << kind << '\t' << CodePage::utf16ToUtf8(query) << '\t' << e.term << '\t' << e.translation << '\n';
        ++made;
    }
    std::cout << out.str();
    return 0;
}

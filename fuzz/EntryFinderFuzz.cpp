// Any entries and any query must find without a fault, and the answer must
// hold together: within the limit, each entry once, the count at least the list.
// Input: a byte choosing the code pages, then lines of term TAB translation
// TAB note; the last line is the query (UTF-8, any bytes).
#include <cstdint>
#include <set>
#include <string_view>

#include "core/dictionary/CharacterTables.h"
#include "core/lookup/EntryFinder.h"

namespace {

class EchoStems : public trelvo::WordStems {
public:
    std::vector<std::string> stems(const std::string& word) const override {
        return {word.substr(0, word.size() / 2), word + "a", ""};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr int codePages[] = {1250, 1251, 1252, 1254, 1257};
    const std::array<int, 2> pages{codePages[data[0] % 5], codePages[data[0] / 5 % 5]};
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    trelvo::EntryList entries;
    std::string_view query;
    while (true) {
        const std::size_t end = bytes.find('\n');
        if (end == bytes.npos) {
            query = bytes;
            break;
        }
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        std::string_view texts[3];
        for (int k = 0; k < 3; ++k) {
            const std::size_t tab = k < 2 ? line.find('\t') : line.npos;
            texts[k] = line.substr(0, tab);
            line = tab == line.npos ? std::string_view() : line.substr(tab + 1);
        }
        entries.append(texts[0], texts[1], texts[2], 0);
    }
    trelvo::CharacterTables tables;
    std::array<trelvo::DictionaryIndex, 2> indexes;
    for (int k = 0; k < 2; ++k)
        indexes[static_cast<std::size_t>(k)] = trelvo::DictionaryIndex::build(entries, k, tables, k);
    const trelvo::EntryFinder finder(entries, indexes, pages,
                                     {std::make_shared<EchoStems>(), std::shared_ptr<const trelvo::WordStems>()});
    for (std::size_t limit : {std::size_t{0}, std::size_t{3}, std::size_t{500}}) {
        const trelvo::FindAnswer answer = finder.find(query, limit);
        if (answer.matches.size() > limit || answer.total < answer.matches.size() || answer.total > entries.size())
            __builtin_trap();
        std::set<std::uint32_t> seen;
        for (const trelvo::EntryMatch& m : answer.matches)
            if (m.entry >= entries.size() || !seen.insert(m.entry).second) __builtin_trap();
    }
    for (std::size_t n = 0; n < entries.size(); ++n)
        for (const auto& [begin, end] : trelvo::EntryFinder::matchedWords(entries.term(n), pages[0], query))
            if (begin >= end || end > entries.term(n).size()) __builtin_trap();
    return 0;
}

#include "GeneratedDictionary.h"

#include <random>

namespace trelvo {

namespace {

std::string randomText(std::mt19937& random) {
    static const std::string letters = "abcdeefghiijklmnoopqrstuuvyz \xE1\xE8\xEC\xED\x9A\xF8\x9E\xFD\xF9";
    std::uniform_int_distribution<std::size_t> length(10, 40), pick(0, letters.size() - 1);
    std::string text(length(random), ' ');
    for (char& c : text) c = letters[pick(random)];
    return text;
}

}  // namespace

EntryList generatedEntries(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    EntryList list;
    list.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        std::string term = randomText(random);
        list.append(term, randomText(random), "", 0);
    }
    return list;
}

DictionaryHeader generatedHeader() {
    DictionaryHeader h;
    h.name = "Bench";
    h.languageCharset = {238, 0};
    h.idAndAccessCode = "12345678";
    return h;
}

}  // namespace trelvo

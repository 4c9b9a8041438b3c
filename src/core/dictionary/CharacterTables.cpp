#include "CharacterTables.h"

#include <algorithm>

#include "TextWords.h"
#include "WholeFile.h"

namespace trelvo {

namespace {

// Line buffers of the program hold 999 characters; a longer line is read as
// several lines.
constexpr std::size_t maxLineLength = 999;
constexpr int firstRank = 128;
constexpr int lastRank = 255;

// The decimal table number that follows the opening word after blanks; -1 when
// there is none ("sr2" opens nothing, neither does "sr x").
int sectionNumber(std::string_view line, std::string_view word) {
    std::size_t pos = static_cast<std::size_t>(word.data() - line.data()) + word.size();
    if (pos >= line.size() || !isBlank(line[pos])) return -1;
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    int value = 0;
    bool any = false;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
        if (value < 1000) value = value * 10 + (line[pos] - '0');
        any = true;
        ++pos;
    }
    return any ? value : -1;
}

}  // namespace

CharacterTables::CharacterTables() { setDefaults(); }

void CharacterTables::setDefaults() {
    for (Table& table : tables_) {
        for (int c = 0; c < 256; ++c) {
            table.upper[c] = static_cast<std::uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            table.rank[c] = static_cast<std::uint8_t>(c);
        }
        table.digraphs.clear();
        table.startsDigraph.fill(0);
        table.digraphs.reserve(100);
    }
    section_ = Section::outside;
    sectionTable_ = 0;
    rankCounter_ = firstRank;
}

bool CharacterTables::loadCharacterTables(const std::string& path) {
    setDefaults();
    std::string text;
    if (!readWholeFile(path, text, tablesLimit)) return false;
    loadCharacterTablesFromText(text);
    return true;
}

void CharacterTables::loadCharacterTablesFromText(std::string_view text) {
    setDefaults();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::size_t lineEnd = end == std::string_view::npos ? text.size() : end + 1;
        // A line past the buffer's size continues as the next line.
        if (lineEnd - pos > maxLineLength) lineEnd = pos + maxLineLength;
        applyLine(text.substr(pos, lineEnd - pos));
        pos = lineEnd;
    }
    section_ = Section::outside;
}

void CharacterTables::applyLine(std::string_view line) {
    // Everything after a NUL is invisible to a zero-terminated line buffer.
    if (std::size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
    std::string_view word = firstWord(line);
    if (word.empty()) return;

    if (section_ == Section::outside) {
        if (word != "up" && word != "sr") return;
        int number = sectionNumber(line, word);
        if (number < 0) return;
        section_ = word == "up" ? Section::upper : Section::sort;
        sectionTable_ = number;
        rankCounter_ = firstRank;
        return;
    }

    if ((section_ == Section::upper && word == "/up") || (section_ == Section::sort && word == "/sr")) {
        section_ = Section::outside;
        return;
    }
    // Sections for tables the program does not have are read and ignored.
    if (sectionTable_ < 0 || sectionTable_ >= tableCount) return;
    Table& table = tables_[static_cast<std::size_t>(sectionTable_)];

    if (section_ == Section::upper) {
        // The line end is no character of the mapping: "qq" maps nothing.
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (line.size() >= 3)
            table.upper[static_cast<std::uint8_t>(line[0])] = static_cast<std::uint8_t>(line[2]);
        return;
    }

    // A rank is one byte: units past the 128th of a section are ignored.
    if (rankCounter_ > lastRank) return;
    auto rank = static_cast<std::uint8_t>(rankCounter_++);
    if (word.size() == 1) {
        table.rank[static_cast<std::uint8_t>(word[0])] = rank;
    } else {
        auto key = static_cast<std::uint16_t>(static_cast<std::uint8_t>(word[0]) +
                                              256 * static_cast<std::uint8_t>(word[1]));
        addDigraph(table, key, rank);
    }
}

void CharacterTables::addDigraph(Table& table, std::uint16_t key, std::uint8_t rank) {
    auto it = std::lower_bound(table.digraphs.begin(), table.digraphs.end(), key,
                               [](const Digraph& d, std::uint16_t k) { return d.key < k; });
    if (it != table.digraphs.end() && it->key == key) return;  // the first listing keeps its rank
    table.digraphs.insert(it, Digraph{key, rank});
    table.startsDigraph[key & 0xFF] = 1;
}

int CharacterTables::tableOfCharset(int charsetCode) {
    switch (charsetCode) {
        case 238: return 1;
        case 204: return 2;
        case 0: return 3;
        case 186: return 4;
        case 162: return 5;
        default: return 0;
    }
}

std::string CharacterTables::makeCollationKey(std::string_view text, int t) const {
    std::string key;
    makeCollationKey(text, t, key);
    return key;
}

std::size_t CharacterTables::keyLength(std::string_view text) {
    return std::min({text.find('\0'), text.size(), maxKeyLength});
}

void CharacterTables::makeCollationKey(std::string_view text, int t, std::string& key) const {
    key.resize(keyLength(text));
    makeCollationKey(text, t, key.data());
}

void CharacterTables::makeCollationKey(std::string_view text, int t, char* key) const {
    const Table& table = tables_[static_cast<std::size_t>(t < 0 || t >= tableCount ? 0 : t)];
    const std::size_t length = keyLength(text);
    if (length == 0) return;

    auto* out = reinterpret_cast<std::uint8_t*>(key);
    const auto* in = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto& digraphs = table.digraphs;

    // Each position pairs its upper-case byte with the next, not yet ranked,
    // upper-case byte; the second byte of a digraph is ranked again on its own.
    std::uint8_t current = table.upper[in[0]];
    for (std::size_t i = 0; i < length; ++i) {
        std::uint8_t next = i + 1 < length ? table.upper[in[i + 1]] : 0;
        std::uint8_t ranked = table.rank[current];
        if (table.startsDigraph[current]) {
            auto pair = static_cast<std::uint16_t>(current + 256 * next);
            auto it = std::lower_bound(digraphs.begin(), digraphs.end(), pair,
                                       [](const Digraph& d, std::uint16_t k) { return d.key < k; });
            if (it != digraphs.end() && it->key == pair) ranked = it->rank;
        }
        out[i] = ranked;
        current = next;
    }
}

}  // namespace trelvo

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo {

// Case folding and alphabetical order for the six character sets, loaded from
// "upchar.dat". Texts are turned into collation keys once and then compared as
// plain unsigned byte strings.
class CharacterTables {
public:
    static constexpr int tableCount = 6;
    // Texts (and so keys) longer than this are cut: the search box and the
    // program's line buffers hold no more.
    static constexpr std::size_t maxKeyLength = 999;

    struct Digraph {
        std::uint16_t key;  // c1 + 256 * c2, both upper-case
        std::uint8_t rank;
    };

    struct Table {
        std::array<std::uint8_t, 256> upper;
        std::array<std::uint8_t, 256> rank;
        std::vector<Digraph> digraphs;  // sorted by key, keys unique
        // Non-zero for bytes that begin a digraph, so that keying searches the
        // digraphs only where one can start.
        std::array<std::uint8_t, 256> startsDigraph;
    };

    CharacterTables();

    // Resets the defaults and reads the file. Returns false when the file
    // cannot be read whole, or is no regular file (the tables then hold the
    // defaults).
    bool loadCharacterTables(const std::string& path);
    // The same from the file's bytes already in memory.
    void loadCharacterTablesFromText(std::string_view text);

    static int tableOfCharset(int charsetCode);

    // Collation key of text under table t (0..5); at most maxKeyLength bytes.
    std::string makeCollationKey(std::string_view text, int t) const;
    // The same into a caller's buffer, so that keying a whole index reuses it.
    // The buffer may be the text itself: each byte is read before its place
    // is written, and a key is never longer than its text.
    void makeCollationKey(std::string_view text, int t, std::string& key) const;
    // The length of text's key: the text's, up to a NUL and maxKeyLength.
    static std::size_t keyLength(std::string_view text);
    // The key into keyLength(text) bytes at key, so that keys can be made in
    // place in an index's storage.
    void makeCollationKey(std::string_view text, int t, char* key) const;

    const Table& table(int t) const { return tables_[static_cast<std::size_t>(t)]; }

private:
    void setDefaults();
    void applyLine(std::string_view line);
    void addDigraph(Table& table, std::uint16_t key, std::uint8_t rank);

    enum class Section { outside, upper, sort };

    std::array<Table, tableCount> tables_;
    Section section_ = Section::outside;
    int sectionTable_ = 0;
    int rankCounter_ = 128;
};

}  // namespace trelvo

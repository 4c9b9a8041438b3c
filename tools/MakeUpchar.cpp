// make-upchar INPUT OUTPUT
//
// Turns the readable UTF-8 source of the character tables (upchar.txt, whose
// head describes it) into upchar.dat, each table's sections in the bytes of
// its code page. Anything doubtful is an error: a table that builds with a
// wrong letter would only show later as a dictionary sorted oddly.

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/CodePage.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using trelvo::CharacterTables;
using trelvo::CodePage;

struct Unit {
    std::string bytes;   // one letter, or two for a digraph
    std::string folds;   // letters that fold onto it
};

struct Alphabet {
    std::vector<int> tables;
    int codePage = 0;
    std::vector<Unit> units;
    int line = 0;
};

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string where(int line) { return "line " + std::to_string(line) + ": "; }

// CR counts as a blank so that a source checked out with CRLF reads the same.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (i > start) out.emplace_back(line.substr(start, i - start));
    }
    return out;
}

int number(const std::string& word, int line) {
    std::size_t used = 0;
    int value = -1;
    try {
        value = std::stoi(word, &used);
    } catch (const std::exception&) {
    }
    if (used != word.size() || value < 0) throw Error(where(line) + "'" + word + "' is not a number");
    return value;
}

// One byte per character; a character the code page lacks would come out as
// '?' and so is refused, and so are control characters, which the loader
// would take for line ends or blanks.
std::string toCodePage(const std::string& utf8, int codePage, int line) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::string character = utf8.substr(i, length);
        i += length;
        std::string bytes = CodePage::fromUtf8(character, codePage);
        if (static_cast<unsigned char>(character[0]) < 0x20)
            throw Error(where(line) + "a control character in a letter");
        if (bytes.size() != 1 || (bytes == "?" && character != "?"))
            throw Error(where(line) + "'" + character + "' is not in code page " + std::to_string(codePage));
        out += bytes;
    }
    return out;
}

std::vector<Alphabet> parse(std::istream& in) {
    std::vector<Alphabet> alphabets;
    std::array<bool, CharacterTables::tableCount> seen{};
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        std::vector<std::string> w = words(text.substr(0, text.find('#')));
        if (w.empty()) continue;
        if (w[0] == "table") {
            Alphabet a;
            a.line = line;
            if (w.size() < 3 || w.back().rfind("cp", 0) != 0)
                throw Error(where(line) + "expected: table N [N ...] cpNNNN");
            a.codePage = number(w.back().substr(2), line);
            for (std::size_t i = 1; i + 1 < w.size(); ++i) {
                int t = number(w[i], line);
                if (t >= CharacterTables::tableCount) throw Error(where(line) + "no table " + w[i]);
                if (seen[t]) throw Error(where(line) + "table " + w[i] + " is given twice");
                seen[t] = true;
                a.tables.push_back(t);
            }
            alphabets.push_back(a);
            continue;
        }
        if (alphabets.empty()) throw Error(where(line) + "a letter before the first table line");
        Alphabet& a = alphabets.back();
        Unit unit{toCodePage(w[0], a.codePage, line), {}};
        if (unit.bytes.size() > 2) throw Error(where(line) + "'" + w[0] + "' is longer than two letters");
        for (std::size_t i = 1; i < w.size(); ++i) unit.folds += toCodePage(w[i], a.codePage, line);
        if (unit.bytes.size() == 2 && !unit.folds.empty())
            throw Error(where(line) + "nothing can fold onto the digraph " + w[0]);
        a.units.push_back(unit);
    }
    return alphabets;
}

std::string show(char c, int codePage) { return "'" + CodePage::toUtf8(std::string(1, c), codePage) + "'"; }

// The loader only ever looks up upper-cased bytes, so a unit that folds onto
// something else would never be ranked; a letter folded twice or a unit
// listed twice is a slip in the source.
void check(const Alphabet& a) {
    std::string context = "table at " + where(a.line);
    if (a.units.size() > 128) throw Error(context + "more than 128 units");
    std::array<int, 256> upper;
    for (int c = 0; c < 256; ++c) upper[c] = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
    std::array<bool, 256> folded{};
    for (const Unit& u : a.units) {
        for (char f : u.folds) {
            auto c = static_cast<unsigned char>(f);
            if (folded[c]) throw Error(context + show(f, a.codePage) + " folds twice");
            folded[c] = true;
            upper[c] = static_cast<unsigned char>(u.bytes[0]);
        }
    }
    std::map<std::string, int> listed;
    for (const Unit& u : a.units) {
        if (listed[u.bytes]++) throw Error(context + "'" + CodePage::toUtf8(u.bytes, a.codePage) + "' is listed twice");
        for (char b : u.bytes) {
            auto c = static_cast<unsigned char>(b);
            if (upper[c] != c)
                throw Error(context + show(b, a.codePage) + " folds onto " + show(static_cast<char>(upper[c]), a.codePage) +
                            " and so cannot be sorted on its own");
        }
    }
    // The program picks a table by a font's character set; its code page must
    // be the one the table's letters were written in.
    for (int charset : {0, 1, 162, 186, 204, 238}) {
        int t = CharacterTables::tableOfCharset(charset);
        int expected = CodePage::codePageOfCharset(charset);
        for (int mine : a.tables)
            if (mine == t && a.codePage != expected)
                throw Error(context + "table " + std::to_string(t) + " serves character set " + std::to_string(charset) +
                            ", whose code page is " + std::to_string(expected));
    }
}

std::string render(const std::vector<Alphabet>& alphabets) {
    std::string out;
    for (const Alphabet& a : alphabets) {
        for (int t : a.tables) {
            out += "up " + std::to_string(t) + "\n";
            for (const Unit& u : a.units)
                for (char f : u.folds)
                    if (f != u.bytes[0]) out += std::string{f, ' ', u.bytes[0], '\n'};
            out += "/up\nsr " + std::to_string(t) + "\n";
            for (const Unit& u : a.units) out += u.bytes + "\n";
            out += "/sr\n";
        }
    }
    return out;
}

// Written beside the target and renamed over it, so that an interrupted build
// never leaves a half file that a later build would take as up to date.
void writeFile(const std::filesystem::path& path, const std::string& data) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << data;
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw Error("cannot write " + temporary.string());
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw Error("cannot replace " + path.string());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make-upchar INPUT OUTPUT\n";
        return 1;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw Error("cannot open the file");
        std::vector<Alphabet> alphabets = parse(in);
        for (const Alphabet& a : alphabets) check(a);
        writeFile(argv[2], render(alphabets));
    } catch (const std::exception& e) {
        std::cerr << "make-upchar: " << argv[1] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

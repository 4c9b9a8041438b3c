#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <expat.h>

#include "core/dictionary/DictionaryFile.h"
#include "TextImport.h"

namespace trelvo {

// Reads the concept entries of a termbase in UTF-8 from the events of a
// streaming parser, as the file's pieces arrive: nothing of an entry is kept
// but the texts it may give, so that memory holds a piece and one entry
// however large the file. See readTbx for what an entry gives.
class TermbaseReader {
public:
    TermbaseReader(const DictionaryHeader& header, const PairSink& sink, ImportReading& found);
    TermbaseReader(const TermbaseReader&) = delete;
    TermbaseReader& operator=(const TermbaseReader&) = delete;
    ~TermbaseReader();

    // The next piece of the file in UTF-8 (the parser is told so, whatever
    // the declaration says: the caller has converted it); last when no piece
    // follows. False once the file proved no XML, with found's error set, or
    // once the sink stopped.
    bool read(std::string_view piece, bool last);

private:
    // Where an element stands within its entry.
    enum class Place : unsigned char {
        outside,       // outside the entry's language sections
        section,       // in a language section that is a child of the entry
        innerSection,  // in a language section inside such a one
        elsewhere,     // in a language section deeper in the entry
    };
    enum class Kind : unsigned char { entry, other, term, definition, note, status };
    struct Open {
        Kind kind = Kind::other;
        Place place = Place::outside;
        signed char side = -1;      // of the language section it is in: 0, 1, or -1 for another language
        bool termLanguage = false;  // in the entry's first section of language 0
        bool withdrawnBelow = false;
        std::size_t entry = 0;  // its entry, in entries_
        std::size_t text = 0;   // its text, in texts_, for the kinds that collect one
        std::vector<std::string> terms[2];  // the texts of the terms below it, to keep unless a status withdraws them
    };
    struct Entry {
        std::size_t element = 0;  // its own element, in open_
        std::size_t slot = 0;     // its place among the outermost entry's entries, in document order
        bool termLanguageSeen = false;
        std::vector<std::string> terms[2];
        std::string termDefinition, conceptDefinition, conceptNote, languageNote;
    };
    struct Pair {
        std::string term, translation, note;
    };

    static void started(void* data, const XML_Char* name, const XML_Char** attributes);
    static void ended(void* data, const XML_Char* name);
    static void text(void* data, const XML_Char* text, int length);
    void start(std::string_view name, const XML_Char** attributes);
    void end();
    void endEntry();
    std::string kept(std::string_view utf8, int codePage);
    static std::string parseError(XML_Parser parser);

    XML_Parser parser_;
    const PairSink& sink_;
    ImportReading& found_;
    const std::string codes_[2];
    const int codePages_[2];
    std::set<std::string, std::less<>> left_;
    // The open elements of the outermost entry and inside it, the open
    // entries (the outermost first) and the texts being collected: the first
    // so many of each, the rest kept with their room for the next.
    std::vector<Open> open_;
    std::vector<Entry> entries_;
    std::vector<std::string> texts_;
    std::size_t openCount_ = 0, entryCount_ = 0, textCount_ = 0;
    std::vector<std::vector<Pair>> slots_;  // the pairs of each entry in the outermost one, given when it ends
    std::size_t slotCount_ = 0;
    std::string converted_;  // reused by kept
    bool going_ = true;
};

}  // namespace trelvo

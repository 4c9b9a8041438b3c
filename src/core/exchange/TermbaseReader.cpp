#include "TermbaseReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/dictionary/CodePage.h"
#include "LanguageCodes.h"

namespace trelvo {

namespace {

// The name without its prefix: "tbx:term" is a term too.
std::string_view localName(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == name.npos ? name : name.substr(colon + 1);
}

std::string_view attribute(const XML_Char** attributes, std::string_view name) {
    for (; attributes[0]; attributes += 2)
        if (name == attributes[0]) return attributes[1];
    return {};
}

bool isLanguageSection(std::string_view name) { return name == "langSet" || name == "langSec"; }

}  // namespace

TermbaseReader::TermbaseReader(const DictionaryHeader& header, const PairSink& sink, ImportReading& found)
    : parser_(XML_ParserCreate("UTF-8")), sink_(sink), found_(found),
      codes_{languageCode(header, 0), languageCode(header, 1)},
      codePages_{CodePage::codePageOfCharset(header.languageCharset[0]),
                 CodePage::codePageOfCharset(header.languageCharset[1])} {
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &TermbaseReader::started, &TermbaseReader::ended);
}

TermbaseReader::~TermbaseReader() { XML_ParserFree(parser_); }

bool TermbaseReader::read(std::string_view piece, bool last) {
    const bool parsed = XML_Parse(parser_, piece.data(), static_cast<int>(piece.size()), last ? XML_TRUE : XML_FALSE) ==
                        XML_STATUS_OK;
    if (!parsed && going_) found_.error = parseError(parser_);
    going_ = going_ && parsed;
    return going_;
}

void TermbaseReader::started(void* data, const XML_Char* name, const XML_Char** attributes) {
    static_cast<TermbaseReader*>(data)->start(localName(name), attributes);
}

void TermbaseReader::ended(void* data, const XML_Char*) {
    auto* self = static_cast<TermbaseReader*>(data);
    if (self->openCount_ > 0) self->end();
}

void TermbaseReader::text(void* data, const XML_Char* text, int length) {
    auto* self = static_cast<TermbaseReader*>(data);
    for (std::size_t i = 0; i < self->textCount_; ++i) self->texts_[i].append(text, static_cast<std::size_t>(length));
}

void TermbaseReader::start(std::string_view name, const XML_Char** attributes) {
    const bool isEntry = name == "termEntry" || name == "conceptEntry";
    if (openCount_ == 0 && !isEntry) return;  // outside entries nothing counts
    if (openCount_ == open_.size()) open_.emplace_back();
    Open& element = open_[openCount_];
    element.kind = Kind::other;
    element.withdrawnBelow = false;
    element.terms[0].clear();
    element.terms[1].clear();
    if (isEntry) {
        if (entryCount_ == entries_.size()) entries_.emplace_back();
        Entry& entry = entries_[entryCount_];
        entry.element = openCount_;
        entry.slot = slotCount_;
        entry.termLanguageSeen = false;
        for (auto* text : {&entry.termDefinition, &entry.conceptDefinition, &entry.conceptNote, &entry.languageNote})
            text->clear();
        entry.terms[0].clear();
        entry.terms[1].clear();
        if (slotCount_ == slots_.size()) slots_.emplace_back();
        slots_[slotCount_++].clear();
        element.kind = Kind::entry;
        element.place = Place::outside;
        element.side = -1;
        element.termLanguage = false;
        element.entry = entryCount_++;
        ++openCount_;
        return;
    }
    const Open& parent = open_[openCount_ - 1];
    element.entry = parent.entry;
    element.side = parent.side;
    element.termLanguage = parent.termLanguage;
    element.place = parent.place;
    const bool section = isLanguageSection(name);
    if (parent.kind == Kind::entry) {
        if (section) {
            Entry& entry = entries_[element.entry];
            const std::string_view lang = attribute(attributes, "xml:lang");
            element.place = Place::section;
            element.side = sameLanguage(lang, codes_[0]) ? 0 : sameLanguage(lang, codes_[1]) ? 1 : -1;
            element.termLanguage = element.side == 0 && !entry.termLanguageSeen;
            entry.termLanguageSeen = entry.termLanguageSeen || element.side == 0;
            if (element.side < 0 && left_.emplace(lang).second) found_.leftLanguages.emplace_back(lang);
        }
    } else if (section) {
        element.place = parent.place == Place::outside ? Place::elsewhere : parent.place == Place::section
                                                                             ? Place::innerSection
                                                                             : parent.place;
    }
    const bool ours = element.side >= 0 && (element.place == Place::section || element.place == Place::innerSection);
    const std::string_view type = attribute(attributes, "type");
    if (name == "term" && ours) element.kind = Kind::term;
    else if (name == "descrip" && type == "definition") element.kind = Kind::definition;
    else if (name == "note") element.kind = Kind::note;
    else if ((name == "termNote" || name == "admin") &&
             (type == "administrativeStatus" || type == "normativeAuthorization"))
        element.kind = Kind::status;
    if (element.kind != Kind::other) {
        if (textCount_ == 0) XML_SetCharacterDataHandler(parser_, &TermbaseReader::text);
        if (textCount_ == texts_.size()) texts_.emplace_back();
        texts_[textCount_].clear();
        element.text = textCount_++;
    }
    ++openCount_;
}

void TermbaseReader::end() {
    Open& element = open_[--openCount_];
    Entry& entry = entries_[element.entry];
    // The terms below it, now that it is known whether a status withdraws them.
    for (int side = 0; side < 2; ++side)
        for (const std::string& term : element.terms[side]) {
            if (element.withdrawnBelow) found_.withdrawnTerms += !importedText(term).empty();
            else if (std::string converted = kept(term, codePages_[side]); !converted.empty())
                entry.terms[side].push_back(std::move(converted));
        }
    if (element.kind == Kind::entry) return endEntry();
    if (element.kind == Kind::other) return;
    std::string& text = texts_[--textCount_];
    if (textCount_ == 0) XML_SetCharacterDataHandler(parser_, nullptr);
    auto first = [&text](std::string& kept) {
        if (kept.empty()) kept = text;
    };
    switch (element.kind) {
        case Kind::term: open_[openCount_ - 1].terms[element.side].push_back(text); break;
        case Kind::definition:
            if (element.place == Place::outside) first(entry.conceptDefinition);
            else if (element.place == Place::section && element.termLanguage) first(entry.termDefinition);
            break;
        case Kind::note:
            if (element.place == Place::outside) first(entry.conceptNote);
            else if (element.place == Place::section && element.side >= 0) first(entry.languageNote);
            break;
        case Kind::status: {
            for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (text.find("deprecated") != text.npos || text.find("superseded") != text.npos ||
                text.find("obsolete") != text.npos)
                for (std::size_t i = entry.element; i < openCount_; ++i) open_[i].withdrawnBelow = true;
            break;
        }
        default: break;
    }
}

void TermbaseReader::endEntry() {
    Entry& entry = entries_[--entryCount_];
    // An outermost entry without entries inside, as nearly all are, gives its
    // pairs at once; else they wait for the outermost one to end.
    const bool alone = entryCount_ == 0 && slotCount_ == 1;
    auto give = [&](std::string_view term, std::string_view translation, std::string_view note) {
        if (alone) going_ = going_ && sink_(term, translation, note);
        else slots_[entry.slot].push_back({std::string(term), std::string(translation), std::string(note)});
    };
    if (!entry.terms[0].empty()) {
        const std::string* notes[] = {&entry.termDefinition, &entry.conceptDefinition, &entry.conceptNote,
                                      &entry.languageNote};
        const std::string* note = *std::find_if(std::begin(notes), std::end(notes) - 1,
                                                [](const std::string* text) { return !text->empty(); });
        const std::string kept = this->kept(*note, CodePage::headerCodePage);
        const std::string_view firstTranslation = entry.terms[1].empty() ? std::string_view() : entry.terms[1][0];
        for (const std::string& term : entry.terms[0]) give(term, firstTranslation, kept);
        for (std::size_t i = 1; i < entry.terms[1].size(); ++i) give(entry.terms[0][0], entry.terms[1][i], kept);
    }
    if (entryCount_ > 0) return;
    // The outermost entry has ended: the pairs of the entries in it go to
    // the sink in the order the entries began.
    for (std::size_t slot = 0; slot < slotCount_ && !alone; ++slot)
        for (const Pair& pair : slots_[slot])
            if (going_) going_ = sink_(pair.term, pair.translation, pair.note);
    slotCount_ = 0;
    if (!going_) XML_StopParser(parser_, XML_FALSE);
}

std::string TermbaseReader::kept(std::string_view utf8, int codePage) {
    // The parser gives valid UTF-8, converted in one pass: each '?' more than
    // the text held is a character the code page lacks.
    CodePage::fromUtf8(utf8, codePage, converted_);
    found_.replacedCharacters += static_cast<std::size_t>(std::count(converted_.begin(), converted_.end(), '?') -
                                                          std::count(utf8.begin(), utf8.end(), '?'));
    return importedText(converted_);
}

// The parser's failure in Czech, with where in the file it happened.
std::string TermbaseReader::parseError(XML_Parser parser) {
    const char* what = "soubor není platné XML";
    switch (XML_GetErrorCode(parser)) {
        case XML_ERROR_TAG_MISMATCH: what = "koncová značka neodpovídá počáteční"; break;
        case XML_ERROR_NO_ELEMENTS: what = "soubor končí dřív, než se uzavřou všechny značky"; break;
        case XML_ERROR_INVALID_TOKEN:
        case XML_ERROR_UNCLOSED_TOKEN:
        case XML_ERROR_SYNTAX: what = "chybná značka"; break;
        case XML_ERROR_DUPLICATE_ATTRIBUTE: what = "chybný atribut"; break;
        case XML_ERROR_UNDEFINED_ENTITY: what = "neznámá entita"; break;
        case XML_ERROR_JUNK_AFTER_DOC_ELEMENT: what = "text za koncem dokumentu"; break;
        case XML_ERROR_UNKNOWN_ENCODING:
        case XML_ERROR_INCORRECT_ENCODING: what = "nepodporované kódování"; break;
        default: break;
    }
    return std::string(what) + " na řádku " + std::to_string(XML_GetCurrentLineNumber(parser)) +
           ", ve sloupci " + std::to_string(XML_GetCurrentColumnNumber(parser) + 1);
}

}  // namespace trelvo

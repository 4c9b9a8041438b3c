#include "TbxFormat.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <expat.h>
#include <pugixml.hpp>
#include <set>
#include <sstream>

#include "LanguageCodes.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryEntry.h"

namespace trelvo {

namespace {

const char* originOf(std::uint32_t flags) {
    switch (flags & 0xFF) {
        case efImported: return "imported";
        case efUserModified: return "user";
        default: return "delivered";
    }
}

struct Names {
    const char* entry;
    const char* language;
    const char* termHolder;
};

constexpr Names names2008{"termEntry", "langSet", "tig"};
constexpr Names names2019{"conceptEntry", "langSec", "termSec"};

// XML 1.0 has no place for the control characters other than TAB, LF and
// CR, not even as references: a parser refuses the whole file over one. They
// become U+FFFD, so that the loss shows; a text from a code page holds no
// other character XML forbids.
bool forbiddenInXml(char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

std::string xmlText(std::string_view utf8) {
    constexpr std::string_view replacement = "\xEF\xBF\xBD";
    std::string allowed;
    allowed.reserve(utf8.size());
    for (char c : utf8) {
        if (forbiddenInXml(c))
            allowed += replacement;
        else
            allowed += c;
    }
    return allowed;
}

pugi::xml_node addText(pugi::xml_node parent, const char* name, const std::string& utf8) {
    pugi::xml_node child = parent.append_child(name);
    pugi::xml_node text = child.append_child(pugi::node_pcdata);
    if (std::any_of(utf8.begin(), utf8.end(), forbiddenInXml))
        text.set_value(xmlText(utf8).c_str());
    else
        text.set_value(utf8.c_str());
    return child;
}

// The name without its prefix: "tbx:term" is a term too.
std::string_view localName(pugi::xml_node node) {
    const std::string_view name = node.name();
    const std::size_t colon = name.rfind(':');
    return colon == name.npos ? name : name.substr(colon + 1);
}

bool isEntry(pugi::xml_node node) {
    const std::string_view name = localName(node);
    return node.type() == pugi::node_element && (name == "termEntry" || name == "conceptEntry");
}

// The node after node in document order within top, not entering the
// children of node when skipChildren; a null node at the end. Walks of this
// kind need no stack, however deep the file nests.
pugi::xml_node nextInside(pugi::xml_node node, pugi::xml_node top, bool skipChildren = false) {
    if (!skipChildren && node.first_child()) return node.first_child();
    for (; node && node != top; node = node.parent())
        if (node.next_sibling()) return node.next_sibling();
    return {};
}

// Calls found with each element below top whose local name is one of names,
// in document order, until it returns false. Concept entries nested in top
// are left to their own reading, so that no part of the file is read once
// for every entry around it.
template <typename Found>
void forEachBelow(pugi::xml_node top, std::initializer_list<std::string_view> names, Found found) {
    for (pugi::xml_node node = top.first_child(); node;) {
        const bool nested = isEntry(node);
        if (!nested && node.type() == pugi::node_element &&
            std::find(names.begin(), names.end(), localName(node)) != names.end() && !found(node))
            return;
        node = nextInside(node, top, nested);
    }
}

// All the text inside node, markup inside it left out: "point <hi>machine</hi>"
// is "point machine".
std::string textOf(pugi::xml_node node) {
    std::string text;
    for (pugi::xml_node inner = node.first_child(); inner; inner = nextInside(inner, node))
        if (inner.type() == pugi::node_pcdata || inner.type() == pugi::node_cdata) text += inner.value();
    return text;
}

bool isLanguageSection(pugi::xml_node node) {
    const std::string_view name = localName(node);
    return name == "langSet" || name == "langSec";
}

bool isDefinition(pugi::xml_node node) {
    return localName(node) == "descrip" && std::string_view(node.attribute("type").value()) == "definition";
}

// The first element below top, outside its language sections, that is.
template <typename Is>
pugi::xml_node firstOutsideLanguages(pugi::xml_node top, Is is) {
    for (pugi::xml_node node = top.first_child(); node;) {
        const bool skip = isEntry(node) || isLanguageSection(node);
        if (!skip && node.type() == pugi::node_element && is(node) && !textOf(node).empty()) return node;
        node = nextInside(node, top, skip);
    }
    return {};
}

// The note of an entry: the definition in the term's language, else the
// concept's, else a note of the concept or of the dictionary's languages. A
// subject field or another language's definition says nothing of the pair.
std::string noteOf(pugi::xml_node entry, pugi::xml_node termLanguage, const std::vector<pugi::xml_node>& ours) {
    if (termLanguage)
        if (pugi::xml_node definition = firstOutsideLanguages(termLanguage, isDefinition)) return textOf(definition);
    if (pugi::xml_node definition = firstOutsideLanguages(entry, isDefinition)) return textOf(definition);
    auto isNote = [](pugi::xml_node node) { return localName(node) == "note"; };
    if (pugi::xml_node note = firstOutsideLanguages(entry, isNote)) return textOf(note);
    for (pugi::xml_node language : ours)
        if (pugi::xml_node note = firstOutsideLanguages(language, isNote)) return textOf(note);
    return {};
}

// True when the term's status says it is no longer to be used.
bool isWithdrawn(pugi::xml_node term) {
    bool withdrawn = false;
    forEachBelow(term.parent(), {"termNote", "admin"}, [&withdrawn](pugi::xml_node node) {
        const std::string_view type = node.attribute("type").value();
        if (type != "administrativeStatus" && type != "normativeAuthorization") return true;
        std::string status = textOf(node);
        for (char& c : status) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        withdrawn = status.find("deprecated") != status.npos || status.find("superseded") != status.npos ||
                    status.find("obsolete") != status.npos;
        return !withdrawn;
    });
    return withdrawn;
}


}  // namespace

namespace {

// Collects what pugixml prints and hands it on in pieces of about a
// megabyte, so that a file of a million entries is never whole in memory.
class PieceWriter : public pugi::xml_writer {
public:
    explicit PieceWriter(const ByteSink& put) : put_(put) {}
    void write(const void* data, std::size_t size) override {
        pending_.append(static_cast<const char*>(data), size);
        if (pending_.size() >= pieceSize) flush();
    }
    bool flush() {
        going_ = going_ && (pending_.empty() || put_(pending_));
        pending_.clear();
        return going_;
    }
    bool going() const { return going_; }

private:
    static constexpr std::size_t pieceSize = std::size_t{1} << 20;
    const ByteSink& put_;
    std::string pending_;
    bool going_ = true;
};

constexpr std::string_view entriesMark = "<!--entries-->";

}  // namespace

bool writeTbx(const DictionaryStore& store, const ExportChoice& choice, TbxVersion version, const ByteSink& put) {
    const Names& n = version == TbxVersion::tbx2008 ? names2008 : names2019;
    const int sides[2] = {choice.sourceSide, 1 - choice.sourceSide};
    const std::string codes[2] = {languageCode(store.header, sides[0]), languageCode(store.header, sides[1])};
    const std::string title = CodePage::toUtf8(store.header.name, CodePage::headerCodePage);

    // The frame of the file is printed whole, the entries one at a time where
    // the mark in its body stands.
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root;
    pugi::xml_node fileDesc;
    if (version == TbxVersion::tbx2008) {
        root = document.append_child("martif");
        root.append_attribute("type") = "TBX";
        root.append_attribute("xml:lang") = codes[0].c_str();
        fileDesc = root.append_child("martifHeader").append_child("fileDesc");
    } else {
        root = document.append_child("tbx");
        root.append_attribute("type") = "TBX-Basic";
        root.append_attribute("style") = "dca";
        root.append_attribute("xml:lang") = codes[0].c_str();
        root.append_attribute("xmlns") = "urn:iso:std:iso:30042:ed-2";
        fileDesc = root.append_child("tbxHeader").append_child("fileDesc");
    }
    addText(fileDesc.append_child("titleStmt"), "title", title);
    addText(fileDesc.append_child("sourceDesc"), "p", "Trelvo");
    pugi::xml_node body = root.append_child("text").append_child("body");
    body.append_child(pugi::node_comment).set_value("entries");
    std::ostringstream framePrinted;
    document.save(framePrinted, "  ", pugi::format_indent, pugi::encoding_utf8);
    const std::string frame = framePrinted.str();
    const std::size_t mark = frame.find(entriesMark);
    const std::size_t lineStart = frame.rfind('\n', mark) + 1;

    PieceWriter out(put);
    out.write(frame.data(), lineStart);
    std::size_t number = 0;
    pugi::xml_document piece;
    for (std::uint32_t e : selectEntries(store, choice)) {
        piece.reset();
        pugi::xml_node entry = piece.append_child(n.entry);
        entry.append_attribute("id") = ("c" + std::to_string(++number)).c_str();
        addText(entry, "admin", originOf(store.entries.flags(e))).append_attribute("type") = "source";
        if (std::string_view note = store.entries.note(e); !note.empty())
            addText(entry, "note", CodePage::toUtf8(note, CodePage::headerCodePage));
        for (int k = 0; k < 2; ++k) {
            pugi::xml_node language = entry.append_child(n.language);
            language.append_attribute("xml:lang") = codes[k].c_str();
            const int codePage = CodePage::codePageOfCharset(store.header.languageCharset[sides[k]]);
            addText(language.append_child(n.termHolder), "term",
                    CodePage::toUtf8(store.entries.text(e, sides[k]), codePage));
        }
        entry.print(out, "  ", pugi::format_indent, pugi::encoding_utf8, 3);
        if (!out.going()) return false;
    }
    const std::size_t afterMark = frame.find('\n', mark) + 1;
    out.write(frame.data() + afterMark, frame.size() - afterMark);
    return out.flush();
}

std::string tbxOf(const DictionaryStore& store, const ExportChoice& choice, TbxVersion version) {
    std::string tbx;
    writeTbx(store, choice, version, [&tbx](std::string_view piece) {
        tbx += piece;
        return true;
    });
    return tbx;
}

namespace {

// Reads the concept entries of a termbase one at a time: expat walks the
// whole file without keeping it, and each outermost entry, once its end is
// reached, is parsed alone, so that memory holds one entry however large the
// file.
class EntryReader {
public:
    EntryReader(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink, ImportReading& found)
        : bytes_(bytes), sink_(sink), found_(found),
          codes_{languageCode(header, 0), languageCode(header, 1)},
          codePages_{CodePage::codePageOfCharset(header.languageCharset[0]),
                     CodePage::codePageOfCharset(header.languageCharset[1])} {}

    // encoding, when given, overrides the file's declaration.
    void read(const char* encoding) {
        XML_Parser parser = XML_ParserCreate(encoding);
        parser_ = parser;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &EntryReader::started, &EntryReader::ended);
        const bool parsed = XML_Parse(parser, bytes_.data(), static_cast<int>(bytes_.size()), XML_TRUE) ==
                            XML_STATUS_OK;
        if (!parsed && going_) found_.error = parseError(parser);
        XML_ParserFree(parser);
    }

private:
    static bool isEntryName(std::string_view name) {
        const std::size_t colon = name.rfind(':');
        if (colon != name.npos) name.remove_prefix(colon + 1);
        return name == "termEntry" || name == "conceptEntry";
    }
    static void started(void* data, const XML_Char* name, const XML_Char**) {
        auto* self = static_cast<EntryReader*>(data);
        if (isEntryName(name) && self->depth_++ == 0)
            self->start_ = static_cast<std::size_t>(XML_GetCurrentByteIndex(self->parser_));
    }
    static void ended(void* data, const XML_Char* name) {
        auto* self = static_cast<EntryReader*>(data);
        if (!isEntryName(name) || --self->depth_ != 0) return;
        const auto end = static_cast<std::size_t>(XML_GetCurrentByteIndex(self->parser_) +
                                                  XML_GetCurrentByteCount(self->parser_));
        self->readEntries(self->bytes_.substr(self->start_, end - self->start_));
        if (!self->going_) XML_StopParser(self->parser_, XML_FALSE);
    }

    // The parser's failure in Czech, with where in the file it happened.
    static std::string parseError(XML_Parser parser) {
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

    std::string kept(const std::string& utf8, int codePage) {
        return importedText(toCodePage(CodePage::utf8ToUtf16(utf8), codePage, found_.replacedCharacters));
    }

    // The entries of one outermost entry: itself and any nested in it.
    void readEntries(std::string_view text) {
        pugi::xml_document document;
        if (!document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) return;
        for (pugi::xml_node entry = document.first_child(); entry && going_; entry = nextInside(entry, document))
            if (isEntry(entry)) readEntry(entry);
    }

    void readEntry(pugi::xml_node entry) {
        std::vector<std::string> terms[2];
        pugi::xml_node termLanguage;
        std::vector<pugi::xml_node> ours;
        for (pugi::xml_node language : entry.children()) {
            if (!isLanguageSection(language)) continue;
            const std::string_view lang = language.attribute("xml:lang").value();
            int side = sameLanguage(lang, codes_[0]) ? 0 : sameLanguage(lang, codes_[1]) ? 1 : -1;
            if (side < 0) {
                if (left_.emplace(lang).second) found_.leftLanguages.emplace_back(lang);
                continue;
            }
            ours.push_back(language);
            if (side == 0 && !termLanguage) termLanguage = language;
            forEachBelow(language, {"term"}, [&](pugi::xml_node term) {
                const std::string text = textOf(term);
                if (isWithdrawn(term)) found_.withdrawnTerms += !importedText(text).empty();
                else if (std::string converted = kept(text, codePages_[side]); !converted.empty())
                    terms[side].push_back(std::move(converted));
                return true;
            });
        }
        if (terms[0].empty()) return;
        const std::string note = kept(noteOf(entry, termLanguage, ours), CodePage::headerCodePage);
        const std::string firstTranslation = terms[1].empty() ? std::string() : terms[1][0];
        for (std::size_t i = 0; i < terms[0].size() && going_; ++i) going_ = sink_(terms[0][i], firstTranslation, note);
        for (std::size_t i = 1; i < terms[1].size() && going_; ++i) going_ = sink_(terms[0][0], terms[1][i], note);
    }

    std::string_view bytes_;
    const PairSink& sink_;
    ImportReading& found_;
    const std::string codes_[2];
    const int codePages_[2];
    std::set<std::string, std::less<>> left_;
    XML_Parser parser_ = nullptr;
    std::size_t depth_ = 0, start_ = 0;
    bool going_ = true;
};

}  // namespace

void readTbx(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink, ImportReading* reading) {
    ImportReading found;
    // Entries are parsed alone, without the declaration: a file in UTF-16 is
    // made UTF-8 first, so that each entry's bytes are.
    std::string utf8;
    const char* encoding = nullptr;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
        bytes.starts_with(std::string_view("<\0", 2)) || bytes.starts_with(std::string_view("\0<", 2))) {
        utf8 = utf8TextOf(bytes, CodePage::headerCodePage, found.encoding);
        bytes = utf8;
        encoding = "UTF-8";
    }
    found.encoding = TextEncoding::utf8;
    EntryReader(bytes, header, sink, found).read(encoding);
    if (reading) *reading = found;
}

}  // namespace trelvo

#include "TbxFormat.h"

#include <algorithm>
#include <initializer_list>
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

bool named(pugi::xml_node node, const char* name) { return std::string_view(node.name()) == name; }

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

// The first note or description in the entry with a text, in document order.
std::string noteOf(pugi::xml_node entry) {
    std::string note;
    forEachBelow(entry, {"note", "descrip"}, [&note](pugi::xml_node node) {
        note = node.text().get();
        return note.empty();
    });
    return note;
}

}  // namespace

std::string tbxOf(const DictionaryStore& store, const ExportChoice& choice, TbxVersion version) {
    const Names& n = version == TbxVersion::tbx2008 ? names2008 : names2019;
    const int sides[2] = {choice.sourceSide, 1 - choice.sourceSide};
    const std::string codes[2] = {languageCode(store.header, sides[0]), languageCode(store.header, sides[1])};
    const std::string title = CodePage::toUtf8(store.header.name, CodePage::headerCodePage);

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

    std::size_t number = 0;
    for (std::uint32_t e : selectEntries(store, choice)) {
        pugi::xml_node entry = body.append_child(n.entry);
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
    }
    std::ostringstream out;
    document.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    return out.str();
}

void readTbx(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink, ImportReading* reading) {
    ImportReading found;
    found.encoding = TextEncoding::utf8;
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(bytes.data(), bytes.size());
    if (!parsed) {
        found.error = parsed.description();
        if (reading) *reading = found;
        return;
    }
    const std::string codes[2] = {languageCode(header, 0), languageCode(header, 1)};
    const int codePages[2] = {CodePage::codePageOfCharset(header.languageCharset[0]),
                              CodePage::codePageOfCharset(header.languageCharset[1])};
    auto kept = [&found](const char* utf8, int codePage) {
        return importedText(toCodePage(CodePage::utf8ToUtf16(utf8), codePage, found.replacedCharacters));
    };
    std::set<std::string, std::less<>> left;
    bool going = true;
    for (pugi::xml_node entry = document.first_child(); entry && going; entry = nextInside(entry, document)) {
        if (!isEntry(entry)) continue;
        std::vector<std::string> terms[2];
        for (pugi::xml_node language : entry.children()) {
            if (!named(language, "langSet") && !named(language, "langSec")) continue;
            const std::string_view lang = language.attribute("xml:lang").value();
            int side = sameLanguage(lang, codes[0]) ? 0 : sameLanguage(lang, codes[1]) ? 1 : -1;
            if (side < 0) {
                if (left.emplace(lang).second) found.leftLanguages.emplace_back(lang);
                continue;
            }
            forEachBelow(language, {"term"}, [&](pugi::xml_node term) {
                if (std::string text = kept(term.text().get(), codePages[side]); !text.empty())
                    terms[side].push_back(std::move(text));
                return true;
            });
        }
        if (terms[0].empty()) continue;
        std::size_t unused = 0;
        const std::string note =
            importedText(toCodePage(CodePage::utf8ToUtf16(noteOf(entry)), CodePage::headerCodePage, unused));
        const std::string firstTranslation = terms[1].empty() ? std::string() : terms[1][0];
        for (std::size_t i = 0; i < terms[0].size() && going; ++i) going = sink(terms[0][i], firstTranslation, note);
        for (std::size_t i = 1; i < terms[1].size() && going; ++i) going = sink(terms[0][0], terms[1][i], note);
    }
    if (reading) *reading = found;
}

}  // namespace trelvo

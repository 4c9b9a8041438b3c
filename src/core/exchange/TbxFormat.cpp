#include "TbxFormat.h"

#include <algorithm>
#include <cctype>
#include <pugixml.hpp>
#include <sstream>
#include <utility>

#include "ImportSource.h"
#include "LanguageCodes.h"
#include "TermbaseReader.h"
#include "Utf8Stream.h"
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

// How a termbase begins: the encoding of its text as iconv names it (empty
// for UTF-8) and the bytes of its mark.
struct XmlStart {
    std::string encoding;
    std::size_t markSize = 0;
};

// The mark tells UTF-8 or UTF-16; without one, the zero high byte of the
// first character ('<' or a blank) tells UTF-16 and its byte order; else the
// declaration names the encoding, UTF-8 without it.
XmlStart xmlStartOf(std::string_view start) {
    if (start.starts_with("\xEF\xBB\xBF")) return {"", 3};
    if (start.starts_with("\xFF\xFE")) return {"UTF-16LE", 2};
    if (start.starts_with("\xFE\xFF")) return {"UTF-16BE", 2};
    if (start.size() >= 2 && start[0] != '\0' && start[1] == '\0') return {"UTF-16LE", 0};
    if (start.size() >= 2 && start[0] == '\0' && start[1] != '\0') return {"UTF-16BE", 0};
    if (!start.starts_with("<?xml")) return {};
    const std::string_view declaration = start.substr(0, start.find("?>"));
    const std::size_t named = declaration.find("encoding");
    if (named == declaration.npos) return {};
    const std::size_t open = declaration.find_first_of("\"'", named);
    if (open == declaration.npos) return {};
    const std::size_t close = declaration.find(declaration[open], open + 1);
    if (close == declaration.npos) return {};
    std::string name(declaration.substr(open + 1, close - open - 1));
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // A declaration read byte by byte is in no UTF-16 or UTF-32, whatever it says.
    if (lower == "utf-8" || lower == "utf8" || lower.starts_with("utf-16") || lower.starts_with("utf-32")) return {};
    return {name, 0};
}

// A name from the file, shown without what could garble a message.
std::string printableName(std::string_view name) {
    std::string shown;
    for (char c : name.substr(0, 40))
        shown += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':' ? c : '?';
    return "\"" + shown + "\"";
}

}  // namespace

TermbaseStart termbaseStartOf(std::string_view start) {
    // Too short to tell a mark or UTF-16 from 8-bit text yet.
    if (start.size() < 2 || std::string_view("\xEF\xBB\xBF").starts_with(start)) return TermbaseStart::undecided;
    // The markup is ASCII: 8-bit text is looked at as it is, UTF-16 decoded.
    const XmlStart xml = xmlStartOf(start);
    start.remove_prefix(xml.markSize);
    std::string decoded;
    if (xml.encoding.starts_with("UTF-16")) {
        Utf8Stream converter;
        converter.open(xml.encoding);
        converter.convert(start, decoded, false);
        start = decoded;
    }
    // Declarations, comments and a document type may come before the root.
    for (;;) {
        const std::size_t first = start.find_first_not_of(" \t\r\n");
        if (first == start.npos) return TermbaseStart::undecided;
        if (start[first] != '<') return TermbaseStart::other;
        start.remove_prefix(first);
        std::string_view end;
        if (start.starts_with("<?")) end = "?>";
        else if (start.starts_with("<!--")) end = "-->";
        else if (start.starts_with("<!")) end = start.substr(0, start.find('>')).find('[') == start.npos ? ">" : "]>";
        if (end.empty()) break;
        const std::size_t past = start.find(end);
        if (past == start.npos) return TermbaseStart::undecided;
        start.remove_prefix(past + end.size());
    }
    start.remove_prefix(1);
    const std::size_t nameEnd = start.find_first_of(" \t\r\n/>");
    if (nameEnd == start.npos) return TermbaseStart::undecided;
    std::string_view name = start.substr(0, nameEnd);
    if (const std::size_t colon = name.rfind(':'); colon != name.npos) name.remove_prefix(colon + 1);
    return name == "martif" || name == "tbx" ? TermbaseStart::termbase : TermbaseStart::other;
}

bool isTermbase(std::string_view bytes) { return termbaseStartOf(bytes) == TermbaseStart::termbase; }

bool isTermbase(ImportSource& source) {
    for (std::size_t size = ImportSource::pieceSize;; size *= 2) {
        const std::string_view start = source.start(size);
        const TermbaseStart found = termbaseStartOf(start);
        if (found != TermbaseStart::undecided) return found == TermbaseStart::termbase;
        if (start.size() < size || size >= termbasePrologLimit) return false;
    }
}

void readTbx(ImportSource& source, const DictionaryHeader& header, const PairSink& sink, ImportReading* reading) {
    ImportReading found;
    found.encoding = TextEncoding::utf8;
    auto finish = [&] {
        if (reading) *reading = found;
    };
    // The parser is told the text is UTF-8: expat itself knows only a few
    // encodings, so a file in another one is converted as it streams by.
    const XmlStart start = xmlStartOf(source.start());
    Utf8Stream converter;
    if (!start.encoding.empty() && !converter.open(start.encoding)) {
        found.error = "nepodporované kódování " + printableName(start.encoding);
        return finish();
    }
    TermbaseReader reader(header, sink, found);
    std::string converted;
    std::size_t skipped = start.markSize;
    for (bool going = true; going;) {
        std::string_view piece = source.next();
        if (source.failed()) {  // not a fault of the file's XML, which ends early
            found.error = "soubor se nepodařilo dočíst";
            break;
        }
        const bool last = piece.empty();
        piece.remove_prefix(std::exchange(skipped, 0));
        if (!start.encoding.empty()) {
            converted.clear();
            converter.convert(piece, converted, last);
            piece = converted;
        }
        going = reader.read(piece, last) && !last;
    }
    finish();
}

void readTbx(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink, ImportReading* reading) {
    ImportSource source(bytes);
    readTbx(source, header, sink, reading);
}

}  // namespace trelvo

#include "TrelvoTool.h"

#include <time.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/AsciiText.h"
#include "core/dictionary/DictionaryBackups.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/WholeFile.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryIndex.h"
#include "core/dictionary/DictionaryLock.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/dictionary/InHalves.h"
#include "core/editing/PictureFile.h"
#include "core/exchange/Export.h"
#include "core/exchange/Synchronisation.h"
#include "core/exchange/TextImport.h"
#include "core/exchange/LanguageCodes.h"
#include "core/lookup/EntryFinder.h"
#include "core/lookup/HunspellStems.h"
#include "core/lookup/SearchRule.h"
#include "core/settings/ProgramFolder.h"
#include "core/settings/ProgramPaths.h"
#include "core/update/EditionPublishing.h"
#include "core/update/UpdateCheck.h"
#include "core/update/UpdateLocations.h"
#include "PrintableText.h"
#include "ToolArguments.h"
#include "ToolError.h"

namespace trelvo {

namespace {

int parseSide(const ToolArguments& args) {
    std::string side = args.get("side").value_or("0");
    if (side != "0" && side != "1") throw ToolError("--side must be 0 or 1");
    return side[0] - '0';
}

int parseInteger(const std::string& text, const std::string& what) {
    try {
        std::size_t used = 0;
        long value = std::stol(text, &used, 10);
        if (used == text.size() && value >= INT32_MIN && value <= INT32_MAX) return static_cast<int>(value);
    } catch (const std::exception&) {
    }
    throw ToolError("not a number for " + what + ": " + text);
}

std::string ui(const std::string& utf8) { return CodePage::fromUtf8(utf8, CodePage::headerCodePage); }
// A header's text as it is printed.
std::string uiText(std::string_view bytes) { return printable(CodePage::toUtf8(bytes, CodePage::headerCodePage)); }

DictionaryHeader loadDictionary(const std::string& path, EntryList& entries) {
    DictionaryHeader header;
    if (!readDictionaryFile(path, header, entries)) throw unreadableDictionary(path);
    return header;
}

CharacterTables loadTables(const ToolArguments& args) {
    std::string path = args.get("tables").value_or(ProgramFolder::ofRunningProgram().locate("upchar.dat"));
    CharacterTables tables;
    if (!tables.loadCharacterTables(path)) throw ToolError("cannot read character tables " + path);
    return tables;
}

std::string readBitmap(const std::string& path) {
    std::string bytes;
    switch (readPicture(path, bytes)) {
        case PictureFault::none: return bytes;
        case PictureFault::unreadable: throw ToolError("cannot read picture " + path + ": not a regular file");
        case PictureFault::tooLarge: throw ToolError("picture larger than 10000 bytes: " + path);
        case PictureFault::notBitmap: break;
    }
    throw ToolError("not a BMP picture: " + path);
}

std::string newDictionaryId() {
    std::mt19937 random(static_cast<std::uint32_t>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<unsigned> half(0, 0xFFFF);
    char id[9];
    std::snprintf(id, sizeof id, "%04X%04X", half(random), half(random));
    return id;
}

std::string checkedId(const std::string& id) {
    if (id.size() != 8 || id.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
        throw ToolError("--id needs 8 hexadecimal digits: " + id);
    return asciiUpper(id);
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// The printable UTF-8 of each byte of one code page: a byte always stands
// for one UTF-16 unit, so a text converts byte by byte without a UTF-16 copy.
class Utf8Bytes {
public:
    // A control character of the second set, from a byte the code page
    // leaves undefined, is printed as two escaped bytes: "\xC2\x81".
    // put() stores a whole slot for each byte, within that room.
    static constexpr std::size_t longest = 8;

    explicit Utf8Bytes(int codePage) {
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            const std::string shown = printable(CodePage::toUtf8(std::string_view(&byte, 1), codePage));
            std::copy(shown.begin(), shown.end(), bytes_[b].data());
            length_[b] = static_cast<std::uint8_t>(shown.size());
        }
    }

    // Writes the printable UTF-8 of text at out, which has room for longest
    // bytes per byte of text; returns the end. Eight plain ASCII bytes are
    // copied at once; otherwise every byte takes the same steps, as a text
    // mixes plain and accented letters unpredictably.
    char* put(std::string_view text, char* out) const {
        const char* in = text.data();
        const char* const end = in + text.size();
        while (end - in >= 8) {
            std::uint64_t eight;
            std::memcpy(&eight, in, 8);
            if (printedAsTheyAre(eight)) {
                std::memcpy(out, in, 8);
                out += 8;
                in += 8;
                continue;
            }
            for (const char* stop = in + 8; in != stop; ++in) out = putByte(*in, out);
        }
        while (in != end) out = putByte(*in++, out);
        return out;
    }

private:
    // Whether all eight bytes are ASCII that is printed as it is: none above
    // 0x7E, below 0x20, or a backslash. A byte's test may carry into the next
    // byte only past a byte that was found already.
    static bool printedAsTheyAre(std::uint64_t eight) {
        constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
        const std::uint64_t below20 = (eight - 0x20 * ones) & ~eight;
        const std::uint64_t notBackslash = eight ^ (0x5C * ones);
        const std::uint64_t backslash = (notBackslash - ones) & ~notBackslash;
        const std::uint64_t above7E = eight + 0x01 * ones;  // 0x7F and above reach the high bit
        return ((eight | below20 | backslash | above7E) & highs) == 0;
    }

    char* putByte(char c, char* out) const {
        const auto b = static_cast<std::uint8_t>(c);
        std::memcpy(out, bytes_[b].data(), longest);
        return out + length_[b];
    }

    std::array<std::array<char, longest>, 256> bytes_{};
    std::uint8_t length_[256]{};
};

// Output lines made in memory, to be written in large pieces.
class LineBlock {
public:
    // A block that is written whenever it holds about firstSize bytes
    // starts at that size; others start at one huge page, as growing by
    // doubling from nothing would fault in and copy every size on the way.
    explicit LineBlock(std::size_t firstSize = std::size_t{2} << 20) : firstSize_(firstSize) {}

    // Room for at least n bytes at the returned place; commit() takes them.
    char* room(std::size_t n) {
        if (bytes_.size() - used_ < n) bytes_.resize(std::max({2 * bytes_.size(), used_ + n, firstSize_}));
        return bytes_.data() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - bytes_.data()); }
    std::size_t size() const { return used_; }
    void clear() { used_ = 0; }
    void writeTo(std::ostream& out) const { out.write(bytes_.data(), static_cast<std::streamsize>(used_)); }

private:
    std::size_t firstSize_;
    LargeVector<char> bytes_;
    std::size_t used_ = 0;
};

// The texts to search: those given as arguments, then the lines of the list.
std::vector<std::string> searchTexts(const ToolArguments& a) {
    std::vector<std::string> texts(a.positional.begin() + 1, a.positional.end());
    if (auto list = a.get("from")) {
        std::string bytes;
        if (!readWholeFile(*list, bytes, searchListLimit))
            throw ToolError("cannot read " + *list + ": not a regular file, or larger than 1 GiB");
        std::istringstream file(std::move(bytes));
        for (std::string line; std::getline(file, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            texts.push_back(std::move(line));
        }
    }
    return texts;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of the process: on a busy machine a steadier figure
// than the time that passed.
double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

TrelvoTool::TrelvoTool(std::istream& in, std::ostream& out, std::ostream& err)
    : in_(in), out_(out), err_(err) {}

int TrelvoTool::run(const std::vector<std::string>& args) {
    // A command line the tool does not understand is answered with the usage.
    const ToolCommand* command = nullptr;
    bool optionsRead = false;
    try {
        if (args.empty()) throw ToolError("no command given");
        if (args[0] == "--help" || args[0] == "-h") {
            out_ << usageOf(commands());
            return 0;
        }
        for (const ToolCommand& c : commands())
            if (c.name == args[0]) command = &c;
        if (!command) throw ToolError("unknown command " + args[0]);
        const ToolArguments a(args, *command);
        optionsRead = true;
        if (a.flag("help")) {
            out_ << command->usage();
            return 0;
        }
        return (this->*command->run)(a);
    } catch (const ToolError& e) {
        err_ << "trelvo-tool: " << printable(e.what()) << "\n";
        if (!command) err_ << usageOf(commands());
        else if (!optionsRead) err_ << command->usage();
    } catch (const std::exception& e) {
        err_ << "trelvo-tool: " << printable(e.what()) << "\n";
    }
    return 1;
}

int TrelvoTool::info(const ToolArguments& a) {
    EntryList entries;
    DictionaryHeader h = loadDictionary(a.file(), entries);
    const std::string& idCode = h.idAndAccessCode;
    out_ << "name: " << uiText(h.name) << "\n";
    for (int k = 0; k < 2; ++k) {
        out_ << "language" << k << ": " << uiText(h.languageName[k]) << "\n";
        out_ << "charset" << k << ": " << h.languageCharset[k] << "\n";
    }
    out_ << "author: " << uiText(h.author) << "\n"
         << "version: " << uiText(h.version) << "\n"
         << "note: " << uiText(h.note) << "\n"
         << "updateStamp: " << uiText(h.updateStamp) << "\n"
         << "id: " << uiText(idCode.substr(0, 8)) << "\n"
         << "accessCode: " << (idCode.size() > 8 ? "set" : "none") << "\n";
    for (int k = 0; k < 2; ++k)
        out_ << "image" << k << ": " << (h.languageImage[k].empty() ? "none" : "present") << "\n";
    out_ << "entries: " << entries.size() << "\n";
    return 0;
}

int TrelvoTool::dump(const ToolArguments& a) {
    int side = parseSide(a);
    CharacterTables tables = loadTables(a);
    EntryList entries;
    DictionaryHeader h = loadDictionary(a.file(), entries);

    int table = CharacterTables::tableOfCharset(h.languageCharset[side]);
    const Utf8Bytes text0(CodePage::codePageOfCharset(h.languageCharset[0]));
    const Utf8Bytes text1(CodePage::codePageOfCharset(h.languageCharset[1]));
    const Utf8Bytes noteText(CodePage::headerCodePage);
    const LargeVector<std::uint32_t> order = DictionaryIndex::entryOrder(entries, side, tables, table);

    // The lines of the positions [from, to) into block.
    auto makeLines = [&](std::size_t from, std::size_t to, LineBlock& block) {
        block.clear();
        // Entries come in index order, scattered over the file's bytes: each
        // batch of them is asked for before its lines are written.
        for (std::size_t first = from; first < to; first += EntryList::prefetchBatch) {
            const std::size_t last = std::min(to, first + EntryList::prefetchBatch);
            entries.prefetch(order.data() + first, order.data() + last);
            for (std::size_t position = first; position < last; ++position) {
                const std::uint32_t n = order[position];
                const std::string_view term = entries.term(n), translation = entries.translation(n),
                                       note = entries.note(n);
                constexpr std::size_t separatorsAndFlags = 3 + 10 + 1;
                char* out = block.room((term.size() + translation.size() + note.size()) * Utf8Bytes::longest +
                                       separatorsAndFlags);
                out = text0.put(term, out);
                *out++ = '\t';
                out = text1.put(translation, out);
                *out++ = '\t';
                out = noteText.put(note, out);
                *out++ = '\t';
                out = std::to_chars(out, out + 10, entries.flags(n)).ptr;
                *out++ = '\n';
                block.commit(out);
            }
        }
    };
    // The lines are made in blocks, of a large dictionary two at once, and
    // written in their order.
    constexpr std::size_t linesPerBlock = std::size_t{1} << 14;
    std::array<LineBlock, 2> blocks;
    for (std::size_t from = 0; from < order.size(); from += 2 * linesPerBlock) {
        const std::size_t middle = std::min(order.size(), from + linesPerBlock);
        const std::size_t to = std::min(order.size(), middle + linesPerBlock);
        auto first = [&] { makeLines(from, middle, blocks[0]); };
        auto second = [&] { makeLines(middle, to, blocks[1]); };
        if (order.size() >= sharedFrom) {
            bothAtOnce(first, second);
        } else {
            first();
            second();
        }
        for (const LineBlock& block : blocks) block.writeTo(out_);
    }
    out_.flush();
    return out_.good() ? 0 : 1;
}

int TrelvoTool::make(const ToolArguments& a) {
    const std::string& path = a.file();
    DictionaryHeader h;
    h.name = ui(a.require("name"));
    h.languageName[0] = ui(a.require("lang0"));
    h.languageName[1] = ui(a.require("lang1"));
    h.languageCharset[0] = parseInteger(a.require("charset0"), "--charset0");
    h.languageCharset[1] = parseInteger(a.require("charset1"), "--charset1");
    h.author = ui(a.get("author").value_or(""));
    h.version = ui(a.get("version").value_or(""));
    h.note = ui(a.get("note").value_or(""));
    std::string id = a.get("id") ? checkedId(*a.get("id")) : newDictionaryId();
    h.idAndAccessCode = id + ui(a.get("code").value_or(""));
    if (auto stamp = a.get("update-stamp")) {
        if (!publicationTimeOfStamp(*stamp)) throw ToolError("--update-stamp needs YYYYMMDDHHMM: " + *stamp);
        h.updateStamp = *stamp;
    }
    for (int k = 0; k < 2; ++k)
        if (auto image = a.get("image" + std::to_string(k))) h.languageImage[k] = readBitmap(*image);

    int cp0 = CodePage::codePageOfCharset(h.languageCharset[0]);
    int cp1 = CodePage::codePageOfCharset(h.languageCharset[1]);
    EntryList entries;
    std::string line;
    std::size_t replaced = 0;
    auto inCodePage = [&replaced](const std::string& utf8, int codePage) {
        return toCodePage(CodePage::utf8ToUtf16(fromPrintable(utf8)), codePage, replaced);
    };
    for (int number = 1; std::getline(in_, line); ++number) {
        // A list saved by an editor with the mark of UTF-8: no part of the first term.
        if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        // Stopped at once, rather than holding the whole input to write nothing.
        if (entries.size() == dictionaryEntryLimit)
            throw ToolError("line " + std::to_string(number) + ": a dictionary holds at most " +
                            std::to_string(dictionaryEntryLimit) + " entries");
        std::vector<std::string> fields = splitTabs(line);
        if (fields.size() < 2 || fields.size() > 4)
            throw ToolError("line " + std::to_string(number) +
                            ": expected term<TAB>translation[<TAB>note[<TAB>flags]]");
        DictionaryEntry entry;
        // The escapes of a dump: its lines make the same dictionary again.
        entry.term() = inCodePage(fields[0], cp0);
        entry.translation() = inCodePage(fields[1], cp1);
        if (fields.size() > 2) entry.note() = inCodePage(fields[2], CodePage::headerCodePage);
        if (fields.size() > 3)
            entry.flags = static_cast<std::uint32_t>(parseInteger(fields[3], "flags on line " + std::to_string(number)));
        entries.append(entry);
    }
    // A run that is changing the dictionary finishes first; this one then replaces it.
    DictionaryLock lock;
    lockDictionary(lock, path);
    if (!writeDictionaryFile(h, entries, path)) throw unwritableDictionary(path);
    if (replaced > 0) err_ << "characters replaced by ?: " << replaced << "\n";
    return 0;
}

int TrelvoTool::key(const ToolArguments& a) {
    if (a.positional.size() != 1) throw ToolError("expected one TEXT");
    int charset = parseInteger(a.require("charset"), "--charset");
    CharacterTables tables = loadTables(a);
    std::string text = CodePage::fromUtf8(a.positional[0], CodePage::codePageOfCharset(charset));
    std::string k = tables.makeCollationKey(text, CharacterTables::tableOfCharset(charset));
    for (std::size_t i = 0; i < k.size(); ++i)
        out_ << (i ? " " : "") << static_cast<unsigned>(static_cast<unsigned char>(k[i]));
    out_ << "\n";
    return 0;
}

int TrelvoTool::search(const ToolArguments& a) {
    if (a.positional.empty()) throw ToolError("expected FILE and TEXT");
    const int firstSide = parseSide(a);
    CharacterTables tables = loadTables(a);
    const std::vector<std::string> texts = searchTexts(a);
    const auto opening = std::chrono::steady_clock::now();
    DictionaryStore store;
    if (!store.openFile(a.positional[0], tables)) throw unreadableDictionary(a.positional[0]);
    const double openSeconds = secondsSince(opening);
    Direction direction = Direction::of(store, firstSide);
    const std::string* typedNow = nullptr;
    // The searches of the texts a few ahead are taken a step at a time, one
    // step each time a text is searched, so that their waits for memory
    // overlap the work on this one. Their keys are made in the direction now
    // in force; a swap on the way only wastes a few steps.
    constexpr std::size_t textsPerStep = 4;
    constexpr std::size_t stepsAhead = DictionaryIndex::Lookup::allSteps;
    struct SearchAhead {
        std::size_t text = SIZE_MAX;
        std::string key;
        int side = 0;
        DictionaryIndex::Lookup lookup;
    };
    std::array<SearchAhead, stepsAhead * textsPerStep + 1> searchesAhead;
    // Text t in the code page of the side searched now, into bytes, whose
    // memory serves text after text.
    auto inCodePage = [&](std::size_t t, std::string& bytes) {
        const std::size_t side = static_cast<std::size_t>(direction.sourceSide);
        CodePage::fromUtf8(texts[t], CodePage::codePageOfCharset(store.header.languageCharset[side]), bytes);
    };
    std::size_t current = 0;  // the text being searched
    // Takes the step of text t that is stepsLeft steps from its search.
    auto stepAhead = [&](std::size_t t, std::size_t stepsLeft) {
        SearchAhead& a = searchesAhead[t % searchesAhead.size()];
        if (stepsLeft == stepsAhead) {
            a.text = t;
            a.side = direction.sourceSide;
            inCodePage(t, a.key);
            tables.makeCollationKey(a.key, direction.sourceTable, a.key);
            if (a.key.size() > CharacterTables::maxKeyLength) a.key.resize(CharacterTables::maxKeyLength);
            a.lookup = {};
        } else if (a.text != t) {
            return;  // the first texts: searched before their first step was due
        }
        store.indexes[static_cast<std::size_t>(a.side)].step(a.key, a.lookup);
    };
    auto lowerBound = [&](const DictionaryIndex& index, std::string_view key) {
        const SearchAhead& a = searchesAhead[current % searchesAhead.size()];
        if (a.text == current && a.lookup.steps == static_cast<int>(stepsAhead) &&
            &index == &store.indexes[static_cast<std::size_t>(a.side)] && a.key == key)
            return index.lowerBound(key, a.lookup);
        return index.lowerBound(key);
    };
    SearchContext context{store, tables, [&](int codePage) { return CodePage::fromUtf8(*typedNow, codePage); },
                          lowerBound};
    const std::array<Utf8Bytes, 2> shown{Utf8Bytes(CodePage::codePageOfCharset(store.header.languageCharset[0])),
                                         Utf8Bytes(CodePage::codePageOfCharset(store.header.languageCharset[1]))};
    // Written in pieces, so that the block's memory is reused, not grown:
    // fresh memory costs more here than the lines written into it.
    constexpr std::size_t linesWrittenFrom = std::size_t{1} << 16;
    LineBlock lines(2 * linesWrittenFrom);
    const auto searching = std::chrono::steady_clock::now();
    const double processorAtStart = processorSeconds();
    // The entries found are written when all texts are searched, so that the
    // texts of the ones a few lines ahead are fetched while one is written.
    struct Found {
        std::size_t position;
        int side;
    };
    std::vector<Found> found;
    found.reserve(texts.size());
    std::string typedBytes;
    // Each text searches from the direction the one before left, as typing does.
    for (current = 0; current < texts.size(); ++current) {
        for (std::size_t stepsLeft = stepsAhead; stepsLeft > 0; --stepsLeft)
            if (const std::size_t t = current + stepsLeft * textsPerStep; t < texts.size()) stepAhead(t, stepsLeft);
        typedNow = &texts[current];
        // The key made ahead serves unless a swap since changed the side;
        // findPosition leaves a key as it is.
        SearchAhead& ahead = searchesAhead[current % searchesAhead.size()];
        context.textIsKey = ahead.text == current && ahead.side == direction.sourceSide;
        if (!context.textIsKey) inCodePage(current, typedBytes);
        const SearchAnswer answer = findPosition(context, context.textIsKey ? ahead.key : typedBytes, direction);
        direction = answer.direction;
        found.push_back({answer.position, direction.sourceSide});
    }
    auto entryOf = [&](const Found& f) -> std::optional<std::uint32_t> {
        const DictionaryIndex& index = store.indexes[static_cast<std::size_t>(f.side)];
        if (f.position >= index.size()) return std::nullopt;
        return index.entryNumber(f.position);
    };
    // The entries found are scattered: each batch of them is asked for, its
    // entry numbers first, before its lines are written.
    std::array<std::uint32_t, EntryList::prefetchBatch> batch{};
    std::size_t batchEnd = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (i == batchEnd) {
            batchEnd = std::min(found.size(), i + batch.size());
            for (std::size_t j = i; j < batchEnd; ++j) {
                const DictionaryIndex& index = store.indexes[static_cast<std::size_t>(found[j].side)];
                if (found[j].position < index.size()) index.prefetchEntryNumber(found[j].position);
            }
            std::size_t numbers = 0;
            for (std::size_t j = i; j < batchEnd; ++j)
                if (auto n = entryOf(found[j])) batch[numbers++] = *n;
            store.entries.prefetch(batch.data(), batch.data() + numbers);
        }
        const int side = found[i].side, other = 1 - side;
        std::string_view source, target;
        if (auto n = entryOf(found[i])) {
            source = store.entries.text(*n, side);
            target = store.entries.text(*n, other);
        }
        constexpr std::size_t numbersAndSeparators = 20 + 1 + 1 + 1 + 1 + 1 + 1;
        char* out = lines.room((source.size() + target.size()) * Utf8Bytes::longest + numbersAndSeparators);
        out = std::to_chars(out, out + 20, found[i].position).ptr;
        *out++ = '\t';
        *out++ = static_cast<char>('0' + side);
        *out++ = '\t';
        out = shown[static_cast<std::size_t>(side)].put(source, out);
        *out++ = '\t';
        out = shown[static_cast<std::size_t>(other)].put(target, out);
        *out++ = '\n';
        lines.commit(out);
        if (lines.size() >= linesWrittenFrom) {
            lines.writeTo(out_);
            lines.clear();
        }
    }
    lines.writeTo(out_);
    out_.flush();
    const double searchSeconds = secondsSince(searching);
    const double searchProcessorSeconds = processorSeconds() - processorAtStart;
    if (a.flag("timing")) {
        const double count = texts.empty() ? 1.0 : static_cast<double>(texts.size());
        char line[200];
        std::snprintf(line, sizeof line,
                      "open: %.3f ms\nsearches: %zu in %.3f ms, %.3f us each (processor time %.3f us each)\n",
                      openSeconds * 1e3, texts.size(), searchSeconds * 1e3, searchSeconds * 1e6 / count,
                      searchProcessorSeconds * 1e6 / count);
        err_ << line;
    }
    return 0;
}

int TrelvoTool::find(const ToolArguments& a) {
    if (a.positional.empty() || (a.positional.size() < 2 && !a.get("from")))
        throw ToolError("expected FILE and QUERY, or --from LIST");
    const int limit = parseInteger(a.get("limit").value_or("20"), "--limit");
    if (limit < 0) throw ToolError("--limit must not be negative");
    // The words after FILE are one query, as typed into the search box.
    std::vector<std::string> queries;
    if (a.positional.size() > 1) {
        std::string query;
        for (std::size_t i = 1; i < a.positional.size(); ++i) query += (i > 1 ? " " : "") + a.positional[i];
        queries.push_back(std::move(query));
    }
    if (a.get("from")) {
        ToolArguments listOnly = a;
        listOnly.positional.resize(1);
        for (std::string& q : searchTexts(listOnly)) queries.push_back(std::move(q));
    }
    CharacterTables tables = loadTables(a);
    const auto opening = std::chrono::steady_clock::now();
    // The indexes serve only the order of ties: the entries' places in them
    // are all that is kept of them.
    DictionaryStore store;
    if (!store.openEntries(a.positional[0])) throw unreadableDictionary(a.positional[0]);
    const double openSeconds = secondsSince(opening);
    const auto preparing = std::chrono::steady_clock::now();
    std::array<std::shared_ptr<const WordStems>, 2> stems;
    std::array<int, 2> codePages{};
    std::array<std::vector<std::uint32_t>, 2> positions;
    for (std::size_t k = 0; k < 2; ++k) {
        stems[k] = HunspellStems::forLanguage(languageCode(store.header, static_cast<int>(k)));
        codePages[k] = CodePage::codePageOfCharset(store.header.languageCharset[k]);
        const LargeVector<std::uint32_t> order =
            DictionaryIndex::entryOrder(store.entries, static_cast<int>(k), tables, store.tableOf(static_cast<int>(k)));
        positions[k].resize(order.size());
        for (std::size_t p = 0; p < order.size(); ++p) positions[k][order[p]] = static_cast<std::uint32_t>(p);
    }
    const EntryFinder finder(std::shared_ptr<const EntryList>(&store.entries, [](const EntryList*) {}),
                             std::move(positions), codePages, stems);
    const double prepareSeconds = secondsSince(preparing);

    const std::array<int, 3> shown{codePages[0], codePages[1], CodePage::headerCodePage};
    const auto finding = std::chrono::steady_clock::now();
    std::string lines;
    for (const std::string& query : queries) {
        for (const EntryMatch& m : finder.find(query, static_cast<std::size_t>(limit)).matches) {
            for (int k = 0; k < 3; ++k) {
                lines += printable(CodePage::toUtf8(store.entries.text(m.entry, k), shown[static_cast<std::size_t>(k)]));
                lines += '\t';
            }
            lines += matchKindName(m.how);
            lines += '\n';
        }
        if (a.get("from")) lines += '\n';
        if (lines.size() > (std::size_t{1} << 20)) {
            out_ << lines;
            lines.clear();
        }
    }
    out_ << lines;
    out_.flush();
    if (a.flag("timing")) {
        const double findSeconds = secondsSince(finding);
        const double count = queries.empty() ? 1.0 : static_cast<double>(queries.size());
        char line[200];
        std::snprintf(line, sizeof line, "open: %.3f ms\nprepare: %.3f ms\nfinds: %zu in %.3f ms, %.3f us each\n",
                      openSeconds * 1e3, prepareSeconds * 1e3, queries.size(), findSeconds * 1e3,
                      findSeconds * 1e6 / count);
        err_ << line;
    }
    return 0;
}

namespace {

// The dictionary at path without indexes: a command changes the entries and
// saves them, or builds the one index it reads.
DictionaryStore openStore(const std::string& path) {
    DictionaryStore store;
    if (!store.openEntries(path)) throw unreadableDictionary(path);
    return store;
}

void save(DictionaryStore& store) {
    if (!store.saveDictionary()) throw unwritableDictionary(store.header.filePath);
}

}  // namespace

void TrelvoTool::lockDictionary(DictionaryLock& lock, const std::string& path, DictionaryLock::Access access) {
    if (lock.lock(path, std::chrono::milliseconds(0), access) != DictionaryLock::Outcome::busy) return;
    err_ << "trelvo-tool: waiting for another program writing " << path << "\n";
    err_.flush();
    lock.lock(path, DictionaryLock::waitForever, access);
}

void TrelvoTool::backUp(const std::string& path) {
    const BackupResult backup = backUpDictionary(path, std::time(nullptr));
    if (backup.outcome != BackupOutcome::failed) return;
    err_ << "trelvo-tool: no backup of " << path << " could be made in " << backupFolderOf(path) << ": "
         << std::strerror(backup.error) << "; saving all the same\n";
}

int TrelvoTool::importText(const ToolArguments& a) {
    if (a.positional.size() != 2) throw ToolError("expected FILE and TEXTFILE");
    CharacterTables tables = loadTables(a);
    DictionaryLock lock;
    lockDictionary(lock, a.positional[0]);
    DictionaryStore store = openStore(a.positional[0]);
    RegularFile file;
    if (!file.open(a.positional[1], wordListLimit))
        throw ToolError("cannot read " + a.positional[1] + ": not a regular file, or larger than 1 GiB");
    ImportResult result;
    {
        ImportSource source(file);  // let go before the save, which needs the room
        result = importFile(store, tables, a.positional[1], source, {});
    }
    if (result.outcome == ImportOutcome::unreadable)
        throw ToolError("cannot read " + a.positional[1] + ": " + result.reading.error);
    if (result.outcome == ImportOutcome::tooLarge)
        throw ToolError("cannot import " + a.positional[1] + ": the dictionary would pass " +
                        std::to_string(store.limits.entryCount) + " entries or " +
                        std::to_string(store.limits.fileSize) + " bytes; nothing changed");
    if (result.added > largeImport) backUp(store.header.filePath);
    save(store);
    for (const std::string& left : result.reading.leftLanguages) out_ << "language left out: " << printable(left) << "\n";
    if (result.reading.withdrawnTerms > 0)
        out_ << "deprecated, superseded or obsolete terms left out: " << result.reading.withdrawnTerms << "\n";
    out_ << "added: " << result.added << ", already present: " << result.read - result.added
         << ", lines read: " << result.read << ", characters replaced by ?: " << result.reading.replacedCharacters
         << "\n";
    return 0;
}

int TrelvoTool::exportEntries(const ToolArguments& a) {
    if (a.positional.size() != 2) throw ToolError("expected FILE and OUT");
    static const std::map<std::string, ExportFormat> formats = {
        {"txt", ExportFormat::text}, {"utf8", ExportFormat::utf8Text},      {"csv", ExportFormat::csv},
        {"tbx", ExportFormat::tbx2008}, {"tbx2019", ExportFormat::tbx2019}, {"dsl", ExportFormat::dictionary},
        {"xlsx", ExportFormat::xlsx}};
    const auto format = formats.find(a.get("format").value_or("txt"));
    if (format == formats.end()) throw ToolError("--format must be txt, utf8, csv, tbx, tbx2019, xlsx or dsl");
    // Under any name (a link, another path) the dictionary itself would be
    // replaced by its own export.
    const FileIdentity dictionary = FileIdentity::of(a.positional[0]);
    const FileIdentity output = FileIdentity::of(a.positional[1]);
    if (dictionary.exists && output.exists && dictionary.device == output.device && dictionary.inode == output.inode)
        throw ToolError(a.positional[1] + " is the dictionary " + a.positional[0] + " itself; nothing written");
    CharacterTables tables = loadTables(a);
    // Read while no other program is saving it.
    DictionaryLock lock;
    lockDictionary(lock, a.positional[0], DictionaryLock::Access::read);
    DictionaryStore store = openStore(a.positional[0]);
    ExportChoice choice;
    choice.sourceSide = parseSide(a);
    const LargeVector<std::uint32_t> order =
        DictionaryIndex::entryOrder(store.entries, choice.sourceSide, tables, store.tableOf(choice.sourceSide));
    choice.order = &order;
    choice.translatedOnly = a.flag("translated-only");
    if (auto notes = a.lists.find("notes"); notes != a.lists.end()) {
        choice.byFilter = true;
        for (const std::string& note : notes->second) choice.notes.push_back(ui(note));
    }
    const std::optional<std::size_t> exported =
        trelvo::exportEntries(store, choice, format->second, a.positional[1], [] {
            static std::mt19937 random(
                static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
            return static_cast<std::uint32_t>(random());
        });
    if (!exported) throw ToolError("cannot write " + a.positional[1]);
    out_ << "exported: " << *exported << "\n";
    return 0;
}

int TrelvoTool::sync(const ToolArguments& a) {
    if (a.positional.size() != 2) throw ToolError("expected FILE and OTHER");
    CharacterTables tables = loadTables(a);
    DictionaryLock lock;
    lockDictionary(lock, a.positional[0]);
    DictionaryStore store = openStore(a.positional[0]);
    const bool importOnly = a.flag("import-only-ok");
    const bool dryRun = a.flag("dry-run");
    auto said = [](SyncOutcome outcome, const SyncCounts& counts) {
        return std::string(outcome == SyncOutcome::synchronised ? "synchronised" : "imported") +
               ", replaced: " + std::to_string(counts.replaced) + ", kept: " + std::to_string(counts.kept) +
               ", added: " + std::to_string(counts.added) + "\n";
    };
    SyncCounts counts;
    bool shown = false;
    const SyncOutcome outcome = synchronise(
        store, tables, a.positional[1], [importOnly] { return importOnly; }, {}, &counts,
        [&](SyncOutcome planned, const SyncCounts& plannedCounts) {
            if (dryRun) out_ << "would be " << said(planned, plannedCounts);
            shown = dryRun;
            return !dryRun;
        });
    switch (outcome) {
        case SyncOutcome::synchronised:
        case SyncOutcome::imported:
            backUp(store.header.filePath);
            save(store);
            out_ << said(outcome, counts);
            return 0;
        case SyncOutcome::declined:
            if (shown) return 0;  // the dry run said what would happen
            err_ << "trelvo-tool: " << a.positional[1]
                 << " is another dictionary; --import-only-ok imports its entries\n";
            return 3;
        case SyncOutcome::tooLarge:
            throw ToolError("cannot merge " + a.positional[1] + ": the dictionary would be larger than " +
                            dictionaryLimits() + "; nothing changed");
        case SyncOutcome::unreadable:
        case SyncOutcome::noDictionary:
            break;
    }
    throw unreadableDictionary(a.positional[1]);
}

int TrelvoTool::checkUpdate(const ToolArguments& a) {
    CharacterTables tables = loadTables(a);
    // Read without the lock for what the check needs: a save replaces the
    // file whole, so the read sees one edition or the other.
    DictionaryStore store = openStore(a.file());
    const bool yes = a.flag("yes");
    // The download goes where the program puts it: beside the tool when that is
    // the program folder, else in the user's folder.
    const ProgramFolder programFolder = ProgramFolder::ofRunningProgram();
    const std::string folder = programFolder.prepare();
    std::vector<std::string> locations =
        readUpdateLocations(a.get("locations").value_or(programFolder.locate("net.ini")));
    // The keys and the demand for signatures the program itself would use,
    // unless the command names others.
    SignaturePolicy policy = readSignaturePolicy(a.get("trusted-keys").value_or(programFolder.locate(trustedKeysName)),
                                                 programFolder.locate(requireSignedName),
                                                 joinPath(folder, signedLocationsName));
    if (a.flag("require-signed")) policy.requireSigned = true;
    std::unique_ptr<HttpClient> http = makeHttpClient();
    std::string status;
    UpdateUi ui;
    ui.setStatus = [&](const std::string& text) {
        status = text;
        if (!text.empty()) out_ << "status: " << printable(text) << "\n";
    };
    ui.status = [&] { return status; };
    ui.askToSynchronise = [&](const EditionOffer& offer) {
        out_ << "would be synchronised, replaced: " << offer.counts.replaced << ", kept: " << offer.counts.kept
             << ", added: " << offer.counts.added << "\n";
        out_ << "newer edition " << printable(offer.version) << ": " << (yes ? "yes" : "no") << "\n";
        return yes;
    };
    // Taken only now, so that a server however slow never keeps the
    // program from saving: what was read before is read again under it.
    DictionaryLock lock;
    ui.beforeMerge = [&] {
        lockDictionary(lock, a.file());
        store = openStore(a.file());
    };
    ui.synchroniseWithDownload = [&](const std::string& path, const std::function<bool(const SyncCounts&)>& agree) {
        const SyncOutcome outcome = synchronise(store, tables, path, {}, {}, nullptr,
                                                [&](SyncOutcome, const SyncCounts& counts) { return agree(counts); });
        switch (outcome) {
            case SyncOutcome::synchronised: out_ << "synchronised\n"; break;
            case SyncOutcome::declined: out_ << "not synchronised\n"; break;
            case SyncOutcome::tooLarge: out_ << "merge too large\n"; break;
            default: out_ << "download unreadable\n"; break;
        }
        return outcome;
    };
    ui.save = [&] {
        backUp(store.header.filePath);
        const bool saved = store.saveDictionary();
        out_ << (saved ? "saved\n" : "not saved\n");
        return saved;
    };
    ui.reportCompleted = [&] { out_ << "completed\n"; };
    int lastUpdateDay = 0;
    UpdateCheckResult result =
        checkForUpdate(store, true, locations, *http, joinPath(folder, "download.dsl"), policy, ui, lastUpdateDay);
    switch (result.signature.verdict) {
        case SignatureVerdict::none: out_ << "signature: none\n"; break;
        case SignatureVerdict::verified: out_ << "signature: verified (" << printable(result.signature.signer) << ")\n"; break;
        case SignatureVerdict::refused: out_ << "signature: refused\n"; break;
        case SignatureVerdict::notChecked: break;
    }
    if (!result.error.empty()) err_ << "trelvo-tool: " << printable(result.error) << "\n";
    out_ << "result: " << result.code << "\n";
    return 0;
}

}  // namespace trelvo

#include "Export.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "CsvFormat.h"
#include "TbxFormat.h"
#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/InHalves.h"
#include "core/editing/DictionaryProperties.h"

namespace trelvo {

std::vector<std::string> availableNotes(const EntryList& entries) {
    std::vector<std::string> notes{blankNote};
    std::unordered_set<std::string_view> seen;
    for (std::size_t n = 0; n < entries.size(); ++n) {
        std::string_view note = entries.note(n);
        if (!note.empty() && seen.insert(note).second) notes.emplace_back(note);
    }
    return notes;
}

std::vector<std::uint32_t> selectEntries(const DictionaryStore& store, const ExportChoice& choice) {
    std::vector<std::uint32_t> selected;
    if (choice.sourceSide != 0 && choice.sourceSide != 1) return selected;
    const int targetSide = 1 - choice.sourceSide;

    std::vector<std::string_view> admitted;
    for (const std::string& note : choice.notes)
        admitted.push_back(note == blankNote ? std::string_view{} : std::string_view{note});

    const DictionaryIndex& index = store.indexes[static_cast<std::size_t>(choice.sourceSide)];
    for (std::size_t position = 0; position < index.size(); ++position) {
        const std::uint32_t n = index.entryNumber(position);
        if (n >= store.entries.size()) continue;  // an index out of step with the list
        if (choice.translatedOnly && store.entries.text(n, targetSide).empty()) continue;
        if (choice.byFilter &&
            std::find(admitted.begin(), admitted.end(), store.entries.note(n)) == admitted.end())
            continue;
        selected.push_back(n);
    }
    return selected;
}

namespace {

// The lines of the selected entries, whose sizes are known beforehand, in
// one block: a large export is made in two halves at once, each entry's
// place fetched a few lines ahead, as the index order scatters them.
// size(n) is the length of entry n's line; put(n, out) writes it at out and
// returns its end.
template <typename Size, typename Put>
std::string linesOf(const EntryList& entries, const std::vector<std::uint32_t>& selected, Size size, Put put) {
    const std::size_t count = selected.size();
    std::size_t halves[2] = {0, 0};
    constexpr std::size_t ahead = 16;
    inHalves(count, [&](std::size_t from, std::size_t to) {
        std::size_t total = 0;
        for (std::size_t i = from; i < to; ++i) {
            if (i + ahead < to) entries.prefetch(selected[i + ahead]);
            total += size(selected[i]);
        }
        halves[from == 0 ? 0 : 1] = total;
    });
    std::string text(halves[0] + halves[1], '\0');
    inHalves(count, [&](std::size_t from, std::size_t to) {
        char* at = text.data() + (from == 0 ? 0 : halves[0]);
        for (std::size_t i = from; i < to; ++i) {
            if (i + ahead < to) {
                entries.prefetch(selected[i + ahead]);
                __builtin_prefetch(entries.term(selected[i + ahead / 2]).data());
            }
            at = put(selected[i], at);
        }
    });
    return text;
}

}  // namespace

std::string exportedText(const DictionaryStore& store, const ExportChoice& choice) {
    const int sourceSide = choice.sourceSide, targetSide = 1 - choice.sourceSide;
    const EntryList& entries = store.entries;
    return linesOf(
        entries, selectEntries(store, choice),
        [&](std::uint32_t n) { return entries.text(n, sourceSide).size() + entries.text(n, targetSide).size() + 3; },
        [&](std::uint32_t n, char* out) {
            const std::string_view source = entries.text(n, sourceSide), target = entries.text(n, targetSide);
            out = std::copy(source.begin(), source.end(), out);
            *out++ = '\t';
            out = std::copy(target.begin(), target.end(), out);
            *out++ = '\r';
            *out++ = '\n';
            return out;
        });
}

std::string utf8TextOf(const DictionaryStore& store, const ExportChoice& choice) {
    const int targetSide = 1 - choice.sourceSide;
    const int sourceCodePage = CodePage::codePageOfCharset(store.header.languageCharset[choice.sourceSide]);
    const int targetCodePage = CodePage::codePageOfCharset(store.header.languageCharset[targetSide]);
    std::string text;
    for (std::uint32_t n : selectEntries(store, choice)) {
        text += CodePage::toUtf8(store.entries.text(n, choice.sourceSide), sourceCodePage);
        text += '\t';
        text += CodePage::toUtf8(store.entries.text(n, targetSide), targetCodePage);
        text += '\n';
    }
    return text;
}

bool exportEntries(const DictionaryStore& store, const ExportChoice& choice, ExportFormat format,
                   const std::string& path, const std::function<std::uint32_t()>& random) {
    if (!store.isOpen()) return true;
    switch (format) {
        case ExportFormat::text: return exportText(store, choice, path);
        case ExportFormat::dictionary: return exportDictionary(store, choice, path, random);
        case ExportFormat::utf8Text: return replaceFileAtomically(path, utf8TextOf(store, choice));
        case ExportFormat::csv: return replaceFileAtomically(path, csvOf(store, choice));
        case ExportFormat::tbx2008: return replaceFileAtomically(path, tbxOf(store, choice, TbxVersion::tbx2008));
        case ExportFormat::tbx2019: return replaceFileAtomically(path, tbxOf(store, choice, TbxVersion::tbx2019));
    }
    return false;
}

bool exportText(const DictionaryStore& store, const ExportChoice& choice, const std::string& path) {
    if (!store.isOpen()) return true;
    return replaceFileAtomically(path, exportedText(store, choice));
}

namespace {

DictionaryHeader exportedHeader(const DictionaryHeader& active, const std::string& path,
                                const std::function<std::uint32_t()>& random) {
    DictionaryHeader header;
    header.languageName = active.languageName;
    header.languageImage = active.languageImage;
    header.languageCharset = active.languageCharset;
    header.name = active.name + " (exported)";
    // A fresh ID with no access code, so that the copy is a dictionary of its own.
    header.idAndAccessCode = DictionaryProperties::newId(random);
    header.filePath = path;
    return header;
}

}  // namespace

bool exportDictionary(const DictionaryStore& store, const ExportChoice& choice, const std::string& path,
                      const std::function<std::uint32_t()>& random) {
    if (!store.isOpen()) return true;
    const DictionaryHeader header = exportedHeader(store.header, path, random);
    EntryList entries;
    const std::vector<std::uint32_t> selected = selectEntries(store, choice);
    entries.reserve(selected.size());
    for (std::uint32_t n : selected)
        entries.append(store.entries.term(n), store.entries.translation(n), store.entries.note(n),
                       store.entries.flags(n));
    return writeDictionaryFile(header, entries, path);
}

}  // namespace trelvo

#include "Export.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "CsvFormat.h"
#include "TbxFormat.h"
#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/BlocksInOrder.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
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
    selected.reserve(index.size());
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

namespace {

// Lines per block of a text export: about a megabyte of usual entries.
constexpr std::size_t linesPerBlock = 16384;

}  // namespace

bool exportText(const DictionaryStore& store, const ExportChoice& choice, const std::string& path) {
    if (!store.isOpen()) return true;
    const int sourceSide = choice.sourceSide, targetSide = 1 - choice.sourceSide;
    const EntryList& entries = store.entries;
    const std::vector<std::uint32_t> selected = selectEntries(store, choice);
    const std::size_t count = selected.size();
    return replaceFileAtomically(path, [&](const ByteSink& put) {
        return blocksInOrder(
            (count + linesPerBlock - 1) / linesPerBlock,
            [&](std::size_t b, std::string& block) {
                // The index order scatters the entries: each one's place and
                // texts are fetched a few lines ahead.
                constexpr std::size_t ahead = 16;
                const std::size_t from = b * linesPerBlock, to = std::min(count, from + linesPerBlock);
                for (std::size_t i = from; i < to; ++i) {
                    if (i + ahead < to) {
                        entries.prefetch(selected[i + ahead]);
                        __builtin_prefetch(entries.term(selected[i + ahead / 2]).data());
                    }
                    block += entries.text(selected[i], sourceSide);
                    block += '\t';
                    block += entries.text(selected[i], targetSide);
                    block += "\r\n";
                }
            },
            put);
    });
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

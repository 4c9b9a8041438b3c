#include "Export.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <unordered_set>

#include "CsvFormat.h"
#include "TbxFormat.h"
#include "XlsxFormat.h"
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

    auto select = [&](std::size_t count, auto entryAt) {
        selected.reserve(count);
        for (std::size_t position = 0; position < count; ++position) {
            const std::uint32_t n = entryAt(position);
            if (n >= store.entries.size()) continue;  // an index out of step with the list
            if (choice.translatedOnly && store.entries.text(n, targetSide).empty()) continue;
            if (choice.byFilter &&
                std::find(admitted.begin(), admitted.end(), store.entries.note(n)) == admitted.end())
                continue;
            selected.push_back(n);
        }
    };
    if (choice.order) {
        select(choice.order->size(), [&](std::size_t position) { return (*choice.order)[position]; });
    } else {
        const DictionaryIndex& index = store.indexes[static_cast<std::size_t>(choice.sourceSide)];
        select(index.size(), [&](std::size_t position) { return index.entryNumber(position); });
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

namespace {

// Lines per block of a text export: about a megabyte of usual entries.
constexpr std::size_t linesPerBlock = 16384;

bool writeText(const DictionaryStore& store, int sourceSide, std::span<const std::uint32_t> selected,
               const std::string& path) {
    const int targetSide = 1 - sourceSide;
    const EntryList& entries = store.entries;
    const std::size_t count = selected.size();
    return replaceFileAtomically(path, [&](const ByteSink& put) {
        return blocksInOrder(
            (count + linesPerBlock - 1) / linesPerBlock,
            [&](std::size_t b, LargeString& block) {
                // The index order scatters the entries: each batch of them is
                // asked for before its lines are written.
                const std::size_t from = b * linesPerBlock, to = std::min(count, from + linesPerBlock);
                for (std::size_t first = from; first < to; first += EntryList::prefetchBatch) {
                    const std::size_t last = std::min(to, first + EntryList::prefetchBatch);
                    entries.prefetch(selected.data() + first, selected.data() + last);
                    for (std::size_t i = first; i < last; ++i) {
                        block += entries.text(selected[i], sourceSide);
                        block += '\t';
                        block += entries.text(selected[i], targetSide);
                        block += "\r\n";
                    }
                }
            },
            put);
    });
}

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

bool writeDictionary(const DictionaryStore& store, std::span<const std::uint32_t> selected,
                     const std::string& path, const std::function<std::uint32_t()>& random) {
    const DictionaryHeader header = exportedHeader(store.header, path, random);
    EntryList entries;
    entries.reserve(selected.size());
    for (std::uint32_t n : selected)
        entries.append(store.entries.term(n), store.entries.translation(n), store.entries.note(n),
                       store.entries.flags(n));
    return writeDictionaryFile(header, entries, path);
}

}  // namespace

std::optional<std::size_t> exportEntries(const DictionaryStore& store, const ExportChoice& choice,
                                         ExportFormat format, const std::string& path,
                                         const std::function<std::uint32_t()>& random) {
    if (!store.isOpen()) return 0;
    // Unfiltered, the entry order given is the selection as it stands.
    std::vector<std::uint32_t> filtered;
    std::span<const std::uint32_t> selected;
    if (choice.order && !choice.byFilter && !choice.translatedOnly) {
        selected = *choice.order;
    } else {
        filtered = selectEntries(store, choice);
        selected = filtered;
    }
    bool written = false;
    switch (format) {
        case ExportFormat::text: written = writeText(store, choice.sourceSide, selected, path); break;
        case ExportFormat::dictionary: written = writeDictionary(store, selected, path, random); break;
        case ExportFormat::utf8Text: written = replaceFileAtomically(path, utf8TextOf(store, choice)); break;
        case ExportFormat::csv: written = replaceFileAtomically(path, csvOf(store, choice)); break;
        case ExportFormat::xlsx:
            written = replaceFileAtomically(path, [&](const ByteSink& put) { return writeXlsx(store, choice, put); });
            break;
        case ExportFormat::tbx2008:
        case ExportFormat::tbx2019: {
            const TbxVersion version = format == ExportFormat::tbx2008 ? TbxVersion::tbx2008 : TbxVersion::tbx2019;
            written = replaceFileAtomically(
                path, [&](const ByteSink& put) { return writeTbx(store, choice, version, put); });
            break;
        }
    }
    if (!written) return std::nullopt;
    return selected.size();
}

bool exportText(const DictionaryStore& store, const ExportChoice& choice, const std::string& path) {
    return !store.isOpen() || writeText(store, choice.sourceSide, selectEntries(store, choice), path);
}

bool exportDictionary(const DictionaryStore& store, const ExportChoice& choice, const std::string& path,
                      const std::function<std::uint32_t()>& random) {
    return !store.isOpen() || writeDictionary(store, selectEntries(store, choice), path, random);
}

}  // namespace trelvo

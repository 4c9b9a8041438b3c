// The recovery journal's costs: a change written as it happens, a large
// import written and read back, and a merge of a window's edits onto another
// program's save of a million entries. Times are the best of a few runs;
// the peak memory is the process's at the end.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "GeneratedDictionary.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/WholeFile.h"
#include "core/editing/ChangeReplay.h"
#include "core/editing/RecoveryJournal.h"
#include "core/settings/ProgramPaths.h"

using namespace trelvo;

namespace {

double bestMilliseconds(int runs, const std::function<void()>& step) {
    double best = 1e12;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        step();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

DictionaryChange editOf(const EntryList& entries, std::uint32_t n) {
    DictionaryChange change;
    change.removed.append(entries.entry(n));
    change.removedNumbers = {n};
    DictionaryEntry after = entries.entry(n);
    after.term() += " upraveno";
    change.added.append(after);
    change.addedNumbers = {n};
    return change;
}

}  // namespace

int main() {
    const std::string folder = "/tmp/trelvo-journal-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/velky.dsl";
    const EntryList million = generatedEntries(1'000'000, 7);
    if (!writeDictionaryFile(generatedHeader(), million, path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    RecoveryJournal journal;
    const int edits = 10'000;
    const double editing = bestMilliseconds(3, [&] {
        journal.begin(path, FileIdentity::of(path));
        for (int i = 0; i < edits; ++i) journal.append(editOf(million, static_cast<std::uint32_t>(i * 97)));
        journal.sync();
    });
    std::printf("journal  %d cell edits written and synced   %9.3f ms  (%.2f us each)\n", edits, editing,
                editing * 1000 / edits);

    const EntryList imported = generatedEntries(100'000, 11);
    DictionaryChange import;
    import.kind = ChangeKind::imported;
    import.added = imported;
    for (std::uint32_t n = 0; n < imported.size(); ++n) import.addedNumbers.push_back(1'000'000 + n);
    const double importing = bestMilliseconds(3, [&] {
        journal.begin(path, FileIdentity::of(path));
        journal.append(import);
        journal.sync();
    });
    const auto size = std::filesystem::file_size(journal.file());
    std::printf("journal  import of %zu entries written     %9.3f ms  (%.1f MB)\n", imported.size(), importing,
                size / 1e6);
    std::string bytes;
    std::size_t found = 0;
    const double reading = bestMilliseconds(3, [&] {
        bytes.clear();
        readWholeFile(journal.file(), bytes);
        const auto contents = parseRecoveryJournal(bytes);
        found = contents ? contents->changes.front().added.size() : 0;
    });
    std::printf("journal  read back (%zu entries)            %9.3f ms\n", found, reading);

    // A window's 1,000 edits merged onto another program's save of the million.
    CharacterTables tables;
    if (!tables.loadCharacterTables(joinPath(executableFolder(), "upchar.dat"))) {
        std::fprintf(stderr, "upchar.dat missing beside the program\n");
        return 1;
    }
    std::vector<DictionaryChange> window;
    for (std::uint32_t i = 0; i < 1000; ++i) window.push_back(editOf(million, i * 991));
    EntryList other = million;
    other.remove(500'000);
    if (!writeDictionaryFile(generatedHeader(), other, path)) return 1;
    // What the merge costs beyond reading the file and building its indexes.
    const double opening = bestMilliseconds(3, [&] {
        DictionaryStore store;
        store.openFile(path, tables);
    });
    std::size_t conflicts = 0;
    const double merging = bestMilliseconds(3, [&] {
        DictionaryStore store;
        store.header.filePath = path;
        const auto counts = mergeOntoFile(store, window, tables);
        conflicts = counts ? counts->conflicts : 9999;
    });
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("merge    1000 edits onto 999,999 entries      %9.3f ms  (%zu conflicts)  peak memory %.1f MB\n",
                merging, conflicts, usage.ru_maxrss / 1024.0);
    std::printf("         of which reading the file, indexed    %9.3f ms\n", opening);
    journal.discard();
    std::filesystem::remove_all(folder);
    return 0;
}

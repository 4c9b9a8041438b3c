// Import, synchronisation and export at the scale of a million entries, each
// run in a process of its own so that its peak memory is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "GeneratedDictionary.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/editing/DictionaryChange.h"
#include "core/exchange/Export.h"
#include "core/exchange/Synchronisation.h"
#include "core/exchange/TextImport.h"
#include "core/settings/ProgramPaths.h"

using namespace trelvo;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t entryCount = 1'000'000;

// Runs work in a child process and prints its time and peak memory.
void measure(const char* what, const std::function<bool()>& work) {
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        auto start = std::chrono::steady_clock::now();
        bool ok = work();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%-58s %7.3f s  peak memory %6.1f MB%s\n", what, seconds, usage.ru_maxrss / 1024.0,
                    ok ? "" : "  FAILED");
        std::fflush(stdout);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

std::string utf16WordList(std::size_t lines) {
    std::mt19937 random(9);
    std::uniform_int_distribution<int> letter('a', 'z'), length(8, 24);
    std::string bytes("\xFF\xFE", 2);
    auto put = [&bytes](char16_t c) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    };
    for (std::size_t i = 0; i < lines; ++i) {
        for (int side = 0; side < 2; ++side) {
            for (int n = length(random); n > 0; --n) put(static_cast<char16_t>(letter(random)));
            put(side == 0 ? u'\t' : u'\r');
        }
        put(u'\n');
    }
    return bytes;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double residentMB() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What an undo step of change holds: the texts and places of its entries and their numbers.
double changeMB(const DictionaryChange& change) {
    double bytes = 0;
    for (const EntryList* list : {&change.removed, &change.added})
        for (std::size_t n = 0; n < list->size(); ++n)
            bytes += static_cast<double>(list->term(n).size() + list->translation(n).size() + list->note(n).size() +
                                         24 + 4);
    return bytes / (1024.0 * 1024.0);
}

// The undo step of a change just made to store from before: its size, the
// memory it took, and the time to take it back and do it again, turned round
// in place as the window's undo stack does.
bool measureUndo(DictionaryStore& store, DictionaryChange& change, const EntryList& before,
                 const CharacterTables& tables, double residentBefore) {
    std::printf("  (undo step: %zu entries out, %zu in, %.1f MB of entries; resident %+.1f MB)\n",
                change.removed.size(), change.added.size(), changeMB(change), residentMB() - residentBefore);
    const EntryList after = store.entries;
    auto start = std::chrono::steady_clock::now();
    change.invert();
    applyChange(store, change, tables);
    std::printf("  (undo %.3f s", seconds(start));
    const bool undone = store.entries == before;
    start = std::chrono::steady_clock::now();
    change.invert();
    applyChange(store, change, tables);
    std::printf(", redo %.3f s)\n", seconds(start));
    return undone && store.entries == after;
}

}  // namespace

int main() {
    const std::string dir = "/tmp/trelvo-exchange-bench-" + std::to_string(getpid()) + "/";
    fs::create_directories(dir);
    CharacterTables tables;
    if (!tables.loadCharacterTables(joinPath(executableFolder(), "upchar.dat"))) return 1;

    // The files, made by a child so that the parent stays small.
    measure("making the files", [&] {
        EntryList active = generatedEntries(entryCount, 21);
        for (std::size_t n = 0; n < active.size(); n += 10) active.setFlags(n, efUserModified);  // 10 % the user's
        DictionaryHeader header = generatedHeader();
        std::ofstream(dir + "words.txt", std::ios::binary) << utf16WordList(100'000);
        // A close edition: the delivered entries with 1 % of them changed, and 10,000 new.
        EntryList close;
        for (std::size_t n = 0; n < active.size(); ++n) {
            if (active.flags(n) != efDefault) continue;
            close.append(active.term(n), n % 100 == 3 ? "zmeneno" : active.translation(n), active.note(n), efDefault);
        }
        const EntryList fresh = generatedEntries(10'000, 23);
        for (std::size_t n = 0; n < fresh.size(); ++n) close.append(fresh.entry(n));
        return writeDictionaryFile(header, active, dir + "active.dsl") &&
               writeDictionaryFile(header, generatedEntries(entryCount, 22), dir + "edition.dsl") &&
               writeDictionaryFile(header, close, dir + "close-edition.dsl");
    });

    measure("import of 100,000 UTF-16 lines into 1,000,000 entries", [&] {
        DictionaryStore store;
        if (!store.openFile(dir + "active.dsl", tables)) return false;
        auto start = std::chrono::steady_clock::now();
        std::ifstream file(dir + "words.txt", std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const std::size_t added = importFile(store, tables, "words.txt", bytes, {}).added;
        std::printf("  (import alone %.3f s, %zu added)\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), added);
        return added == 100'000;
    });

    // The window records an import as the entries it appended.
    measure("import of 100,000 lines: its undo step", [&] {
        DictionaryStore store;
        if (!store.openFile(dir + "active.dsl", tables)) return false;
        const EntryList before = store.entries;
        std::ifstream file(dir + "words.txt", std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const auto from = static_cast<std::uint32_t>(store.entryCount());
        importFile(store, tables, "words.txt", bytes, {});
        const double resident = residentMB();
        DictionaryChange change = DictionaryChange::appended(ChangeKind::imported, store.entries, from);
        return measureUndo(store, change, before, tables, resident);
    });

    measure("synchronisation of 1,000,000 (10 % user) with 1,000,000", [&] {
        DictionaryStore store;
        if (!store.openFile(dir + "active.dsl", tables)) return false;
        auto start = std::chrono::steady_clock::now();
        SyncOutcome outcome = synchronise(store, tables, dir + "edition.dsl", {}, {});
        std::printf("  (synchronisation alone %.3f s, %zu entries)\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                    store.entryCount());
        return outcome == SyncOutcome::synchronised;
    });

    // The window records a synchronisation as what differs from the list before it.
    auto synchronisationStep = [&](const std::string& edition) {
        DictionaryStore store;
        if (!store.openFile(dir + "active.dsl", tables)) return false;
        const EntryList before = store.entries;
        if (synchronise(store, tables, dir + edition, {}, {}) != SyncOutcome::synchronised) return false;
        const double resident = residentMB();
        auto start = std::chrono::steady_clock::now();
        DictionaryChange change = DictionaryChange::between(ChangeKind::synchronised, before, store.entries);
        std::printf("  (between %.3f s)\n", seconds(start));
        return measureUndo(store, change, before, tables, resident);
    };
    measure("synchronisation of 1,000,000: its undo step", [&] { return synchronisationStep("edition.dsl"); });
    measure("the same with an edition 1 % changed: its undo step",
            [&] { return synchronisationStep("close-edition.dsl"); });

    measure("export of 1,000,000 entries to text", [&] {
        DictionaryStore store;
        if (!store.openFile(dir + "active.dsl", tables)) return false;
        auto start = std::chrono::steady_clock::now();
        bool ok = exportText(store, ExportChoice{}, dir + "out.txt");
        std::printf("  (export alone %.3f s)\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return ok;
    });

    fs::remove_all(dir);
    return 0;
}

// Opening a dictionary as the program does (read, key and index both sides),
// timed, with the peak memory of the process. The million-entry file is made
// by a child process, so that the figure is the open's alone.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "GeneratedDictionary.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/settings/ProgramPaths.h"

using namespace trelvo;

namespace {

double bestOpenSeconds(const std::string& path, const CharacterTables& tables, int runs, std::size_t& entries) {
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        DictionaryStore store;
        auto start = std::chrono::steady_clock::now();
        if (!store.openFile(path, tables)) return -1;
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        entries = store.entryCount();
    }
    return best;
}

}  // namespace

int main() {
    const std::string folder = executableFolder();
    CharacterTables tables;
    if (!tables.loadCharacterTables(joinPath(folder, "upchar.dat"))) {
        std::fprintf(stderr, "upchar.dat missing beside the program\n");
        return 1;
    }
    for (const char* name : {"DSL/cs-en.dsl", "DSL/cs-ru.dsl"}) {
        std::size_t entries = 0;
        double seconds = bestOpenSeconds(joinPath(folder, name), tables, 5, entries);
        std::printf("open %-14s %8zu entries  %8.3f ms\n", name, entries, seconds * 1000);
    }

    const std::string path = "/tmp/trelvo-open-bench-" + std::to_string(getpid()) + ".dsl";
    pid_t child = fork();
    if (child == 0) _exit(writeDictionaryFile(generatedHeader(), generatedEntries(1'000'000, 7), path) ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::size_t entries = 0;
    double seconds = bestOpenSeconds(path, tables, 3, entries);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("open generated     %8zu entries  %8.3f ms  peak memory %.1f MB\n", entries, seconds * 1000,
                usage.ru_maxrss / 1024.0);
    unlink(path.c_str());
    return 0;
}

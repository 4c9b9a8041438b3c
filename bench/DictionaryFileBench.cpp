// Write, read and key a generated dictionary of a million entries.
#include <benchmark/benchmark.h>

#include <unistd.h>


#include "GeneratedDictionary.h"
#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/DictionaryIndex.h"
#include "core/settings/ProgramPaths.h"

using namespace trelvo;

namespace {

constexpr std::size_t entryCount = 1'000'000;

const EntryList& entries() {
    static const EntryList list = generatedEntries(entryCount, 7);
    return list;
}

const std::string& benchFile() {
    static const std::string path = [] {
        std::string p = "/tmp/trelvo-bench-" + std::to_string(getpid()) + ".dsl";
        writeDictionaryFile(generatedHeader(), entries(), p);
        return p;
    }();
    return path;
}

const CharacterTables& deliveredTables() {
    static const CharacterTables tables = [] {
        CharacterTables t;
        t.loadCharacterTables(joinPath(executableFolder(), "upchar.dat"));
        return t;
    }();
    return tables;
}

void BM_WriteDictionary(benchmark::State& state) {
        std::string path = benchFile() + ".w";
    for (auto _ : state) benchmark::DoNotOptimize(writeDictionaryFile(generatedHeader(), entries(), path));
    unlink(path.c_str());
}

void BM_ReadDictionary(benchmark::State& state) {
    const std::string& path = benchFile();
    for (auto _ : state) {
        DictionaryHeader h;
        EntryList read;
        benchmark::DoNotOptimize(readDictionaryFile(path, h, read));
    }
}

void BM_KeyBothSides(benchmark::State& state) {
        const CharacterTables& tables = deliveredTables();
    std::string key;
    for (auto _ : state) {
        for (std::size_t n = 0; n < entries().size(); ++n) {
            tables.makeCollationKey(entries().term(n), 1, key);
            benchmark::DoNotOptimize(key.data());
            tables.makeCollationKey(entries().translation(n), 3, key);
            benchmark::DoNotOptimize(key.data());
        }
    }
}

void BM_BuildBothIndexes(benchmark::State& state) {
        const CharacterTables& tables = deliveredTables();
    for (auto _ : state) {
        benchmark::DoNotOptimize(DictionaryIndex::build(entries(), 0, tables, 1));
        benchmark::DoNotOptimize(DictionaryIndex::build(entries(), 1, tables, 3));
    }
}

}  // namespace

BENCHMARK(BM_WriteDictionary)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadDictionary)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_KeyBothSides)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BuildBothIndexes)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    unlink(benchFile().c_str());
    return 0;
}

// Write, read and key a generated dictionary of a million entries.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <random>

#include "app/ProgramPaths.h"
#include "dictionary/CharacterTables.h"
#include "dictionary/DictionaryFile.h"
#include "dictionary/DictionaryIndex.h"

using namespace trelvo;

namespace {

constexpr std::size_t entryCount = 1'000'000;

// Texts of 10 to 40 bytes from Czech letters in code page 1250, with spaces.
std::string randomText(std::mt19937& random) {
    static const std::string letters = "abcdeefghiijklmnoopqrstuuvyz \xE1\xE8\xEC\xED\x9A\xF8\x9E\xFD\xF9";
    std::uniform_int_distribution<std::size_t> length(10, 40), pick(0, letters.size() - 1);
    std::string text(length(random), ' ');
    for (char& c : text) c = letters[pick(random)];
    return text;
}

const EntryList& generatedEntries() {
    static const EntryList entries = [] {
        std::mt19937 random(7);
        EntryList list;
        list.reserve(entryCount);
        for (std::size_t n = 0; n < entryCount; ++n) list.append(randomText(random), randomText(random), "", 0);
        return list;
    }();
    return entries;
}

DictionaryHeader benchHeader() {
    DictionaryHeader h;
    h.name = "Bench";
    h.languageCharset = {238, 0};
    h.idAndAccessCode = "12345678";
    return h;
}

const std::string& benchFile() {
    static const std::string path = [] {
        std::string p = "/tmp/trelvo-bench-" + std::to_string(getpid()) + ".dsl";
        writeDictionaryFile(benchHeader(), generatedEntries(), p);
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
    const auto& entries = generatedEntries();
    std::string path = benchFile() + ".w";
    for (auto _ : state) benchmark::DoNotOptimize(writeDictionaryFile(benchHeader(), entries, path));
    unlink(path.c_str());
}

void BM_ReadDictionary(benchmark::State& state) {
    const std::string& path = benchFile();
    for (auto _ : state) {
        DictionaryHeader h;
        EntryList entries;
        benchmark::DoNotOptimize(readDictionaryFile(path, h, entries));
    }
}

void BM_KeyBothSides(benchmark::State& state) {
    const auto& entries = generatedEntries();
    const CharacterTables& tables = deliveredTables();
    std::string key;
    for (auto _ : state) {
        for (std::size_t n = 0; n < entries.size(); ++n) {
            tables.makeCollationKey(entries.term(n), 1, key);
            benchmark::DoNotOptimize(key.data());
            tables.makeCollationKey(entries.translation(n), 3, key);
            benchmark::DoNotOptimize(key.data());
        }
    }
}

void BM_BuildBothIndexes(benchmark::State& state) {
    const auto& entries = generatedEntries();
    const CharacterTables& tables = deliveredTables();
    for (auto _ : state) {
        benchmark::DoNotOptimize(DictionaryIndex::build(entries, 0, tables, 1));
        benchmark::DoNotOptimize(DictionaryIndex::build(entries, 1, tables, 3));
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

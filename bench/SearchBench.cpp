// Searches in a generated dictionary of a million entries, key making included:
// existing terms and texts that match nothing.
#include <benchmark/benchmark.h>

#include <random>

#include "GeneratedDictionary.h"
#include "core/lookup/SearchRule.h"
#include "core/settings/ProgramPaths.h"

using namespace trelvo;

namespace {

struct SearchFixture {
    DictionaryStore store;
    CharacterTables tables;
    Direction direction{0, 1, 1, 3};
    SearchContext context{store, tables};
    std::vector<std::string> hits, misses;

    SearchFixture() {
        tables.loadCharacterTables(joinPath(executableFolder(), "upchar.dat"));
        store.header = generatedHeader();
        store.header.filePath = "/generated.dsl";
        store.entries = generatedEntries(1'000'000, 11);
        store.rebuildIndexes(tables);
        std::mt19937 random(5);
        std::uniform_int_distribution<std::size_t> pick(0, store.entryCount() - 1);
        for (int i = 0; i < 10'000; ++i) {
            hits.emplace_back(store.entries.term(pick(random)));
            std::string miss(store.entries.term(pick(random)));
            miss[miss.size() / 2] = 'q';
            misses.push_back(miss + " xq");
        }
    }
};

SearchFixture& fixture() {
    static SearchFixture f;
    return f;
}

void search(benchmark::State& state, const std::vector<std::string>& texts) {
    SearchFixture& f = fixture();
    std::size_t i = 0;
    std::string text;
    for (auto _ : state) {
        text = texts[i++ % texts.size()];
        // A text of the other language turns the searches after it, as typing does.
        const SearchAnswer answer = findPosition(f.context, text, f.direction);
        f.direction = answer.direction;
        benchmark::DoNotOptimize(answer.position);
    }
}

void BM_SearchExistingTerm(benchmark::State& state) { search(state, fixture().hits); }
void BM_SearchMiss(benchmark::State& state) { search(state, fixture().misses); }

}  // namespace

BENCHMARK(BM_SearchExistingTerm)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchMiss)->Repetitions(5)->ReportAggregatesOnly(true);

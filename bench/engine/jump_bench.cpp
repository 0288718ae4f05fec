#include <benchmark/benchmark.h>

#include <map>
#include <utility>

#include "exit_tables.h"
#include "growth.h"
#include "random_source.h"

namespace dla {
namespace {

// Whole runs with either walker; one run per iteration, seeds 1, 2, 3, ... for each size and
// walker alike, so both walkers grow from the same seeds and the medians over repetitions
// compare like with like.
void BM_WholeRun(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Walk walk = state.range(1) ? Walk::Jump : Walk::Literal;
    static std::map<std::pair<std::int32_t, Walk>, std::uint64_t> nextSeed;
    std::uint64_t& seed = nextSeed.try_emplace({n, walk}, 1).first->second;
    SilentToolkit toolkit;
    Lattice lattice;
    std::int64_t particles = 0, steps = 0, jumps = 0;
    for (auto _ : state) {
        RandomSource source(FastGenerator::seeded(seed++), toolkit);
        const GrowthResult result = Gerar_DLA(n, lattice, source, toolkit, {walk});
        particles += result.particles;
        steps += result.steps;
        jumps += result.jumps;
    }
    state.counters["particles"] =
        benchmark::Counter(static_cast<double>(particles), benchmark::Counter::kAvgIterations);
    state.counters["steps"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kAvgIterations);
    state.counters["jumps"] =
        benchmark::Counter(static_cast<double>(jumps), benchmark::Counter::kAvgIterations);
    if (walk == Walk::Literal) {
        state.counters["ns_per_step"] = benchmark::Counter(
            static_cast<double>(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
}
BENCHMARK(BM_WholeRun)
    ->ArgNames({"N", "jump"})
    ->Args({400, 0})
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeRun)
    ->ArgNames({"N", "jump"})
    ->Args({400, 1})
    ->Iterations(1)
    ->Repetitions(15)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeRun)
    ->ArgNames({"N", "jump"})
    ->Args({1000, 0})
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeRun)
    ->ArgNames({"N", "jump"})
    ->Args({1000, 1})
    ->Iterations(1)
    ->Repetitions(15)
    ->Unit(benchmark::kMillisecond);

// Building the exit tables for m = 2..64, which the first jump run of a process does once.
void BM_ExitTables(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ExitTables(ExitTables::kLargest));
}
BENCHMARK(BM_ExitTables)->Unit(benchmark::kMillisecond);

// One exit drawn from the largest square: the cost a jump adds to its deviate.
void BM_ExitSample(benchmark::State& state) {
    const ExitTables& tables = ExitTables::shared();
    FastGenerator g = FastGenerator::seeded(1);
    for (auto _ : state) benchmark::DoNotOptimize(tables.sample(ExitTables::kLargest, g.draw()));
}
BENCHMARK(BM_ExitSample);

}  // namespace
}  // namespace dla

#include <benchmark/benchmark.h>

#include <map>

#include "random/random_source.h"
#include "window/growth.h"

namespace dla {
namespace {

// Whole literal runs of the window's growth; one run per iteration, seeds 1, 2, 3, ... as
// BM_LargeWholeRun uses for the jump walker, so that the two compare like with like.
void BM_WholeRun(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    static std::map<std::int32_t, std::uint64_t> nextSeed;
    std::uint64_t& seed = nextSeed.try_emplace(n, 1).first->second;
    SilentToolkit toolkit;
    Lattice lattice;
    std::int64_t particles = 0, steps = 0;
    for (auto _ : state) {
        RandomSource source(FastGenerator::seeded(seed++), toolkit);
        const GrowthResult result = Gerar_DLA(n, lattice, source, toolkit);
        particles += result.particles;
        steps += result.steps;
    }
    state.counters["particles"] =
        benchmark::Counter(static_cast<double>(particles), benchmark::Counter::kAvgIterations);
    state.counters["steps"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kAvgIterations);
    state.counters["ns_per_step"] = benchmark::Counter(
        static_cast<double>(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WholeRun)
    ->ArgName("N")
    ->Arg(400)
    ->Arg(1000)
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dla

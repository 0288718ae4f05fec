#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "large/large_growth.h"
#include "peak_memory.h"
#include "window/growth.h"

namespace dla {
namespace {

// Growth of one aggregate to a number of particles, seed 1, with its figures (the hash is the
// run's determinism signature). Peak memory is the process's: run a size alone
// (--benchmark_filter) to read its own; the larger sizes come last.
void BM_LargeGrowth(benchmark::State& state) {
    LargeGrowthOptions options;
    options.particleLimit = state.range(0);
    for (auto _ : state) {
        LargeGrowth run(options, FastGenerator::seeded(1));
        run.grow();
        state.PauseTiming();
        const LargeGrowthCounters& c = run.counters();
        state.counters["particles"] = static_cast<double>(c.particles);
        state.counters["R"] = run.launchRadius();
        state.counters["moves"] = static_cast<double>(c.steps + c.jumps);
        state.counters["killed"] = static_cast<double>(c.walkersKilled);
        state.counters["lattice_MB"] = static_cast<double>(run.lattice().memoryBytes()) / 0x1p20;
        state.counters["peak_MB"] = peakMegabytes();
        state.counters["hash"] = static_cast<double>(run.lattice().hash() % 1000000);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LargeGrowth)->Arg(100'000)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kSecond);

// Larger aggregates (about a minute for 10^7 particles, a quarter of an hour and some GB for
// 10^8) only on request, and alone:
//   DLA_LARGE_PARTICLES=10000000 build/bench/dla_bench --benchmark_filter=LargeGrowth/10000000/
const bool kLargerOnRequest = [] {
    const char* text = std::getenv("DLA_LARGE_PARTICLES");
    const long long particles = text ? std::strtoll(text, nullptr, 10) : 0;
    if (particles > 0) {
        benchmark::RegisterBenchmark("BM_LargeGrowth", BM_LargeGrowth)
            ->Arg(particles)
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    }
    return true;
}();

// Whole runs of system size N with the jump walker, seeds 1, 2, 3, ... as BM_WholeRun uses for
// the literal walk, so that the two compare like with like in one benchmark run.
void BM_LargeWholeRun(benchmark::State& state) {
    static std::uint64_t seed = 1;
    LargeGrowthOptions options;
    options.systemSize = static_cast<std::int32_t>(state.range(0));
    std::int64_t particles = 0, moves = 0;
    for (auto _ : state) {
        LargeGrowth run(options, FastGenerator::seeded(seed++));
        run.grow();
        particles += run.counters().particles;
        moves += run.counters().steps + run.counters().jumps;
    }
    state.counters["particles"] =
        benchmark::Counter(static_cast<double>(particles), benchmark::Counter::kAvgIterations);
    state.counters["moves"] =
        benchmark::Counter(static_cast<double>(moves), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LargeWholeRun)
    ->ArgName("N")
    ->Arg(400)
    ->Arg(1000)
    ->Iterations(1)
    ->Repetitions(15)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dla

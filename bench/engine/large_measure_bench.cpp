#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>

#include "estimate/large_estimate.h"
#include "large/large_growth.h"
#include "measure/anisotropy.h"
#include "measure/growth_history.h"
#include "peak_memory.h"

namespace dla {
namespace {

// One aggregate per size (seed 1), grown once outside the timing and kept for the measures.
const LargeGrowth& aggregate(std::int64_t particles) {
    static std::map<std::int64_t, std::unique_ptr<LargeGrowth>> grown;
    auto& run = grown[particles];
    if (!run) {
        LargeGrowthOptions options;
        options.particleLimit = particles;
        run = std::make_unique<LargeGrowth>(options, FastGenerator::seeded(1));
        run->grow();
    }
    return *run;
}

// The box-mass estimate of an aggregate of M particles at the size that spans it, then the
// history dimension and the anisotropy. peak_MB is the process's, growth included: the
// estimate's own share is peak_MB less grown_MB (the peak before it ran).
void BM_LargeEstimate(benchmark::State& state) {
    const LargeGrowth& run = aggregate(state.range(0));
    const double grownMegabytes = peakMegabytes();
    const std::int32_t n = spanningSystemSize(run.lattice());
    SilentToolkit toolkit;
    for (auto _ : state) {
        RandomSource random(FastGenerator::seeded(2), toolkit);
        const auto estimate = largeBoxMassEstimate(n, run.lattice(), random);
        const auto history = GrowthHistory::of(run.lattice().arrivals()).dimension();
        const auto anisotropy = measureAnisotropy(run.lattice().arrivals());
        state.PauseTiming();
        state.counters["N"] = n;
        state.counters["dimension"] = estimate ? estimate->dimension : 0.0;
        state.counters["draws"] = estimate ? static_cast<double>(estimate->draws) : 0.0;
        state.counters["history_dim"] = history.value_or(0.0);
        state.counters["cos4"] = anisotropy ? anisotropy->harmonic : 0.0;
        state.counters["cone_ratio"] = anisotropy ? anisotropy->coneRatio.value_or(0.0) : 0.0;
        state.counters["grown_MB"] = grownMegabytes;
        state.counters["peak_MB"] = peakMegabytes();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LargeEstimate)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kSecond);

// 10^7 particles (growth about a minute) only on request, alone:
//   DLA_LARGE_PARTICLES=10000000 build/bench/dla_bench --benchmark_filter=LargeEstimate/10000000
const bool kLargerOnRequest = [] {
    const char* text = std::getenv("DLA_LARGE_PARTICLES");
    const long long particles = text ? std::strtoll(text, nullptr, 10) : 0;
    if (particles > 0)
        benchmark::RegisterBenchmark("BM_LargeEstimate", BM_LargeEstimate)
            ->Arg(particles)
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    return true;
}();

}  // namespace
}  // namespace dla

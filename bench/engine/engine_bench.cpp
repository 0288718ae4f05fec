#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>

#include "estimate/fractal_dimension.h"
#include "estimate/large_estimate.h"
#include "large/large_growth.h"
#include "random/random_source.h"
#include "window/growth.h"

namespace dla {
namespace {

// The generators on their own: ours against the standard library's Mersenne Twister.
void BM_FastGeneratorDraw(benchmark::State& state) {
    FastGenerator g = FastGenerator::seeded(1);
    for (auto _ : state) benchmark::DoNotOptimize(g.draw());
}
BENCHMARK(BM_FastGeneratorDraw);

void BM_Mt19937Draw(benchmark::State& state) {
    std::mt19937_64 g(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (auto _ : state) benchmark::DoNotOptimize(unit(g));
}
BENCHMARK(BM_Mt19937Draw);

// Random(0): one shuffled deviate, two generator draws.
void BM_ShuffledDeviate(benchmark::State& state) {
    SilentToolkit toolkit;
    RandomSource source(FastGenerator::seeded(1), toolkit);
    (void)source.Random(-1);
    for (auto _ : state) benchmark::DoNotOptimize(source.next());
}
BENCHMARK(BM_ShuffledDeviate);

// The literal walk's cost per step: whole N = 200 runs, their time divided by the single
// lattice steps they took. Whole runs of both walkers side by side are BM_WholeRun.
void BM_WalkStep(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    SilentToolkit toolkit;
    Lattice lattice;
    std::uint64_t seed = 1;
    std::int64_t steps = 0;
    std::int64_t particles = 0;
    for (auto _ : state) {
        RandomSource source(FastGenerator::seeded(seed++), toolkit);
        const GrowthResult result = Gerar_DLA(n, lattice, source, toolkit);
        steps += result.steps;
        particles += result.particles;
    }
    state.counters["ns_per_step"] = benchmark::Counter(
        static_cast<double>(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["particles"] =
        benchmark::Counter(static_cast<double>(particles), benchmark::Counter::kAvgIterations);
    state.counters["steps"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_WalkStep)->Arg(200)->Unit(benchmark::kMillisecond)->Repetitions(5);

// One seeded aggregate of each size, grown once by the jump walker (which grows them with the
// window's law), and its copy in the window's Lattice.
struct Grown {
    std::unique_ptr<LargeGrowth> run;
    std::unique_ptr<Lattice> lattice;
};
const Grown& grownAt(std::int32_t n) {
    static std::map<std::int32_t, Grown> grown;
    Grown& g = grown[n];
    if (!g.run) {
        LargeGrowthOptions options;
        options.systemSize = n;
        g.run = std::make_unique<LargeGrowth>(options, FastGenerator::seeded(1000));
        g.run->grow();
        g.lattice = std::make_unique<Lattice>();
        for (const Site& s : g.run->lattice().arrivals())
            if (Lattice::contains(s.x, s.y)) g.lattice->occupy(s.x, s.y);
    }
    return g;
}

// The window's estimate on those aggregates.
void BM_Estimate(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    SilentToolkit toolkit;
    const Lattice& lattice = *grownAt(n).lattice;
    std::int64_t draws = 0;
    for (auto _ : state) {
        // The same draws every time, so that two builds compare like with like.
        RandomSource source(FastGenerator::seeded(5), toolkit);
        draws = Dimensão_Fractal(n, lattice, source, toolkit)->draws;
    }
    state.counters["draws"] = static_cast<double>(draws);
}
BENCHMARK(BM_Estimate)
    ->Arg(100)
    ->Arg(200)
    ->Arg(300)
    ->Arg(500)
    ->Arg(700)
    ->Arg(1000)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

// The same estimate of the same aggregates as a jump-walker run measures them, on its edgeless
// lattice (the same draws and result as BM_Estimate): with the counter it picks, and with the
// sparse one that larger aggregates take.
void estimateJumpRun(benchmark::State& state, EstimateCounter counter) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    SilentToolkit toolkit;
    const LargeLattice& lattice = grownAt(n).run->lattice();
    std::int64_t draws = 0;
    for (auto _ : state) {
        RandomSource source(FastGenerator::seeded(5), toolkit);
        draws = largeBoxMassEstimate(n, lattice, source, counter)->draws;
    }
    state.counters["draws"] = static_cast<double>(draws);
}
void BM_EstimateJumpRun(benchmark::State& state) {
    estimateJumpRun(state, EstimateCounter::Fitting);
}
void BM_EstimateJumpRunSparse(benchmark::State& state) {
    estimateJumpRun(state, EstimateCounter::Sparse);
}
BENCHMARK(BM_EstimateJumpRun)
    ->Arg(100)
    ->Arg(400)
    ->Arg(1000)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EstimateJumpRunSparse)
    ->Arg(100)
    ->Arg(400)
    ->Arg(1000)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

// The worst case: a Lattice holding only the seed, where the estimate rejects kRejectedDrawLimit
// box corners and then draws every remaining box directly.
void BM_EstimateSeedOnly(benchmark::State& state) {
    SilentToolkit toolkit;
    Lattice lattice;
    lattice.occupy(0, 0);
    RandomSource source(FastGenerator::seeded(5), toolkit);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            Dimensão_Fractal(static_cast<std::int32_t>(state.range(0)), lattice, source, toolkit));
    }
}
BENCHMARK(BM_EstimateSeedOnly)->Arg(100)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dla

#include "large_growth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "growth.h"
#include "lattice.h"
#include "walk_statistics.h"

namespace dla {
namespace {

LargeGrowthOptions sized(std::optional<std::int32_t> n, std::optional<std::int64_t> m = {},
                         int largestJump = ExitLadder::kLargest) {
    return {n, m, 2.0, largestJump};
}

// S is the largest integer whose square root does not exceed K R; for K = 2 it is 4 R^2, the
// window's rule.
TEST(LargeGrowthTest, KillSquareIsExactlyTheDistanceRule) {
    for (double k : {2.0, 2.5, 3.3, 7.77}) {
        for (std::int32_t r = 1; r <= 70000; r += (r < 1000 ? 1 : 97)) {
            const std::int64_t s = killSquare(k, r);
            ASSERT_LE(std::sqrt(static_cast<double>(s)), k * r) << k << " " << r;
            ASSERT_GT(std::sqrt(static_cast<double>(s + 1)), k * r) << k << " " << r;
            ASSERT_TRUE(k != 2.0 || s == 4LL * r * r) << r;
        }
    }
    EXPECT_THROW(killSquare(2.0, 1 << 25), std::length_error);
}

// Single steps only: the run is today's literal run, draw for draw.
TEST(LargeGrowthTest, LiteralWalkIsTheWindowsRunDrawForDraw) {
    SilentToolkit toolkit;
    Lattice window;
    RandomSource source(FastGenerator::seeded(31), toolkit);
    const GrowthResult today = Gerar_DLA(90, window, source, toolkit);
    LargeGrowth run(sized(90, {}, 1), FastGenerator::seeded(31));
    EXPECT_TRUE(run.grow());
    EXPECT_EQ(run.counters().particles, today.particles);
    EXPECT_EQ(run.counters().walkersKilled, today.walkersKilled);
    EXPECT_EQ(run.counters().steps, today.steps);
    EXPECT_EQ(run.launchRadius(), today.launchRadius);
    EXPECT_EQ(run.lattice().occupiedCount(), window.occupiedCount());
    for (const Site& c : run.lattice().arrivals()) ASSERT_TRUE(window.isOccupied(c.x, c.y));
}

// (N, M, particles if known): the run ends with the first particle outside the square of
// half-side round(N / 2) or with the M-th; the observer sees every particle in order.
using EndCase = std::tuple<std::optional<std::int32_t>, std::optional<std::int64_t>, int>;
class LargeGrowthEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(LargeGrowthEnd, WithTheFirstParticleOutsideTheSquareOrTheLast) {
    const auto [n, m, particles] = GetParam();
    LargeGrowth run(sized(n, m), FastGenerator::seeded(3));
    std::vector<StuckParticle> seen;
    EXPECT_TRUE(run.grow([&](const LargeGrowth&, const StuckParticle& p) { seen.push_back(p); }));
    EXPECT_TRUE(run.grow());  // a finished run stays finished
    ASSERT_EQ(static_cast<std::int64_t>(seen.size()), run.counters().particles);
    const auto outside = [&](Site c) {
        return n && std::max(std::abs(c.x), std::abs(c.y)) > *run.halfSide();
    };
    for (std::size_t i = 0; i < seen.size(); ++i) {
        ASSERT_EQ(seen[i].number, static_cast<std::int64_t>(i) + 1);
        ASSERT_FALSE(i + 1 < seen.size() && outside(seen[i].site)) << i;
    }
    EXPECT_TRUE((m && run.counters().particles == *m) || outside(seen.back().site));
    EXPECT_TRUE(particles == 0 || run.counters().particles == particles);
}

INSTANTIATE_TEST_SUITE_P(Conditions, LargeGrowthEnd,
                         ::testing::Values(EndCase{1, {}, 1}, EndCase{-7, {}, 1}, EndCase{2, {}, 0},
                                           EndCase{121, {}, 0}, EndCase{{}, 700, 700},
                                           EndCase{400, 90, 90}));

TEST(LargeGrowthTest, RefusesOptionsOutsideTheirRanges) {
    for (const LargeGrowthOptions& options :
         {LargeGrowthOptions{10, {}, 1.99}, LargeGrowthOptions{10, {}, std::nan("")},
          LargeGrowthOptions{10, {}, 1e9}, sized(10, 0), sized(10, {}, 0)}) {
        EXPECT_THROW(LargeGrowth(options, FastGenerator::seeded(1)), std::invalid_argument);
    }
}

// Stopped from its observer at particle 1500 and saved there, restored into a fresh object and
// grown on, a run ends with exactly the aggregate, counts and cell order of an uninterrupted one,
// which is the golden one: any change to the walk's behaviour changes it.
TEST(LargeGrowthTest, SavedAndRestoredRunEndsAsTheUninterruptedGoldenOne) {
    const LargeGrowthOptions options{{}, 4000, 2.7};
    LargeGrowth whole(options, FastGenerator::seeded(17)),
        first(options, FastGenerator::seeded(17));
    whole.grow();
    EXPECT_EQ(whole.launchRadius(), 120);
    EXPECT_EQ(whole.lattice().hash(), 6912395596011263842u);
    std::atomic<bool> stop{false};
    std::stringstream saved;
    EXPECT_FALSE(first.grow(
        [&](const LargeGrowth& run, const StuckParticle& p) {
            if (p.number == 1500) run.save(saved);
            stop = p.number == 1500;
        },
        &stop));
    EXPECT_EQ(first.counters().particles, 1500);
    const std::string bytes = saved.str();
    std::istringstream in(bytes);
    const std::unique_ptr<LargeGrowth> resumed = LargeGrowth::restore(in);
    EXPECT_TRUE(resumed->grow());
    EXPECT_EQ(resumed->lattice().arrivals(), whole.lattice().arrivals());
    EXPECT_EQ(resumed->lattice().hash(), whole.lattice().hash());
    EXPECT_EQ(resumed->launchRadius(), whole.launchRadius());
    const LargeGrowthCounters& a = resumed->counters();
    const LargeGrowthCounters& b = whole.counters();
    EXPECT_EQ(std::tuple(a.particles, a.walkersKilled, a.steps, a.jumps),
              std::tuple(b.particles, b.walkersKilled, b.steps, b.jumps));

    // Cut short, one byte changed, or not a saved state at all: refused.
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 4;
    for (const std::string& damaged :
         {bytes.substr(0, bytes.size() - 1), bytes.substr(0, 40), std::string("DLA"), flipped}) {
        std::istringstream bad(damaged);
        EXPECT_THROW(LargeGrowth::restore(bad), std::runtime_error);
    }
}

// --- Whole runs against the window's walkers ------------------------------------------------

// Particles, final R and radius of gyration of seeded runs of size n: large runs (walk 0) or
// the window's runs with `walk`.
std::vector<std::vector<double>> runs(std::int32_t n, int count, std::uint64_t seed, int walk) {
    std::vector<std::vector<double>> columns(3);
    SilentToolkit toolkit;
    Lattice window;
    for (std::uint64_t s = seed; s < seed + static_cast<std::uint64_t>(count); ++s) {
        std::vector<Site> cells;
        if (walk == 0) {
            LargeGrowth run(sized(n), FastGenerator::seeded(s));
            run.grow();
            cells.assign(run.lattice().arrivals().begin(), run.lattice().arrivals().end());
            columns[0].push_back(static_cast<double>(run.counters().particles));
            columns[1].push_back(run.launchRadius());
        } else {
            RandomSource source(FastGenerator::seeded(s), toolkit);
            const GrowthResult r =
                Gerar_DLA(n, window, source, toolkit, {walk == 1 ? Walk::Literal : Walk::Jump});
            for (int y = -r.launchRadius; y <= r.launchRadius; ++y)
                for (int x = -r.launchRadius; x <= r.launchRadius; ++x)
                    if (Lattice::contains(x, y) && window.isOccupied(x, y)) cells.push_back({x, y});
            columns[0].push_back(static_cast<double>(r.particles));
            columns[1].push_back(r.launchRadius);
        }
        double sx = 0, sy = 0, sr = 0;
        for (const Site& c : cells) {
            sx += c.x;
            sy += c.y;
            sr += static_cast<double>(c.x) * c.x + static_cast<double>(c.y) * c.y;
        }
        const auto k = static_cast<double>(cells.size());
        columns[2].push_back(std::sqrt(sr / k - (sx * sx + sy * sy) / (k * k)));
    }
    return columns;
}

// Two-sample Kolmogorov-Smirnov on each statistic; a p-value below 1e-4 rejects.
void expectSameLaw(const std::vector<std::vector<double>>& a,
                   const std::vector<std::vector<double>>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = test::kolmogorovSmirnovDistance(a[i], b[i]);
        const double p = test::kolmogorovSmirnovPValue(d, a[i].size(), b[i].size());
        const std::string name = std::vector<std::string>{"particles", "R", "gyration"}[i];
        EXPECT_GT(p, 1e-4) << name << ": D = " << d;
        ::testing::Test::RecordProperty(name + "_p", std::to_string(p));
    }
}

TEST(LargeWholeRunTest, GrowLikeLiteralRuns) {
    expectSameLaw(runs(200, 60, 1, 1), runs(200, 300, 700001, 0));
}

// At N = 1000 a literal run costs about 17 s; today's jump walker, which jump_growth_test shows
// to grow with the literal law, stands in for it.
TEST(LargeWholeRunLongTest, GrowLikeTodaysRunsAtTheLargestWindowSize) {
    expectSameLaw(runs(1000, 100, 1, 2), runs(1000, 150, 800001, 0));
}

}  // namespace
}  // namespace dla

#include "large_growth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "growth.h"
#include "kill_disc.h"
#include "lattice.h"

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

// From a cell inside the disc, a square reaches k cells out exactly while its far corner stays
// inside: for discs whose roots are all in the table and for one that is wider than the table.
TEST(LargeGrowthTest, KillDiscReachKeepsTheFarCornerInside) {
    const auto fits = [](std::int64_t s, std::int64_t a, std::int64_t b, std::int64_t k) {
        return (a + k) * (a + k) + (b + k) * (b + k) <= s;
    };
    for (const std::int64_t s : {std::int64_t{0}, std::int64_t{1}, std::int64_t{2},
                                 killSquare(2.7, 41), std::int64_t{1} << 44}) {
        const KillDisc disc(s);
        const auto r = static_cast<std::int64_t>(std::sqrt(static_cast<double>(s)));
        const auto check = [&](std::int64_t a, std::int64_t b) {
            const std::int64_t k = disc.cornerReach(a, b);
            ASSERT_TRUE(k >= 0 && fits(s, a, b, k) && !fits(s, a, b, k + 1))
                << s << " " << a << " " << b;
        };
        for (std::int64_t a = 0; a <= r; a += 1 + r / 300) {
            // Across the row, and its last three cells inside.
            auto last = static_cast<std::int64_t>(std::sqrt(static_cast<double>(s - a * a)));
            while (last * last + a * a > s) --last;
            while ((last + 1) * (last + 1) + a * a <= s) ++last;
            for (std::int64_t b = 0; b <= last; b += 1 + r / 300) check(a, b);
            for (std::int64_t b = std::max<std::int64_t>(0, last - 2); b <= last; ++b) check(a, b);
        }
    }
    EXPECT_THROW(KillDisc(-1), std::invalid_argument);
}

// Single steps only: the run is today's literal run, draw for draw, to the same end (h = 60 for
// N = 121: half-sides round to even).
TEST(LargeGrowthTest, LiteralWalkIsTheWindowsRunDrawForDraw) {
    SilentToolkit toolkit;
    Lattice window;
    RandomSource source(FastGenerator::seeded(31), toolkit);
    const GrowthResult today = Gerar_DLA(121, window, source, toolkit);
    LargeGrowth run(sized(121, {}, 1), FastGenerator::seeded(31));
    EXPECT_TRUE(run.grow());
    EXPECT_EQ(run.counters().particles, today.particles);
    EXPECT_EQ(run.counters().walkersKilled, today.walkersKilled);
    EXPECT_EQ(run.counters().steps, today.steps);
    EXPECT_EQ(run.launchRadius(), today.launchRadius);
    EXPECT_EQ(run.lattice().occupiedCount(), window.occupiedCount());
    for (const Site& c : run.lattice().arrivals()) ASSERT_TRUE(window.isOccupied(c.x, c.y));
}

// Told of each particle in order, stopped from its observer at particle 1500 and saved there,
// restored into a fresh object and grown on, a run ends with exactly the aggregate, counts and
// cell order of an uninterrupted one, which is the golden one: any change to the walk's
// behaviour changes it. It ends with its 4000th particle.
TEST(LargeGrowthTest, SavedAndRestoredRunEndsAsTheUninterruptedGoldenOne) {
    const LargeGrowthOptions options{{}, 4000, 2.7};
    LargeGrowth whole(options, FastGenerator::seeded(17)),
        first(options, FastGenerator::seeded(17));
    whole.grow();
    EXPECT_EQ(whole.counters().particles, 4000);
    EXPECT_EQ(whole.launchRadius(), 120);
    EXPECT_EQ(whole.lattice().hash(), 6912395596011263842u);
    std::atomic<bool> stop{false};
    std::stringstream saved;
    std::int64_t seen = 0;
    EXPECT_FALSE(first.grow(
        [&](const LargeGrowth& run, const StuckParticle& p) {
            ASSERT_EQ(p.number, ++seen);
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

    // Cut short, one byte changed, not a saved state at all, or forged with a correct checksum
    // and a stored deviate that no draw gives: refused.
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 4;
    std::string forged = bytes;
    const double stored = first.random().table().v[5], outside = 5.0;
    const std::size_t at = forged.find(std::string_view(reinterpret_cast<const char*>(&stored), 8));
    ASSERT_NE(at, std::string::npos);
    forged.replace(at, 8, reinterpret_cast<const char*>(&outside), 8);
    std::uint64_t sum = 0xcbf29ce484222325ULL;  // FNV-1a of everything before the checksum
    for (std::size_t i = 0; i + 8 < forged.size(); ++i)
        sum = (sum ^ static_cast<unsigned char>(forged[i])) * 0x100000001b3ULL;
    forged.replace(forged.size() - 8, 8, reinterpret_cast<const char*>(&sum), 8);
    for (const std::string& damaged : {bytes.substr(0, bytes.size() - 1), bytes.substr(0, 40),
                                       std::string("DLA"), flipped, forged}) {
        std::istringstream bad(damaged);
        EXPECT_THROW(LargeGrowth::restore(bad), std::runtime_error);
    }
}

}  // namespace
}  // namespace dla

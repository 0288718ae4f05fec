#include "large/large_growth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/site_list.h"
#include "large/kill_disc.h"
#include "window/growth.h"
#include "window/lattice.h"

namespace dla {
namespace {

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

// Sites come back in their order, each exactly: within 24 bits 6 bytes a site, and a chunk given
// one beyond them (mid-chunk, after narrow ones) widened without losing those before it.
TEST(SiteListTest, KeepsEverySiteInOrderNarrowOrWide) {
    constexpr std::int32_t kEdge = std::int32_t{1} << 23;
    std::vector<Site> sites;
    for (std::int32_t i = 0; i < 3 * 4096 + 5; ++i) sites.push_back({i - 6000, (i * 7919) % 20011 - 10000});
    sites[3] = {-kEdge, kEdge - 1};  // the narrow form's corners
    sites[4] = {kEdge - 1, -kEdge};
    const SiteList narrow(sites.begin(), sites.end());
    EXPECT_LT(narrow.memoryBytes(), 6 * 4 * 4096 + 1024) << "four chunks of 6 bytes a site";
    // One site beyond 24 bits in each of the last three chunks, each chunk narrow until then.
    sites[4097] = {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
    sites[9000] = {kEdge, 0};
    sites[3 * 4096 + 2] = {0, -kEdge - 1};
    SiteList list;
    for (const Site s : sites) list.push_back(s);
    ASSERT_EQ(list.size(), sites.size());
    for (std::size_t i = 0; i < sites.size(); ++i) ASSERT_EQ(list[i], sites[i]) << i;
    EXPECT_TRUE(std::equal(list.begin(), list.end(), sites.begin(), sites.end()));
    const SiteList copy = list;
    EXPECT_EQ(copy, list);
    EXPECT_FALSE(copy == narrow);
    EXPECT_EQ(std::tuple(list.front(), list.back()), std::tuple(sites.front(), sites.back()));
}

// Single steps only: the run is today's literal run, draw for draw, to the same end (h = 60 for
// N = 121: half-sides round to even).
TEST(LargeGrowthTest, LiteralWalkIsTheWindowsRunDrawForDraw) {
    SilentToolkit toolkit;
    Lattice window;
    RandomSource source(FastGenerator::seeded(31), toolkit);
    const GrowthResult today = Gerar_DLA(121, window, source, toolkit);
    LargeGrowth run({121, {}, 2.0, 1}, FastGenerator::seeded(31));
    EXPECT_TRUE(run.grow());
    EXPECT_EQ(std::tuple(run.counters().particles, run.counters().walkersKilled,
                         run.counters().steps, run.launchRadius()),
              std::tuple(today.particles, today.walkersKilled, today.steps, today.launchRadius));
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
    EXPECT_EQ(whole.launchRadius(), 112);
    EXPECT_EQ(whole.lattice().hash(), 11607466844795838989u);
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
    // Shedding the cells is for finished runs only; a finished one keeps its arrivals, hash
    // and saved state, and refuses to be asked of cells it no longer holds.
    first.shedCells();
    EXPECT_FALSE(first.lattice().shed());
    std::ostringstream unshed, shed;
    whole.save(unshed);
    const std::size_t held = whole.lattice().memoryBytes();
    whole.shedCells();
    whole.save(shed);
    EXPECT_EQ(shed.str(), unshed.str());
    EXPECT_EQ(whole.lattice().hash(), 11607466844795838989u);
    EXPECT_LT(whole.lattice().memoryBytes() * 100, held);
    EXPECT_THROW((void)whole.lattice().isOccupied(0, 0), std::logic_error);
    EXPECT_TRUE(whole.grow()) << "a finished run stays finished, without walking";
    std::istringstream in(saved.str());
    const std::unique_ptr<LargeGrowth> resumed = LargeGrowth::restore(in);
    EXPECT_TRUE(resumed->grow());
    EXPECT_EQ(resumed->lattice().arrivals(), whole.lattice().arrivals());
    EXPECT_EQ(resumed->lattice().hash(), whole.lattice().hash());
    EXPECT_EQ(resumed->launchRadius(), whole.launchRadius());
    const LargeGrowthCounters& a = resumed->counters();
    const LargeGrowthCounters& b = whole.counters();
    EXPECT_EQ(std::tuple(a.particles, a.walkersKilled, a.steps, a.jumps),
              std::tuple(b.particles, b.walkersKilled, b.steps, b.jumps));
    // The same state as the layout before walker versions wrote it (no version after the
    // layout's), which only the walker's version 1 wrote: its moves would not continue it.
    std::string before = saved.str();
    before.erase(12, 4);
    before[8] = 2;
    std::istringstream old(before);
    try {
        (void)LargeGrowth::restore(old);
        ADD_FAILURE() << "a state of version 1 restored";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("version 1; this program's walker is version 2"),
                  std::string::npos)
            << e.what();
    }
}

// A saved state with one field set to `value` at byte `at`.
template <class T>
std::string edited(std::string bytes, std::size_t at, T value) {
    char field[sizeof value];
    std::memcpy(field, &value, sizeof value);
    std::copy(field, field + sizeof value, bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

std::string savedAt(const LargeGrowthOptions& options, std::int64_t particles) {
    LargeGrowth run(options, FastGenerator::seeded(3));
    std::atomic<bool> stop{false};
    run.grow([&](const LargeGrowth&, const StuckParticle& p) { stop = p.number == particles; },
             &stop);
    std::ostringstream out;
    run.save(out);
    return out.str();
}

// States that no run reaches are refused before they are used, each for its own reason: a
// generator that cannot move, a run without an end, options and counts out of range, cells
// that no growth makes (memory then follows honest cells only), R and the end that the cells do
// not give, a seed that did not start the generator.
TEST(LargeGrowthTest, RestoreRefusesWhatNoRunReaches) {
    // Where the fields lie: the walker's version at 12, options from 16, R at 42, the flag at 46,
    // particles at 47, the generator at 79 and 111, its seed at 144, the shuffle table at 152,
    // the cells' count at 944, cells at 952.
    const std::string open = savedAt({{}, 300, 2.7}, 200);
    const std::string ended = savedAt({60, {}, 2.0}, 0);
    std::int32_t radius = 0;
    std::memcpy(&radius, open.data() + 42, 4);
    const std::array<std::uint64_t, 4> zero{};
    const std::string sized = edited(open, 16, std::uint8_t{1});  // a size of 0 so far
    const std::int64_t most = std::numeric_limits<std::int64_t>::max();
    // 100 cells in a line along +x, with the R they give: a growth that no run meets.
    std::string line = edited(open, 944, std::uint64_t{100});
    std::int32_t lineRadius = 4;
    for (std::int32_t i = 1; i < 100; ++i) {
        line = edited(line, 952 + 8 * static_cast<std::size_t>(i), Site{i, 0});
        lineRadius = launchRadiusAfter(lineRadius, {i, 0});
    }
    line = edited(line, 42, lineRadius);
    const std::pair<std::string, const char*> cases[] = {
        {open.substr(0, 951), "cut short"},
        {edited(open, 8, std::uint32_t{1}), "version"},
        {edited(open, 12, std::int32_t{7}),
         "jump walker's version 7; this program's walker is version 2,"},
        {edited(open, 79, zero), "cannot move"},
        {edited(open, 111, zero), "cannot move"},
        {edited(open, 21, std::uint8_t{0}), "neither a system size nor"},
        {edited(sized, 17, std::int32_t{-5}), "system size"},
        {edited(sized, 17, std::int32_t{0}), "system size"},
        {edited(open, 22, kMostParticles + 1), "particle limit"},
        {edited(open, 30, 16.5), "kill factor"},
        {edited(open, 30, std::nan("")), "kill factor"},
        {edited(open, 47, most), "count outside"},
        {edited(open, 47, std::int64_t{301}), "more particles than its limit"},
        {edited(open, 22, std::int64_t{150}), "more particles than its limit"},
        {edited(open, 144, std::uint64_t{4}), "a seed that its generator is not of"},
        {edited(open, 47, std::int64_t{5}), "more cells than particles"},
        {edited(open, 152 + 8 * 5, 5.0), "deviates that no draw gives"},
        {edited(open, 42, radius + 1), "launch radius its cells do not give"},
        {edited(open, 46, std::uint8_t{1}), "not reached its end"},
        {edited(ended, 46, std::uint8_t{0}), "past its end"},
        {edited(open, 952, Site{1, 0}), "not the seed"},
        {edited(open, 960, Site{2, 0}), "touches none"},
        {edited(open, 968, Site{0, 0}), "twice"},
        {edited(open, 968, Site{radius, 0}), "outside the launch circle"},
        {line, "a launch radius that grown cells never reach"},
    };
    for (const auto& [bytes, says] : cases) {
        std::istringstream in(bytes);
        try {
            LargeGrowth::restore(in);
            ADD_FAILURE() << "accepted: " << says;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace dla

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "estimate/fractal_dimension.h"
#include "estimate/large_estimate.h"
#include "estimate/sparse_box_counter.h"
#include "large/large_growth.h"
#include "measure/anisotropy.h"
#include "measure/growth_history.h"
#include "measure/statistics.h"
#include "window/growth.h"

namespace dla {
namespace {

// The large estimate, its boxes counted either way, against the window's on the same cells and
// seed: every draw and the slope bit for bit. The last row measures an aggregate grown at N = 100 as if N were
// 1000: the boxes' test cells are rarely occupied, so the direct sampler takes over mid-way.
TEST(LargeEstimateTest, MatchesTheWindowDrawForDraw) {
    for (const auto& [grownAt, measuredAt] :
         {std::pair{100, 100}, {357, 357}, {1000, 1000}, {100, 1000}}) {
        LargeGrowthOptions options;
        options.systemSize = grownAt;
        LargeGrowth run(options, FastGenerator::seeded(static_cast<std::uint64_t>(grownAt)));
        run.grow();
        Lattice lattice;
        for (const Site s : run.lattice().arrivals()) lattice.occupy(s.x, s.y);
        SilentToolkit toolkit;
        RandomSource window(FastGenerator::seeded(9), toolkit);
        const auto expected = Dimensão_Fractal(measuredAt, lattice, window, toolkit);
        ASSERT_TRUE(expected);
        EXPECT_EQ(expected->draws > kRejectedDrawLimit, grownAt != measuredAt);
        for (const auto counter : {EstimateCounter::Dense, EstimateCounter::Sparse}) {
            RandomSource large(FastGenerator::seeded(9), toolkit);
            const auto actual = largeBoxMassEstimate(measuredAt, run.lattice(), large, counter);
            ASSERT_TRUE(actual);
            EXPECT_EQ(actual->draws, expected->draws);
            EXPECT_EQ(actual->dimension, expected->dimension);
            FastGenerator left = large.generator(), right = window.generator();
            EXPECT_EQ(left.drawTicks(), right.drawTicks());
        }
    }
}

// Beyond the window's sizes: coordinates past 16 bits, sides past 2^15, a measurement that
// refuses below 100 and on nothing, and the size a particle-limited run is measured at.
TEST(LargeEstimateTest, MeasuresBeyondSixteenBitsAndRefusesWhatItCannot) {
    SilentToolkit toolkit;
    LargeLattice lattice;
    RandomSource random(FastGenerator::seeded(4), toolkit);
    EXPECT_FALSE(largeBoxMassEstimate(1000, lattice, random));
    // A full line longer than every box: each accepted box holds exactly L sites, so M(L) = L.
    for (int i = -80'000; i <= 80'000; ++i) lattice.occupy(i, 0);
    EXPECT_EQ(spanningSystemSize(lattice), 160'000);
    LargeLattice upright;  // spans by its farthest cell, along y here, on one side only
    for (int i = -300; i <= 500; ++i) upright.occupy(0, i);
    EXPECT_EQ(spanningSystemSize(upright), 1000);
    EXPECT_FALSE(largeBoxMassEstimate(99, lattice, random));
    for (const auto counter : {EstimateCounter::Dense, EstimateCounter::Sparse}) {
        const auto estimate = largeBoxMassEstimate(80'000, lattice, random, counter);
        ASSERT_TRUE(estimate);
        EXPECT_EQ(estimate->points.back().side, 36'000);
        EXPECT_NEAR(estimate->dimension, 1.0, 1e-12);
    }
}

// Sites spread over more than 2^16 cells each way, in clumps that straddle the places where a
// line's bands meet: every count, membership and visit equals a count site by site.
TEST(SparseBoxCounterTest, CountsAcrossBandsAsSiteBySite) {
    std::mt19937_64 g(9);
    const auto below = [&g](std::int32_t n) {
        return static_cast<std::int32_t>(g() % static_cast<std::uint64_t>(n));
    };
    std::vector<Site> sites;
    for (const Site centre : {Site{-70'000, 3}, Site{0, 0}, Site{65'535, -65'536},
                              Site{131'072, 90'000}, Site{-5, 131'071}}) {
        for (int i = 0; i < 300; ++i) {
            const Site s{centre.x + below(41) - 20, centre.y + below(41) - 20};
            if (std::find(sites.begin(), sites.end(), s) == sites.end()) sites.push_back(s);
        }
    }
    const SparseBoxCounter boxes(sites, SiteBounds::of(sites));
    const auto counted = [&](std::int64_t x0, std::int64_t y0, std::int64_t side) {
        return std::count_if(sites.begin(), sites.end(), [&](Site s) {
            return s.x >= x0 && s.x < x0 + side && s.y >= y0 && s.y < y0 + side;
        });
    };
    for (int i = 0; i < 2000; ++i) {
        const Site at = sites[static_cast<std::size_t>(below(static_cast<std::int32_t>(sites.size())))];
        const std::int32_t side = 1 << below(19);
        const Site corner{at.x - below(side + 1), at.y - below(side + 1)};
        ASSERT_EQ(boxes.count(corner.x, corner.y, side), counted(corner.x, corner.y, side))
            << corner.x << ", " << corner.y << ", " << side;
        EXPECT_TRUE(boxes.occupied(at.x, at.y));
        EXPECT_EQ(boxes.occupied(at.x + 1, at.y),
                  std::find(sites.begin(), sites.end(), Site{at.x + 1, at.y}) != sites.end());
    }
    std::vector<Site> visited;
    boxes.forEachIn(-65'540, 65'540, [&](std::int32_t x, std::int32_t y) { visited.push_back({x, y}); });
    std::vector<Site> inside;
    for (const Site s : sites)
        if (std::max(std::abs(s.x), std::abs(s.y)) <= 65'540) inside.push_back(s);
    std::sort(inside.begin(), inside.end(),
              [](Site a, Site b) { return std::pair(a.y, a.x) < std::pair(b.y, b.x); });
    EXPECT_EQ(visited, inside);
    // Boxes reaching past the last site of lines exactly one band long.
    const std::vector<Site> band{{0, 0},          {65'535, 0},      {7, 1},      {0, 65'535},
                                 {65'535, 40'000}, {65'535, 50'000}, {3, 50'001}};
    const SparseBoxCounter one(band, SiteBounds::of(band));
    for (const std::int32_t x0 : {0, 30'000, 60'000})
        for (const std::int32_t y0 : {0, 20'000, 45'000})
            for (const std::int32_t side : {5'000, 20'000, 36'000, 70'000})
                EXPECT_EQ(one.count(x0, y0, side),
                          std::count_if(band.begin(), band.end(), [&](Site s) {
                              return s.x >= x0 && s.x < x0 + side && s.y >= y0 && s.y < y0 + side;
                          }))
                    << x0 << ", " << y0 << ", " << side;
}

// Hand-built histories: a line grown from one end has dimension 1, a disc grown ring by ring 2;
// the running radius of gyration (about the centre of mass, not the seed) equals a direct
// computation; under a decade of points there is no dimension.
TEST(GrowthHistoryTest, LineDiscAndRunningRadius) {
    std::vector<Site> line, disc;
    for (int x = 0; x < 5000; ++x) line.push_back({x + 7, -3});
    for (int y = -60; y <= 60; ++y)
        for (int x = -60; x <= 60; ++x)
            if (x * x + y * y <= 3600) disc.push_back({x, y});
    std::ranges::stable_sort(disc, {}, [](Site s) { return s.x * s.x + s.y * s.y; });
    const GrowthHistory lineHistory = GrowthHistory::of(line);
    EXPECT_NEAR(*lineHistory.dimension(), 1.0, 0.01);
    EXPECT_NEAR(*GrowthHistory::of(disc).dimension(), 2.0, 0.05);
    // Sites 0..n-1 along a line: Rg^2 = (n^2 - 1) / 12.
    EXPECT_NEAR(lineHistory.radiusOfGyration(), std::sqrt((5000.0 * 5000.0 - 1) / 12), 1e-9);
    const std::vector<Site> short_(line.begin(), line.begin() + 99);
    EXPECT_FALSE(GrowthHistory::of(short_).dimension());
    // The arms reach as far as the sites go along each axis direction; recorded at 10 sites, 11
    // and so on (the grid of counts rounds to those first).
    const std::vector<Site> cross{{0, 0}, {1, 0}, {2, 0}, {-1, 0}, {0, 1},  {0, -1},
                                  {0, -2}, {3, 1}, {-5, 2}, {1, 1}, {0, -3}};
    const GrowthHistory crossHistory = GrowthHistory::of(cross);
    EXPECT_EQ(crossHistory.now().arms, (std::array<std::int32_t, 4>{3, 5, 2, 3}));
    ASSERT_EQ(crossHistory.points().size(), 2u);
    EXPECT_EQ(crossHistory.points()[0].sites, 10);
    EXPECT_EQ(crossHistory.points()[0].arms, (std::array<std::int32_t, 4>{3, 5, 2, 2}));
}

// The points sit at the rounded grid 10 * 10^(k/20), and the dimension is the slope over the
// last decade's grid counts, both ends in, each radius worked out directly from the sites so far.
// The sites turn a corner so that no two spans of the growth give the same slope.
TEST(GrowthHistoryTest, PointsOnTheGridAndTheLastDecadeWhole) {
    std::vector<Site> bent;
    for (int x = 0; x < 300; ++x) bent.push_back({x, 0});
    for (int y = 1; y <= 700; ++y) bent.push_back({0, y});
    const GrowthHistory history = GrowthHistory::of(bent);
    const std::vector<HistoryPoint>& points = history.points();
    ASSERT_EQ(points.size(), 41u);
    struct Point {
        double x, y;
    };
    std::vector<Point> lastDecade;
    for (int k = 0; k <= 40; ++k) {
        const auto sites = std::llround(10 * std::pow(10.0, k / 20.0));
        ASSERT_EQ(points[static_cast<std::size_t>(k)].sites, sites) << "point " << k;
        if (k < 20) continue;
        const std::vector<Site> prefix(bent.begin(), bent.begin() + sites);
        lastDecade.push_back({std::log(radiusOfGyration(prefix)), std::log(double(sites))});
    }
    EXPECT_NEAR(*history.dimension(), fitLine(lastDecade)->slope, 1e-9);
}

// A plus sign reads axial, an X diagonal, a disc about isotropic; the seed alone reads nothing.
TEST(AnisotropyTest, CrossDiagonalsAndDisc) {
    std::vector<Site> plus, cross, disc;
    for (int i = 1; i <= 400; ++i)
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            plus.push_back({dx * i, dy * i});
            cross.push_back({(dx + dy) * i, (dy - dx) * i});
        }
    for (int y = -300; y <= 300; ++y)
        for (int x = -300; x <= 300; ++x)
            if (x * x + y * y <= 90'000) disc.push_back({x, y});
    const auto a = measureAnisotropy(plus), b = measureAnisotropy(cross),
               c = measureAnisotropy(disc);
    EXPECT_EQ(std::tuple(a->harmonic, a->coneRatio.has_value()), std::tuple(1.0, false));
    EXPECT_EQ(std::tuple(b->harmonic, *b->coneRatio), std::tuple(-1.0, 0.0));
    EXPECT_NEAR(c->harmonic, 0.0, 0.01);
    EXPECT_NEAR(*c->coneRatio, 1.0, 0.03);
    EXPECT_EQ(a->sites, 4 * 301);  // distance 100 and beyond
    EXPECT_FALSE(measureAnisotropy(std::vector<Site>{{0, 0}}));
}

}  // namespace
}  // namespace dla

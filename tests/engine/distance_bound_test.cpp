#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "large/large_growth.h"
#include "large/large_lattice.h"
#include "random/generators.h"

// The large lattice's distance bound against D, the Chebyshev distance to the nearest cell that
// is occupied or has an occupied neighbour, found by brute force.
namespace dla {
namespace {

// D on the square |x|, |y| <= reach by breadth-first search in king moves from `cells` and their
// neighbours; -1 where no such cell lies in the square.
std::vector<int> bruteForceDistances(const std::vector<Site>& cells, int reach) {
    const int side = 2 * reach + 1;
    std::vector<int> d(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), -1);
    const auto at = [&](int x, int y) -> int& {
        return d[static_cast<std::size_t>((y + reach) * side + (x + reach))];
    };
    std::deque<Site> queue;
    for (const Site& c : cells) {
        for (const Site n :
             {c, Site{c.x + 1, c.y}, {c.x - 1, c.y}, {c.x, c.y + 1}, {c.x, c.y - 1}}) {
            if (std::max(std::abs(n.x), std::abs(n.y)) > reach) continue;
            if (at(n.x, n.y) != 0) queue.push_back(n);
            at(n.x, n.y) = 0;
        }
    }
    for (; !queue.empty(); queue.pop_front()) {
        const Site c = queue.front();
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const Site n{c.x + dx, c.y + dy};
                if (std::max(std::abs(n.x), std::abs(n.y)) > reach || at(n.x, n.y) >= 0) continue;
                at(n.x, n.y) = at(c.x, c.y) + 1;
                queue.push_back(n);
            }
        }
    }
    return d;
}

constexpr int kReach = 800;  // the brute force's square; every near cell lies well inside
constexpr int kSide = 2 * kReach + 1;

// A grown aggregate, or a cloud of 3000 scattered cells (many of them twice); then one cell so
// far out that the lattice's grids must grow around what they hold.
std::vector<Site> cellsFor(bool grown) {
    std::vector<Site> cells{{0, 0}};
    if (grown) {
        LargeGrowthOptions options;
        options.particleLimit = 4000;
        LargeGrowth run(options, FastGenerator::seeded(9));
        run.grow();
        cells.assign(run.lattice().arrivals().begin(), run.lattice().arrivals().end());
    }
    FastGenerator g = FastGenerator::seeded(5);
    for (int i = 0; i < (grown ? 0 : 3000); ++i) {
        const auto x = static_cast<std::int32_t>(g.draw() * 300) - 150;
        cells.push_back({x, static_cast<std::int32_t>(g.draw() * 60) - 30 + x / 3});
    }
    cells.push_back({9000, -6000});
    return cells;
}

class LargeLatticeBound : public ::testing::TestWithParam<bool> {};

// Against the brute force on every cell of a large square: never above D, exact near the
// aggregate, at most two block sides short farther out; the same from the cells in reverse
// order; useful, not merely safe, far beyond the aggregate. Each cell is kept once.
TEST_P(LargeLatticeBound, IsALowerBoundExactNearTheAggregateAndAFunctionOfTheCellsAlone) {
    const std::vector<Site> cells = cellsFor(GetParam());
    LargeLattice grown, reversed;
    std::int64_t added = 0;
    for (const Site& c : cells) added += grown.occupy(c.x, c.y);
    for (auto c = cells.rbegin(); c != cells.rend(); ++c) reversed.occupy(c->x, c->y);
    EXPECT_EQ(grown.occupiedCount(), added);
    EXPECT_EQ(grown.hash(), reversed.hash());
    EXPECT_TRUE(grown.isOccupied(cells.back().x, cells.back().y));

    const std::vector<int> d = bruteForceDistances(cells, kReach);
    int wrong = 0;
    for (int y = -kReach + 100; y <= kReach - 100; ++y) {
        for (int x = -kReach + 100; x <= kReach - 100; ++x) {
            const int exact = d[static_cast<std::size_t>((y + kReach) * kSide + (x + kReach))];
            const int b = grown.bound(x, y);
            const bool ok =
                b <= exact && b == reversed.bound(x, y) &&
                (exact < LargeLattice::kFineCap ? b == exact : b >= LargeLattice::kFineCap) &&
                b >= exact - 2 * (exact < 248 ? 8 : 64);
            if (!ok && ++wrong <= 5)
                ADD_FAILURE() << x << ", " << y << ": " << b << " of " << exact;
        }
    }
    EXPECT_EQ(wrong, 0);
    // Far beyond the aggregate: safe, and useful (within half of D, from the cells' neighbours).
    const auto nearest = [&cells](Site far) {
        int exact = 1 << 30;
        for (const Site& c : cells)
            for (const Site n :
                 {Site{c.x + 1, c.y}, {c.x - 1, c.y}, {c.x, c.y + 1}, {c.x, c.y - 1}})
                exact = std::min(exact, std::max(std::abs(far.x - n.x), std::abs(far.y - n.y)));
        return exact;
    };
    for (const Site far : {Site{40000, 3}, Site{-25000, 25000}, Site{7, -90000}}) {
        EXPECT_LE(grown.bound(far.x, far.y), nearest(far));
        EXPECT_GE(grown.bound(far.x, far.y), nearest(far) / 2);
    }
    // Safe all the way out from the outermost cell, diagonals too, where the coarse levels
    // give way to the free space.
    for (int r = 10'000; r <= 50'000; r += 250) {
        for (int k = 0; k < 16; ++k) {
            const double angle = std::atan(1.0) * k / 2.0;
            const Site far{static_cast<std::int32_t>(r * std::cos(angle)),
                           static_cast<std::int32_t>(r * std::sin(angle))};
            ASSERT_LE(grown.bound(far.x, far.y), nearest(far)) << far.x << ", " << far.y;
        }
    }
    // In line with the outermost cell, on its axis, the free space's bound is exact.
    LargeLattice arm;
    arm.occupy(0, 0);
    arm.occupy(12'000, 0);
    EXPECT_EQ(arm.bound(40'000, 0), 40'000 - 12'001);
    EXPECT_EQ(arm.bound(40'000, -5'000), 40'000 - 12'001);
}

INSTANTIATE_TEST_SUITE_P(GrownOrScattered, LargeLatticeBound, ::testing::Bool());

}  // namespace
}  // namespace dla

#include "distance_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "growth.h"
#include "recording_toolkit.h"

namespace dla {
namespace {

struct Window {
    int low, high, bottom, top;
};

Window clipped(int low, int high, int bottom, int top) {
    const int e = Lattice::kExtent;
    return {std::max(low, -e), std::min(high, e), std::max(bottom, -e), std::min(top, e)};
}

// Compares the map over `w` with a recomputation from the Lattice alone: every cell with an
// occupied neighbour near the window stamps its distances (capped at the map's cap) onto a fresh
// copy. The fine layer must equal that capped at fineCap(), the coarse layer (for every block
// wholly inside the window) its least value over the block, and bound() the coarse value or, below
// the threshold, the fine one. Returns the number of values that differ (the first few are
// reported).
int mismatches(const DistanceMap& map, const Lattice& lattice, Window w) {
    const int cap = map.cap();
    const int width = w.high - w.low + 1;
    std::vector<int> expected(static_cast<std::size_t>(width * (w.top - w.bottom + 1)), cap);
    auto want = [&](int x, int y) -> int& {
        return expected[static_cast<std::size_t>((y - w.bottom) * width + (x - w.low))];
    };
    const Window reach = clipped(w.low - cap, w.high + cap, w.bottom - cap, w.top + cap);
    for (int y = reach.bottom; y <= reach.top; ++y) {
        for (int x = reach.low; x <= reach.high; ++x) {
            if (!lattice.hasOccupiedNeighbour(x, y)) continue;
            for (int v = std::max(y - cap, w.bottom); v <= std::min(y + cap, w.top); ++v) {
                for (int u = std::max(x - cap, w.low); u <= std::min(x + cap, w.high); ++u) {
                    int& e = want(u, v);
                    e = std::min(e, std::max(std::abs(u - x), std::abs(v - y)));
                }
            }
        }
    }
    int wrong = 0;
    auto report = [&](const char* layer, int x, int y, int got, int expected) {
        if (++wrong <= 5) {
            ADD_FAILURE() << layer << " (" << x << ", " << y << "): map " << got << ", expected "
                          << expected;
        }
    };
    for (int y = w.bottom; y <= w.top; ++y) {
        for (int x = w.low; x <= w.high; ++x) {
            const int fine = std::min(want(x, y), map.fineCap());
            if (map.fine(x, y) != fine) report("fine", x, y, map.fine(x, y), fine);
        }
    }
    // Blocks start at x, y = -1000 + 4k; the last one per axis holds only x or y = 1000.
    constexpr int b = DistanceMap::kBlock;
    const int e = Lattice::kExtent;
    for (int by = w.bottom + (((w.bottom + e) % b) ? b - (w.bottom + e) % b : 0);
         by + b - 1 <= std::min(w.top, e - 1); by += b) {
        for (int bx = w.low + (((w.low + e) % b) ? b - (w.low + e) % b : 0);
             bx + b - 1 <= std::min(w.high, e - 1); bx += b) {
            int least = cap;
            for (int y = by; y < by + b; ++y)
                for (int x = bx; x < bx + b; ++x) least = std::min(least, want(x, y));
            if (map.coarse(bx, by) != least) report("coarse", bx, by, map.coarse(bx, by), least);
            for (int y = by; y < by + b; ++y) {
                for (int x = bx; x < bx + b; ++x) {
                    const int bound =
                        least >= map.threshold() ? least : std::min(want(x, y), map.fineCap());
                    if (map.bound(x, y) != bound) report("bound", x, y, map.bound(x, y), bound);
                }
            }
        }
    }
    return wrong;
}

int mismatchesAnywhere(const DistanceMap& map, const Lattice& lattice) {
    const int e = Lattice::kExtent;
    return mismatches(map, lattice, {-e, e, -e, e});
}

// The particles of one seeded run, in the order they stuck.
std::vector<std::pair<int, int>> particlesOfARun(std::int32_t n, std::uint64_t seed) {
    RecordingToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(seed), toolkit);
    (void)Gerar_DLA(n, lattice, source, toolkit, {Walk::Jump});
    std::vector<std::pair<int, int>> sites;
    for (const auto& call : toolkit.calls) {
        if (call.kind == RecordingToolkit::Kind::Plot) sites.emplace_back(call.a, call.b);
    }
    return sites;
}

struct FollowCase {
    int cap;
    int checkEvery;  // particles between comparisons
};

void PrintTo(const FollowCase& c, std::ostream* os) {
    *os << "cap " << c.cap << ", checked every " << c.checkEvery;
}

class DistanceMapFollowsARun : public ::testing::TestWithParam<FollowCase> {};

TEST_P(DistanceMapFollowsARun, AgreesWithARecomputationAfterEveryParticle) {
    const auto [cap, checkEvery] = GetParam();
    const auto sites = particlesOfARun(60, 17);
    ASSERT_GT(sites.size(), 200u);
    Lattice lattice;
    DistanceMap map(cap);
    map.sync(lattice);
    int reach = 0;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const auto [x, y] = sites[i];
        lattice.occupy(x, y);
        map.addOccupied(lattice, x, y);
        reach = std::max({reach, std::abs(x), std::abs(y)});
        if (i % static_cast<std::size_t>(checkEvery) != 0 && i + 1 != sites.size()) continue;
        const int r = reach + cap + 2;
        ASSERT_EQ(mismatches(map, lattice, clipped(-r, r, -r, r)), 0) << "after particle " << i;
    }
    EXPECT_EQ(mismatchesAnywhere(map, lattice), 0);
}

INSTANTIATE_TEST_SUITE_P(Caps, DistanceMapFollowsARun,
                         ::testing::Values(FollowCase{1, 1}, FollowCase{8, 1}, FollowCase{32, 10},
                                           FollowCase{64, 40}),
                         [](const auto& info) { return "Cap" + std::to_string(info.param.cap); });

TEST(DistanceMapTest, RebuildsAfterChangesItWasNotToldOf) {
    Lattice lattice;
    DistanceMap map(16);
    map.sync(lattice);
    lattice.occupy(0, 0);
    map.addOccupied(lattice, 0, 0);
    // A nested run would change the Lattice behind the map's back.
    lattice.occupy(30, 30);
    lattice.occupy(31, 30);
    map.sync(lattice);
    EXPECT_EQ(mismatches(map, lattice, {-60, 60, -60, 60}), 0);

    // Told of the second of two new cells, it notices the first.
    lattice.occupy(-40, 5);
    lattice.occupy(-41, 5);
    map.addOccupied(lattice, -41, 5);
    EXPECT_EQ(mismatches(map, lattice, {-60, 60, -60, 60}), 0);

    // An already occupied cell changes nothing.
    lattice.occupy(0, 0);
    map.addOccupied(lattice, 0, 0);
    EXPECT_EQ(mismatches(map, lattice, {-60, 60, -60, 60}), 0);

    // A cleared Lattice leaves every cell at the cap, the seed's surroundings included.
    lattice.clear();
    map.sync(lattice);
    EXPECT_EQ(mismatchesAnywhere(map, lattice), 0);
}

TEST(DistanceMapTest, StampsStopAtTheLatticeEdge) {
    Lattice lattice;
    DistanceMap map(64);
    const int e = Lattice::kExtent;
    const std::vector<std::pair<int, int>> cells{{-e, -e}, {e, e},      {e, 3},
                                                 {-4, e},  {e - 1, -e}, {-e + 1, 0}};
    map.sync(lattice);
    for (const auto& [x, y] : cells) {
        lattice.occupy(x, y);
        map.addOccupied(lattice, x, y);
    }
    EXPECT_EQ(mismatchesAnywhere(map, lattice), 0);
    // The same from a rebuild.
    DistanceMap fresh(64);
    fresh.sync(lattice);
    EXPECT_EQ(mismatchesAnywhere(fresh, lattice), 0);
}

TEST(DistanceMapTest, RefusesCapsOutsideOneTo255) {
    EXPECT_THROW(DistanceMap(0), std::invalid_argument);
    EXPECT_THROW(DistanceMap(256), std::invalid_argument);
    EXPECT_EQ(DistanceMap(255).cap(), 255);
}

}  // namespace
}  // namespace dla

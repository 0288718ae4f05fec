#include "distance_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "growth.h"
#include "recording_toolkit.h"

namespace dla {
namespace {

// Cells with |x|, |y| <= reach where the map breaks its promise, against D recomputed from the
// Lattice (each cell with an occupied neighbour stamps its Chebyshev distances around it): bound()
// never above min(D, cap), at most kBlock - 1 below it, and equal to it near the aggregate
// (below kFineCap - kBlock + 1), so 0 exactly where a neighbour is occupied.
int mismatches(const DistanceMap& map, int cap, const Lattice& lattice, int reach) {
    const int e = Lattice::kExtent, low = std::max(-reach, -e), high = std::min(reach, e),
              w = high - low + 1;
    std::vector<int> d(static_cast<std::size_t>(w * w), cap);
    for (int y = std::max(low - cap, -e); y <= std::min(high + cap, e); ++y)
        for (int x = std::max(low - cap, -e); x <= std::min(high + cap, e); ++x) {
            if (!lattice.hasOccupiedNeighbour(x, y)) continue;
            for (int v = std::max(y - cap, low); v <= std::min(y + cap, high); ++v)
                for (int u = std::max(x - cap, low); u <= std::min(x + cap, high); ++u) {
                    int& du = d[static_cast<std::size_t>((v - low) * w + (u - low))];
                    du = std::min(du, std::max(std::abs(u - x), std::abs(v - y)));
                }
        }
    int wrong = 0;
    for (int y = low; y <= high; ++y)
        for (int x = low; x <= high; ++x) {
            const int want = d[static_cast<std::size_t>((y - low) * w + (x - low))];
            const int got = map.bound(x, y, Lattice::index(x, y));
            wrong += got > want || got < want - (DistanceMap::kBlock - 1) ||
                     (want <= DistanceMap::kFineCap - DistanceMap::kBlock && got != want);
        }
    return wrong;
}

// Told of each particle of a run as it sticks, then of two cells of which it was told one (a
// nested run does that), of cells on the Lattice's edge, and of a clear.
TEST(DistanceMapTest, AgreesWithARecomputation) {
    test::RecordingToolkit run;
    Lattice grown;
    RandomSource source(FastGenerator::seeded(17), run);
    (void)Gerar_DLA(60, grown, source, run, {Walk::Jump});
    for (const int cap : {8, 64}) {
        Lattice lattice;
        DistanceMap map(cap);
        map.sync(lattice);
        int particles = 0;
        for (const auto& call : run.calls) {
            if (call.kind != test::RecordingToolkit::Kind::Plot) continue;
            lattice.occupy(call.a, call.b);
            map.addOccupied(lattice, call.a, call.b);
            if (++particles % (cap == 8 ? 1 : 50) == 0) {
                ASSERT_EQ(mismatches(map, cap, lattice, 40 + cap), 0) << particles;
            }
        }
        for (const auto& [x, y] :
             {std::pair{70, 70}, {-70, 71}, {-1000, -1000}, {1000, 1000}, {1000, 3}, {-4, 1000}}) {
            lattice.occupy(x, y);
            if (x != 70) map.addOccupied(lattice, x, y);
        }
        EXPECT_EQ(mismatches(map, cap, lattice, 1000), 0);
        lattice.clear();
        map.sync(lattice);
        EXPECT_EQ(mismatches(map, cap, lattice, 1000), 0);
    }
}

}  // namespace
}  // namespace dla

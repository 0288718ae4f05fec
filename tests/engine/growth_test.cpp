#include "window/growth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>

#include "recording_toolkit.h"

namespace dla {

namespace {

using test::RecordingToolkit;

// The run ends with the first particle that sticks outside the square of half-side h, and only
// then: every particle plotted before it lies inside (h = 10 for N = 20, 12 for N = 23).
TEST(GrowthTest, EndsWithTheFirstParticleOutsideTheSquare) {
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        RecordingToolkit toolkit;
        Lattice lattice;
        RandomSource source(FastGenerator::seeded(seed), toolkit);
        const std::int32_t n = seed % 2 ? 20 : 23;
        ASSERT_TRUE(Gerar_DLA(n, lattice, source, toolkit).finished);
        std::vector<int> reach;  // max(|x|, |y|) of each plotted site
        for (const auto& c : toolkit.calls)
            if (c.kind == RecordingToolkit::Kind::Plot)
                reach.push_back(std::max(std::abs(c.a), std::abs(c.b)));
        ASSERT_GT(reach.back(), halfSideFor(n)) << seed;
        ASSERT_LE(*std::max_element(reach.begin(), reach.end() - 1), halfSideFor(n)) << seed;
    }
}

// Any change to the walk's behaviour changes this (it was taken where the engine matched a plain
// transcription of the growth on the same draws, call for call).
TEST(GrowthTest, GoldenSeededAggregate) {
    SilentToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(1), toolkit);
    const GrowthResult run = Gerar_DLA(200, lattice, source, toolkit);
    EXPECT_EQ(std::tuple(run.particles, run.launchRadius, lattice.hash()),
              std::tuple(3086, 104, 15904497717059387771u));
}

// The largest size: R passes 500, the kill disc reaches past the grid's edge, and walkers meet
// its outermost ring; nothing is read or written outside (the sanitizer build checks that too).
TEST(GrowthLongTest, LargestRunStaysInsideTheLattice) {
    SilentToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(1000), toolkit);
    const GrowthResult run = Gerar_DLA(kLargestSystemSize, lattice, source, toolkit);
    EXPECT_TRUE(run.finished && run.particles > 20000 && run.launchRadius > 500);
    for (int i = -1000; i <= 1000; ++i)
        ASSERT_FALSE(lattice.isOccupied(i, 1000) || lattice.isOccupied(1000, i) ||
                     lattice.isOccupied(i, -1000) || lattice.isOccupied(-1000, i));
}

}  // namespace
}  // namespace dla

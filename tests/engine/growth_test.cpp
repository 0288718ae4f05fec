#include "growth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>

#include "recording_toolkit.h"
#include "reference_model.h"
#include "walk.h"

namespace dla {

void PrintTo(Walk walk, std::ostream* os) {
    *os << (walk == Walk::Jump ? "jump" : "literal");
}

namespace {

using test::RecordingToolkit;

std::string walkName(const ::testing::TestParamInfo<Walk>& info) {
    return info.param == Walk::Jump ? "Jump" : "Literal";
}

// The engine against the plain transcription on the same draws: the same toolkit calls, the same
// Lattice, the same draws used. The jump walker held to single steps is the literal walk.
class MatchesPlainTranscription
    : public ::testing::TestWithParam<std::tuple<std::int32_t, std::uint64_t, Walk>> {};

TEST_P(MatchesPlainTranscription, SameCallsSameAggregateSameDraws) {
    const auto [n, seed, walk] = GetParam();
    RecordingToolkit fastCalls, plainCalls;
    Lattice lattice;
    reference::PlainLattice plain;
    RandomSource fast(FastGenerator::seeded(seed), fastCalls);
    RandomSource slow(FastGenerator::seeded(seed), plainCalls);
    const GrowthResult a = Gerar_DLA(n, lattice, fast, fastCalls, {walk, 1});
    const GrowthResult b = reference::gerarDla(n, plain, slow, plainCalls);
    EXPECT_EQ(std::tie(a.particles, a.steps, a.walkersKilled, a.launchRadius, a.jumps),
              std::tie(b.particles, b.steps, b.walkersKilled, b.launchRadius, b.jumps));
    EXPECT_EQ(fastCalls.calls, plainCalls.calls);
    for (int y = -1000; y <= 1000; ++y)
        for (int x = -1000; x <= 1000; ++x)
            if (lattice(x, y) != plain(x, y)) FAIL() << "cell " << x << "," << y;
    EXPECT_EQ(fast.next(), slow.next());
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, MatchesPlainTranscription,
    ::testing::Values(std::tuple{0, 1, Walk::Literal}, std::tuple{7, 3, Walk::Literal},
                      std::tuple{50, 4, Walk::Literal}, std::tuple{101, 5, Walk::Literal},
                      std::tuple{200, 6, Walk::Literal}, std::tuple{2, 7, Walk::Jump},
                      std::tuple{150, 9, Walk::Jump}));

// Any change to either walker's behaviour changes these.
TEST(GrowthTest, GoldenSeededAggregates) {
    for (const auto& [walk, particles, jumps, hash] :
         {std::tuple{Walk::Literal, 3086, 0, 15904497717059387771u},
          {Walk::Jump, 2669, 52494, 17378652680457079203u}}) {
        SilentToolkit toolkit;
        Lattice lattice;
        RandomSource source(FastGenerator::seeded(1), toolkit);
        const GrowthResult run = Gerar_DLA(200, lattice, source, toolkit, {walk});
        EXPECT_EQ(std::tuple(run.particles, run.jumps, run.launchRadius, lattice.hash()),
                  std::tuple(particles, jumps, 104, hash));
    }
}

// The largest size: R passes 500, the kill disc reaches past the grid's edge, and walkers meet
// its outermost ring; nothing is read or written outside (the sanitizer build checks that too).
class GrowthLongTest : public ::testing::TestWithParam<Walk> {};

TEST_P(GrowthLongTest, LargestRunStaysInsideTheLattice) {
    SilentToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(1000), toolkit);
    const GrowthResult run = Gerar_DLA(kLargestSystemSize, lattice, source, toolkit, {GetParam()});
    EXPECT_TRUE(run.finished && run.particles > 20000 && run.launchRadius > 500);
    for (int i = -1000; i <= 1000; ++i)
        ASSERT_FALSE(lattice.isOccupied(i, 1000) || lattice.isOccupied(1000, i) ||
                     lattice.isOccupied(i, -1000) || lattice.isOccupied(-1000, i));
}

INSTANTIATE_TEST_SUITE_P(Walkers, GrowthLongTest, ::testing::Values(Walk::Literal, Walk::Jump),
                         walkName);

}  // namespace
}  // namespace dla

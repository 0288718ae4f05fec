#include "growth.h"

#include <gtest/gtest.h>

#include <cmath>

#include "fractal_dimension.h"
#include "recording_toolkit.h"
#include "reference_model.h"
#include "scripted_draws.h"
#include "walk.h"

namespace dla {
namespace {

using testing::drawsReturning;
using testing::stepDeviate;
using Kind = RecordingToolkit::Kind;

const double kPi = std::atan(1.0) * 4.0;

struct ReleaseCase {
    double u;
    Site site;
};

void PrintTo(const ReleaseCase& c, std::ostream* os) {
    *os << "u = " << c.u;
}

class ReleasePoint : public ::testing::TestWithParam<ReleaseCase> {};

TEST_P(ReleasePoint, CoordinatesAreFloored) {
    EXPECT_EQ(releasePoint(4, GetParam().u, kPi), GetParam().site);
}

// 0.75 gives (-1, -4): 4 cos(3 pi / 2) is a tiny negative number, floored to -1.
INSTANTIATE_TEST_SUITE_P(RadiusFour, ReleasePoint,
                         ::testing::Values(ReleaseCase{0.0, {4, 0}}, ReleaseCase{0.125, {2, 2}},
                                           ReleaseCase{0.25, {0, 4}}, ReleaseCase{0.5, {-4, 0}},
                                           ReleaseCase{0.75, {-1, -4}}));

TEST(ReleasePointTest, NoReleasePointOfTheFirstWalkerTouchesTheSeed) {
    for (int i = 0; i < 100000; ++i) {
        const Site s = releasePoint(4, i / 100000.0, kPi);
        ASSERT_GT(std::abs(s.x) + std::abs(s.y), 1) << i;
    }
}

// A source whose ordinary calls return `outputs` (the first is taken by the re-initialisation).
RandomSource<ScriptedGenerator> sourceReturning(const std::vector<double>& outputs,
                                                Toolkit& toolkit) {
    RandomSource<ScriptedGenerator> source(ScriptedGenerator(drawsReturning(outputs)), toolkit);
    (void)source.Random(-1);
    return source;
}

struct WalkTest : ::testing::Test {
    RecordingToolkit toolkit;
    Lattice lattice;
    std::int64_t steps = 0;

    WalkEnd walk(Site from, std::vector<int> directions, int radius) {
        std::vector<double> outputs{0.0};
        for (int k : directions) outputs.push_back(stepDeviate(k));
        auto source = sourceReturning(outputs, toolkit);
        lattice.setKillRadius(radius);
        return walkLiteral(lattice, source, from, steps);
    }
};

TEST_F(WalkTest, KillDistanceIsStrictlyBeyondTwiceTheRadius) {
    lattice.occupy(0, 0);
    // From (7, 0): to (8, 0), where D = 8 = 2R, it walks on; at (9, 0) it is killed.
    const WalkEnd end = walk({7, 0}, {1, 1}, 4);
    EXPECT_EQ(end.outcome, WalkOutcome::Killed);
    EXPECT_EQ(end.at, Lattice::index(9, 0));
    EXPECT_EQ(steps, 2);
    // (6, 6), D = 8.49, kills at once.
    EXPECT_EQ(walk({6, 5}, {3}, 4).outcome, WalkOutcome::Killed);
}

TEST_F(WalkTest, SticksBesideTheAggregateAndAtReleaseWithoutAStep) {
    lattice.occupy(0, 0);
    lattice.occupy(1, 0);
    const WalkEnd end = walk({4, 0}, {2, 2}, 4);
    EXPECT_EQ(end.outcome, WalkOutcome::Stuck);
    EXPECT_EQ(end.at, Lattice::index(2, 0));
    steps = 0;
    EXPECT_EQ(walk({0, 1}, {}, 4).at, Lattice::index(0, 1));
    EXPECT_EQ(walk({1, 0}, {}, 4).at, Lattice::index(1, 0));  // onto an occupied cell
    EXPECT_EQ(steps, 0);
}

TEST_F(WalkTest, TheOutermostRingDropsTheWalkerBeforeItCouldReadOutside) {
    lattice.occupy(0, 0);
    // With R = 600 the kill distance lies beyond the grid's side.
    WalkEnd end = walk({998, 0}, {1, 1}, 600);
    EXPECT_EQ(end.outcome, WalkOutcome::Dropped);
    EXPECT_EQ(end.at, Lattice::index(1000, 0));
    EXPECT_EQ(walk({-3, -999}, {4}, 600).outcome, WalkOutcome::Dropped);
    EXPECT_EQ(walk({1000, 0}, {}, 600).outcome, WalkOutcome::Dropped);
    EXPECT_EQ(walk({5000, 0}, {}, 600).outcome, WalkOutcome::Dropped);
    // Beyond the kill distance as well: killed comes first.
    EXPECT_EQ(walk({999, 999}, {1}, 600).outcome, WalkOutcome::Killed);
}

// The whole call sequence of a run with N = 0: one particle, beside the seed, ends it.
TEST(GrowthTest, SmallestRunShowsStatusPlotsAndYieldsInOrder) {
    RecordingToolkit toolkit;
    Lattice lattice;
    // Release at u = 0, (4, 0); three steps toward the seed stick at (1, 0).
    RandomSource<ScriptedGenerator> source(
        ScriptedGenerator(
            drawsReturning({0.0, 0.0, stepDeviate(2), stepDeviate(2), stepDeviate(2)})),
        toolkit);
    const GrowthResult result = Gerar_DLA(0, lattice, source, toolkit);

    using Call = RecordingToolkit::Call;
    const std::vector<Call> expected{
        Call::status("Iniciando..."),
        Call::yielded(),
        Call::plot(0, 0, paletteColour(2)),
        Call::status(""),
        Call::yielded(),
        Call::plot(1, 0, paletteColour(10)),
        Call::yielded(),
    };
    EXPECT_EQ(toolkit.calls, expected);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.particles, 1);
    EXPECT_EQ(result.steps, 3);
    EXPECT_EQ(result.launchRadius, 4);
    EXPECT_EQ(result.halfSide, 0);
    EXPECT_EQ(lattice.occupiedCount(), 2);
    EXPECT_EQ(lattice(1, 0), -1);
    // One re-initialisation (197 draws), then 2 draws for the release and 2 per step.
    EXPECT_EQ(source.generator().reseedCount(), 1u);
    EXPECT_EQ(source.generator().drawCount(), 197u + 2u + 3u * 2u);
    EXPECT_EQ(paletteColour(2), (Rgb{0, 128, 0}));
    EXPECT_EQ(paletteColour(10), (Rgb{0, 255, 0}));
}

class SingleParticleRun : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(SingleParticleRun, EndsWithTheFirstParticle) {
    RecordingToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(5), toolkit);
    const GrowthResult result = Gerar_DLA(GetParam(), lattice, source, toolkit);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.particles, 1);
    EXPECT_EQ(result.launchRadius, 4);
    EXPECT_EQ(lattice.occupiedCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(SizesUpToOne, SingleParticleRun,
                         ::testing::Values(1, 0, -1, -2, -1000, kSmallestSystemSize));

TEST(GrowthTest, SizesOutsideTheRangeAreRefusedBeforeAnythingHappens) {
    for (const std::int32_t n : {kLargestSystemSize + 1, kSmallestSystemSize - 1, 2147483647}) {
        RecordingToolkit toolkit;
        Lattice lattice;
        lattice.occupy(5, 5);
        RandomSource source(FastGenerator::seeded(5), toolkit);
        EXPECT_THROW((void)Gerar_DLA(n, lattice, source, toolkit), std::invalid_argument) << n;
        EXPECT_TRUE(toolkit.calls.empty());
        EXPECT_EQ(lattice(5, 5), -1);
    }
}

TEST(GrowthTest, TheSquareIsClosedAndTheLastParticleIsMarked) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        RecordingToolkit toolkit;
        Lattice lattice;
        RandomSource source(FastGenerator::seeded(seed), toolkit);
        const GrowthResult result = Gerar_DLA(2, lattice, source, toolkit);
        ASSERT_EQ(result.halfSide, 1);
        std::vector<RecordingToolkit::Call> plots;
        for (const auto& c : toolkit.calls)
            if (c.kind == Kind::Plot) plots.push_back(c);
        ASSERT_EQ(static_cast<std::int64_t>(plots.size()), result.particles + 1);
        for (std::size_t i = 1; i + 1 < plots.size(); ++i) {
            EXPECT_LE(std::abs(plots[i].a), 1);
            EXPECT_LE(std::abs(plots[i].b), 1);
        }
        EXPECT_EQ(std::max(std::abs(plots.back().a), std::abs(plots.back().b)), 2);
        EXPECT_EQ(lattice(plots.back().a, plots.back().b), -1);
    }
}

struct RadiusCase {
    std::int16_t before;
    Site stuck;
    std::int16_t after;
};

void PrintTo(const RadiusCase& c, std::ostream* os) {
    *os << "R = " << c.before << " at " << c.stuck.x << "," << c.stuck.y;
}

class LaunchRadiusUpdate : public ::testing::TestWithParam<RadiusCase> {};

TEST_P(LaunchRadiusUpdate, FollowsTheStuckParticle) {
    EXPECT_EQ(launchRadiusAfter(GetParam().before, GetParam().stuck), GetParam().after);
}

// (3, 2): D = 3.61 leaves R; (3, 3): D = 4.24, and (4, 0): D = 4, raise it to 8; a walker that
// sticks at its release point (12, 0) with R = 12 raises it to 16.
INSTANTIATE_TEST_SUITE_P(Cases, LaunchRadiusUpdate,
                         ::testing::Values(RadiusCase{4, {3, 2}, 4}, RadiusCase{4, {3, 3}, 8},
                                           RadiusCase{4, {4, 0}, 8}, RadiusCase{4, {-4, 0}, 8},
                                           RadiusCase{12, {12, 0}, 16}, RadiusCase{12, {8, -8}, 12},
                                           RadiusCase{100, {-60, -80}, 104},
                                           RadiusCase{4, {0, 1}, 4}));

TEST(GrowthTest, RadiusGrowsByAtLeastFourWhenAParticleSticksAtOrBeyondIt) {
    // Rebuild R from the plotted sites of a seeded run and compare with the run's own R.
    RecordingToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(11), toolkit);
    const GrowthResult result = Gerar_DLA(120, lattice, source, toolkit);
    int r = 4;
    int raises = 0;
    for (const auto& c : toolkit.calls) {
        if (c.kind != Kind::Plot || c.colour == paletteColour(2)) continue;
        const double d = std::sqrt(static_cast<double>(c.a * c.a + c.b * c.b));
        if (std::floor(d) >= r) {
            const int next = static_cast<int>(std::floor(d + 4.0));
            EXPECT_GE(next - r, 4);
            r = next;
            ++raises;
        }
    }
    EXPECT_EQ(result.launchRadius, r);
    EXPECT_GT(raises, 5);
}

TEST(GrowthTest, AYieldThatSaysStopEndsTheRunAtOnce) {
    RecordingToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(3), toolkit);
    int yields = 0;
    toolkit.onYield = [&] { return ++yields < 12; };
    const GrowthResult result = Gerar_DLA(200, lattice, source, toolkit);
    EXPECT_FALSE(result.finished);
    EXPECT_EQ(yields, 12);
    EXPECT_EQ(result.particles, 10);
    EXPECT_EQ(toolkit.calls.back().kind, Kind::Yield);
    EXPECT_LE(lattice.occupiedCount(), 11);

    RecordingToolkit early;
    early.onYield = [] { return false; };
    Lattice untouched;
    untouched.occupy(3, 3);
    EXPECT_FALSE(Gerar_DLA(200, untouched, source, early).finished);
    EXPECT_EQ(untouched(3, 3), -1);  // stopped before the Lattice was cleared
}

// A run started from a yield of another, and an estimate during a run: both finish, and the
// outer run goes on, on the Lattice the nested one left, with everything consistent.
TEST(GrowthTest, NestedRunsAndEstimatesFromAYieldStayConsistent) {
    RecordingToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(17), toolkit);
    int yields = 0;
    GrowthResult nested;
    std::optional<DimensionEstimate> estimate;
    toolkit.onYield = [&] {
        ++yields;
        if (yields == 1)
            estimate = Dimensão_Fractal(150, lattice, source, toolkit);  // empty Lattice
        if (yields == 30) nested = Gerar_DLA(60, lattice, source, toolkit);
        if (yields == 500) estimate = Dimensão_Fractal(150, lattice, source, toolkit);
        return true;
    };
    const GrowthResult outer = Gerar_DLA(150, lattice, source, toolkit);
    EXPECT_TRUE(nested.finished);
    EXPECT_TRUE(outer.finished);
    ASSERT_TRUE(estimate.has_value());
    EXPECT_GT(estimate->dimension, 1.0);
    const auto messages = toolkit.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], kEstimateRefusal);
    // Every occupied cell's neighbours know it.
    for (int y = -200; y <= 200; ++y)
        for (int x = -200; x <= 200; ++x)
            if (lattice.isOccupied(x, y)) {
                ASSERT_TRUE(lattice.hasOccupiedNeighbour(x + 1, y));
                ASSERT_TRUE(lattice.hasOccupiedNeighbour(x, y - 1));
            }
}

// The fast walk against the plain transcription, on the same draws.
struct EquivalenceCase {
    std::int32_t n;
    std::uint64_t seed;
};

void PrintTo(const EquivalenceCase& c, std::ostream* os) {
    *os << "N = " << c.n << " seed " << c.seed;
}

class MatchesPlainTranscription : public ::testing::TestWithParam<EquivalenceCase> {};

TEST_P(MatchesPlainTranscription, SameLatticeSameCallsSameDraws) {
    const auto [n, seed] = GetParam();
    RecordingToolkit fastCalls, plainCalls;
    Lattice lattice;
    reference::PlainLattice plain;
    RandomSource fast(FastGenerator::seeded(seed), fastCalls);
    RandomSource slow(FastGenerator::seeded(seed), plainCalls);
    const GrowthResult a = Gerar_DLA(n, lattice, fast, fastCalls);
    const GrowthResult b = reference::gerarDla(n, plain, slow, plainCalls);

    EXPECT_EQ(a.particles, b.particles);
    EXPECT_EQ(a.steps, b.steps);
    EXPECT_EQ(a.walkersKilled, b.walkersKilled);
    EXPECT_EQ(a.launchRadius, b.launchRadius);
    EXPECT_EQ(a.halfSide, b.halfSide);
    EXPECT_EQ(fastCalls.calls, plainCalls.calls);
    for (int y = -1000; y <= 1000; ++y)
        for (int x = -1000; x <= 1000; ++x)
            if (lattice(x, y) != plain.get(x, y)) FAIL() << "cell " << x << "," << y;
    EXPECT_EQ(fast.table().v, slow.table().v);
    EXPECT_EQ(fast.next(), slow.next());
}

INSTANTIATE_TEST_SUITE_P(Seeds, MatchesPlainTranscription,
                         ::testing::Values(EquivalenceCase{0, 1}, EquivalenceCase{2, 2},
                                           EquivalenceCase{7, 3}, EquivalenceCase{50, 4},
                                           EquivalenceCase{101, 5}, EquivalenceCase{200, 6}));

// Any change to the walk's behaviour changes these.
TEST(GrowthTest, GoldenSeededAggregate) {
    SilentToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(1), toolkit);
    const GrowthResult result = Gerar_DLA(200, lattice, source, toolkit);
    EXPECT_EQ(result.particles, 3086);
    EXPECT_EQ(lattice.occupiedCount(), 3084);  // three walkers were released onto the aggregate
    EXPECT_EQ(result.launchRadius, 104);
    EXPECT_EQ(lattice.hash(), 15904497717059387771u);
}

// The largest size, with either walker: the aggregate reaches far enough for R to pass 500,
// where the kill disc reaches past the grid's edge and walkers can meet its outermost ring;
// every access stays inside (checked by the sanitizer build too).
class GrowthLongTest : public ::testing::TestWithParam<Walk> {};

TEST_P(GrowthLongTest, LargestRunStaysInsideTheLattice) {
    SilentToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(1000), toolkit);
    const GrowthResult result = Gerar_DLA(1000, lattice, source, toolkit, {GetParam()});
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.halfSide, 500);
    EXPECT_GT(result.particles, 20000);
    EXPECT_LE(lattice.occupiedCount(), result.particles + 1);
    EXPECT_GT(result.launchRadius, 500);
    if (GetParam() == Walk::Jump) {
        EXPECT_GT(result.jumps, 10 * result.particles);
    }
    RecordProperty("walkers_at_edge", std::to_string(result.walkersAtEdge));
    for (int i = -1000; i <= 1000; ++i) {
        ASSERT_EQ(lattice(i, 1000), 0);
        ASSERT_EQ(lattice(1000, i), 0);
        ASSERT_EQ(lattice(i, -1000), 0);
        ASSERT_EQ(lattice(-1000, i), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Walkers, GrowthLongTest, ::testing::Values(Walk::Literal, Walk::Jump),
                         [](const ::testing::TestParamInfo<Walk>& info) {
                             return info.param == Walk::Jump ? "Jump" : "Literal";
                         });

}  // namespace
}  // namespace dla

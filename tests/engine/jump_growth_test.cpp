#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "fractal_dimension.h"
#include "growth.h"
#include "recording_toolkit.h"
#include "walk_statistics.h"

namespace dla {
namespace {

using Kind = RecordingToolkit::Kind;

// With jumps of half-side 1 only, a jump run is the literal run: same calls, same draws, same
// aggregate.
class SingleStepJumpRun : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(SingleStepJumpRun, IsTheLiteralRun) {
    const std::int32_t n = GetParam();
    RecordingToolkit literalCalls, jumpCalls;
    Lattice a, b;
    RandomSource literal(FastGenerator::seeded(40 + static_cast<std::uint64_t>(n)), literalCalls);
    RandomSource jump(FastGenerator::seeded(40 + static_cast<std::uint64_t>(n)), jumpCalls);
    const GrowthResult x = Gerar_DLA(n, a, literal, literalCalls);
    const GrowthResult y = Gerar_DLA(n, b, jump, jumpCalls, {Walk::Jump, 1});
    EXPECT_EQ(x.particles, y.particles);
    EXPECT_EQ(x.walkersKilled, y.walkersKilled);
    EXPECT_EQ(x.launchRadius, y.launchRadius);
    EXPECT_EQ(x.steps, y.steps);
    EXPECT_EQ(y.jumps, 0);
    EXPECT_EQ(a.hash(), b.hash());
    EXPECT_EQ(literalCalls.calls, jumpCalls.calls);
    EXPECT_EQ(literal.next(), jump.next());
}

INSTANTIATE_TEST_SUITE_P(Sizes, SingleStepJumpRun, ::testing::Values(2, 50, 150));

// Any change to the jump walker's behaviour changes these.
TEST(JumpGrowthTest, GoldenSeededAggregate) {
    SilentToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(1), toolkit);
    const GrowthResult result = Gerar_DLA(200, lattice, source, toolkit, {Walk::Jump});
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.particles, 2669);
    EXPECT_EQ(result.launchRadius, 104);
    EXPECT_EQ(result.steps, 10492);
    EXPECT_EQ(result.jumps, 52494);
    EXPECT_EQ(lattice.hash(), 17378652680457079203u);
}

TEST(JumpGrowthTest, LargestJumpOutsideTheTablesIsRefusedBeforeAnythingHappens) {
    for (int largest : {0, 65}) {
        RecordingToolkit toolkit;
        Lattice lattice;
        lattice.occupy(3, 3);
        RandomSource source(FastGenerator::seeded(1), toolkit);
        EXPECT_THROW(Gerar_DLA(100, lattice, source, toolkit, {Walk::Jump, largest}),
                     std::invalid_argument);
        EXPECT_TRUE(toolkit.calls.empty());
        EXPECT_EQ(lattice(3, 3), -1);
        EXPECT_EQ(source.generator().reseedCount(), 0u);
    }
}

// A run started from a yield clears the Lattice and grows its own aggregate; the outer run's
// walker must notice and rebuild its map, or it would stick walkers where the old aggregate was
// and jump across the new one. Every particle the outer run sticks has an occupied neighbour.
TEST(JumpGrowthTest, OuterRunFollowsTheLatticeThatANestedRunLeft) {
    RecordingToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(23), toolkit);
    int yields = 0, nestedRuns = 0, lonely = 0;
    GrowthResult nested;
    toolkit.onYield = [&] {
        ++yields;
        const auto& calls = toolkit.calls;
        const auto& plot = calls[calls.size() - 2];
        if (plot.kind == Kind::Plot && !(plot.a == 0 && plot.b == 0) &&
            !lattice.hasOccupiedNeighbour(plot.a, plot.b)) {
            ++lonely;
        }
        if (yields == 40 || yields == 300 || yields == 700) {
            ++nestedRuns;
            nested = Gerar_DLA(80, lattice, source, toolkit, {Walk::Jump});
        }
        return true;
    };
    const GrowthResult outer = Gerar_DLA(150, lattice, source, toolkit, {Walk::Jump});
    EXPECT_TRUE(outer.finished);
    EXPECT_TRUE(nested.finished);
    EXPECT_EQ(nestedRuns, 3);
    EXPECT_EQ(lonely, 0);
}

// --- Whole runs: the same statistics from both walkers ----------------------------------------

struct RunStatistics {
    std::vector<double> particles, radius, gyration, dimension;
};

// `withDimension`: also estimate each aggregate's dimension, which costs more than a jump run.
RunStatistics seededRuns(std::int32_t n, int runs, std::uint64_t firstSeed, Walk walk,
                         bool withDimension) {
    RunStatistics s;
    SilentToolkit toolkit;
    Lattice lattice;
    for (int i = 0; i < runs; ++i) {
        RandomSource source(FastGenerator::seeded(firstSeed + static_cast<std::uint64_t>(i)),
                            toolkit);
        const GrowthResult result = Gerar_DLA(n, lattice, source, toolkit, {walk});
        s.particles.push_back(static_cast<double>(result.particles));
        s.radius.push_back(result.launchRadius);
        double count = 0, sx = 0, sy = 0, sr = 0;
        const int reach = result.launchRadius + 1;
        for (int y = -reach; y <= reach; ++y) {
            for (int x = -reach; x <= reach; ++x) {
                if (!lattice.isOccupied(x, y)) continue;
                count += 1;
                sx += x;
                sy += y;
                sr += static_cast<double>(x * x + y * y);
            }
        }
        s.gyration.push_back(std::sqrt(sr / count - (sx * sx + sy * sy) / (count * count)));
        if (!withDimension) continue;
        RandomSource estimateSource(FastGenerator::seeded(900000 + static_cast<std::uint64_t>(i)),
                                    toolkit);
        s.dimension.push_back(
            Dimensão_Fractal(n, lattice, estimateSource, toolkit).value().dimension);
    }
    return s;
}

// Two-sample Kolmogorov-Smirnov on each statistic; a p-value below 1e-4 rejects.
void expectSameLaw(const RunStatistics& a, const RunStatistics& b) {
    const std::pair<const char*, const std::vector<double>*> columns[][2] = {
        {{"particles", &a.particles}, {"particles", &b.particles}},
        {{"R", &a.radius}, {"R", &b.radius}},
        {{"gyration", &a.gyration}, {"gyration", &b.gyration}},
        {{"dimension", &a.dimension}, {"dimension", &b.dimension}},
    };
    for (const auto& c : columns) {
        if (c[0].second->empty()) continue;
        const double d = test::kolmogorovSmirnovDistance(*c[0].second, *c[1].second);
        const double p = test::kolmogorovSmirnovPValue(d, c[0].second->size(), c[1].second->size());
        EXPECT_GT(p, 1e-4) << c[0].first << ": D = " << d;
        ::testing::Test::RecordProperty(std::string(c[0].first) + "_p", std::to_string(p));
    }
}

TEST(WholeRunTest, JumpRunsGrowLikeLiteralRuns) {
    expectSameLaw(seededRuns(100, 200, 1, Walk::Literal, false),
                  seededRuns(100, 200, 500001, Walk::Jump, false));
}

struct WholeRunCase {
    std::int32_t n;
    int runs;
};

void PrintTo(const WholeRunCase& c, std::ostream* os) {
    *os << "N = " << c.n << ", " << c.runs << " runs";
}

class WholeRunLongTest : public ::testing::TestWithParam<WholeRunCase> {};

TEST_P(WholeRunLongTest, JumpRunsGrowLikeLiteralRuns) {
    const auto [n, runs] = GetParam();
    expectSameLaw(seededRuns(n, runs, 1000, Walk::Literal, true),
                  seededRuns(n, runs, 600000, Walk::Jump, true));
}

INSTANTIATE_TEST_SUITE_P(Sizes, WholeRunLongTest,
                         ::testing::Values(WholeRunCase{100, 400}, WholeRunCase{200, 300}),
                         [](const auto& info) { return "N" + std::to_string(info.param.n); });

}  // namespace
}  // namespace dla

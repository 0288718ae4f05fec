#include "jump_walk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "growth.h"
#include "recording_toolkit.h"
#include "scripted_draws.h"
#include "walk.h"
#include "walk_statistics.h"

namespace dla {
namespace {

const double kPi = std::atan(1.0) * 4.0;

// A seeded aggregate of size n, frozen: its Lattice carries the kill disc of the R the run ended
// with. Grown once per process.
struct Frozen {
    Lattice lattice;
    std::int16_t radius = 0;
};

const Frozen& frozenAggregate(std::int32_t n) {
    static std::map<std::int32_t, std::unique_ptr<Frozen>> cache;
    auto& slot = cache[n];
    if (!slot) {
        slot = std::make_unique<Frozen>();
        SilentToolkit toolkit;
        RandomSource source(FastGenerator::seeded(7000 + static_cast<std::uint64_t>(n)), toolkit);
        slot->radius = Gerar_DLA(n, slot->lattice, source, toolkit, {Walk::Jump}).launchRadius;
        slot->lattice.setKillRadius(slot->radius);
    }
    return *slot;
}

// --- The size of a jump ----------------------------------------------------------------------

// Whether a walk that reaches (x, y) stops there: no such cell, the outermost ring, beyond the
// kill disc of `radius`, or next to an occupied cell. Plain arithmetic, independent of the map.
bool stops(const Lattice& lattice, int radius, int x, int y) {
    if (std::abs(x) >= Lattice::kExtent || std::abs(y) >= Lattice::kExtent) return true;
    if (std::int64_t{x} * x + std::int64_t{y} * y > 4LL * radius * radius) return true;
    return lattice.hasOccupiedNeighbour(x, y);
}

// Cells (x, y) for which the walker's jump size m breaks the rule. The largest safe size s is
// the distance of the nearest cell that stops a walk, or the largest jump if that is nearer; m
// must not exceed s (else the walk could stop inside the square), and may fall short of it only
// by what the map's coarse layer gives away (DistanceMap::kBlock - 1). The first few are
// described in `report`.
int ruleViolations(JumpWalker& walker, const Lattice& lattice, const std::vector<Site>& cells,
                   std::string& report) {
    const int radius = lattice.killRadius();
    int wrong = 0;
    for (const Site c : cells) {
        const int m = walker.jumpSize(lattice, c.x, c.y);
        int safe = walker.largest();
        for (int r = 0; r < walker.largest(); ++r) {
            bool ringStops = false;
            for (int i = -r; i <= r && !ringStops; ++i) {
                ringStops = stops(lattice, radius, c.x + i, c.y + r) ||
                            stops(lattice, radius, c.x + i, c.y - r) ||
                            stops(lattice, radius, c.x + r, c.y + i) ||
                            stops(lattice, radius, c.x - r, c.y + i);
            }
            if (ringStops) {
                safe = r;
                break;
            }
        }
        const bool ok = m >= 1 && m <= safe && m >= safe - (DistanceMap::kBlock - 1);
        if (!ok && ++wrong <= 3) {
            report += "jump size " + std::to_string(m) + " (safe " + std::to_string(safe) +
                      ") at (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ") ";
        }
    }
    return wrong;
}

// Cells a walk can stand on, in a window, every `stride`-th one in each direction.
std::vector<Site> standingCells(const Lattice& lattice, int low, int high, int bottom, int top,
                                int stride) {
    std::vector<Site> cells;
    const int radius = lattice.killRadius();
    for (int y = bottom; y <= top; y += stride) {
        for (int x = low; x <= high; x += stride) {
            if (Lattice::contains(x, y) && !stops(lattice, radius, x, y)) cells.push_back({x, y});
        }
    }
    return cells;
}

struct RuleCase {
    const char* name;
    JumpFault fault;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

class JumpSizeRule : public ::testing::TestWithParam<RuleCase> {};

// Everywhere in the disc of a frozen aggregate, and near the edge of the Lattice when the disc
// reaches past it, the jump is safe and close to the largest safe one; each broken rule is
// caught.
TEST_P(JumpSizeRule, LargestSquareInWhichNothingCanHappen) {
    const Frozen& frozen = frozenAggregate(100);
    const int reach = 2 * frozen.radius + 1;
    const std::vector<Site> disc = standingCells(frozen.lattice, -reach, reach, -reach, reach, 1);
    ASSERT_GT(disc.size(), 20000u);

    Lattice wide;
    wide.occupy(0, 0);
    wide.occupy(900, 20);
    wide.setKillRadius(520);  // the disc's edge at 1040 crosses the Lattice's corners
    std::vector<Site> edge = standingCells(wide, 850, 999, -80, 80, 3);
    const std::vector<Site> corner = standingCells(wide, 650, 999, 650, 999, 5);
    edge.insert(edge.end(), corner.begin(), corner.end());

    JumpWalker walker(ExitTables::kLargest, ExitTables::shared(), GetParam().fault);
    std::string report;
    const int wrong = ruleViolations(walker, frozen.lattice, disc, report) +
                      ruleViolations(walker, wide, edge, report);
    if (GetParam().fault == JumpFault::None) {
        EXPECT_EQ(wrong, 0) << report;
    } else {
        EXPECT_GT(wrong, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, JumpSizeRule,
    ::testing::Values(RuleCase{"Exact", JumpFault::None},
                      RuleCase{"KillCircleIgnored", JumpFault::KillCircleIgnored},
                      RuleCase{"KillLimitOneTooLarge", JumpFault::KillLimitOneTooLarge},
                      RuleCase{"OneTooLarge", JumpFault::OneTooLarge}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JumpSizeRuleTest, SmallCasesByHand) {
    Lattice lattice;
    lattice.occupy(20, 0);  // (19, 0) is the nearest cell with an occupied neighbour
    lattice.setKillRadius(100);
    JumpWalker walker;
    EXPECT_EQ(walker.jumpSize(lattice, 0, 0), 19);
    EXPECT_EQ(walker.jumpSize(lattice, 17, 0), 2);
    EXPECT_EQ(walker.jumpSize(lattice, 18, 0), 1);
    EXPECT_EQ(walker.jumpSize(lattice, -100, 0), 64);
    // Far from the aggregate the coarse layer answers, up to 3 short of the exact distance.
    EXPECT_GE(walker.jumpSize(lattice, -41, 0), 60 - 3);
    EXPECT_LE(walker.jumpSize(lattice, -41, 0), 60);
    // Kill disc of radius 20: the far corner (14, 14) of m = 15 is inside (392 <= 400), that of
    // m = 16 is not (450 > 400).
    Lattice empty;
    empty.setKillRadius(10);
    EXPECT_EQ(walker.jumpSize(empty, 0, 0), 15);
    EXPECT_EQ(walker.jumpSize(empty, 20, 0), 1);
    EXPECT_EQ(walker.jumpSize(empty, -19, 0), 1);
    // The outermost ring: from x = 950 a square of half-side 50 reaches it with its border.
    empty.setKillRadius(600);
    EXPECT_EQ(walker.jumpSize(empty, 950, 0), 50);
    EXPECT_EQ(walker.jumpSize(empty, -999, 999), 1);
    // Without a kill disc only the aggregate and the edge limit a jump, for the broken rules too.
    Lattice noDisc;
    for (JumpFault fault :
         {JumpFault::None, JumpFault::KillLimitOneTooLarge, JumpFault::OneTooLarge}) {
        JumpWalker w(ExitTables::kLargest, ExitTables::shared(), fault);
        EXPECT_EQ(w.jumpSize(noDisc, 0, 0), 64);
        EXPECT_EQ(w.jumpSize(noDisc, 990, -5), 10);
    }
}

// --- Single walks on scripted deviates -------------------------------------------------------

// A deviate that makes tables.sample(m, u) give `cell`.
double deviateFor(int m, ExitCell cell) {
    constexpr int kGrid = 1 << 16;
    for (int i = 0; i < kGrid; ++i) {
        const double u = (i + 0.5) / kGrid;
        if (ExitTables::shared().sample(m, u) == cell) return u;
    }
    ADD_FAILURE() << "no deviate found";
    return 0.0;
}

struct ScriptedWalk : ::testing::Test {
    RecordingToolkit toolkit;
    Lattice lattice;
    std::int64_t steps = 0, jumps = 0;

    WalkEnd walk(Site from, const std::vector<double>& deviates) {
        std::vector<double> outputs{0.0};
        outputs.insert(outputs.end(), deviates.begin(), deviates.end());
        RandomSource<ScriptedGenerator> source(ScriptedGenerator(testing::drawsReturning(outputs)),
                                               toolkit);
        (void)source.Random(-1);
        JumpWalker walker;
        return walker.walk(lattice, source, from, steps, jumps);
    }
};

TEST_F(ScriptedWalk, JumpLandsOnTheDrawnCellAndSticksThere) {
    lattice.occupy(20, 0);
    lattice.setKillRadius(100);
    const WalkEnd end = walk({0, 0}, {deviateFor(19, {19, 0})});
    EXPECT_EQ(end.outcome, WalkOutcome::Stuck);
    EXPECT_EQ(end.at, Lattice::index(19, 0));
    EXPECT_EQ(jumps, 1);
    EXPECT_EQ(steps, 0);
}

TEST_F(ScriptedWalk, JumpLandingBeyondTheKillCircleKills) {
    lattice.setKillRadius(10);
    // m = 15; (15, 14) lies beyond the disc of radius 20 (421 > 400).
    const WalkEnd end = walk({0, 0}, {deviateFor(15, {15, 14})});
    EXPECT_EQ(end.outcome, WalkOutcome::Killed);
    EXPECT_EQ(end.at, Lattice::index(15, 14));
}

TEST_F(ScriptedWalk, JumpLandingOnTheOutermostRingDrops) {
    lattice.setKillRadius(600);
    const WalkEnd end = walk({950, 0}, {deviateFor(50, {50, -7})});
    EXPECT_EQ(end.outcome, WalkOutcome::Dropped);
    EXPECT_EQ(end.at, Lattice::index(1000, -7));
}

TEST_F(ScriptedWalk, SingleStepsNextToTheAggregateFollowTheLiteralRule) {
    lattice.occupy(3, 0);
    lattice.setKillRadius(100);
    // (1, 1) and (1, 0) are one away from (2, 0), which has an occupied neighbour: single steps,
    // y - 1 and then x + 1 onto (2, 0).
    const WalkEnd end = walk({1, 1}, {testing::stepDeviate(4), testing::stepDeviate(1)});
    EXPECT_EQ(end.outcome, WalkOutcome::Stuck);
    EXPECT_EQ(end.at, Lattice::index(2, 0));
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(jumps, 0);
}

TEST_F(ScriptedWalk, ReleaseNextToTheAggregateOrOutsideTheReadableLatticeTakesNoDeviate) {
    lattice.occupy(5, 5);
    lattice.setKillRadius(600);
    EXPECT_EQ(walk({5, 6}, {}).outcome, WalkOutcome::Stuck);
    EXPECT_EQ(walk({1000, 0}, {}).outcome, WalkOutcome::Dropped);
    EXPECT_EQ(steps + jumps, 0);
}

// With jumps of half-side 1 only, the walker is the literal one, draw for draw.
TEST(JumpWalkTest, SingleStepWalkerMatchesTheLiteralWalkDrawForDraw) {
    const Frozen& frozen = frozenAggregate(60);
    SilentToolkit toolkit;
    RandomSource a(FastGenerator::seeded(5), toolkit), b(FastGenerator::seeded(5), toolkit);
    (void)a.Random(-1);
    (void)b.Random(-1);
    JumpWalker singleSteps(1);
    std::int64_t literalSteps = 0, jumpSteps = 0, jumps = 0;
    for (int i = 0; i < 3000; ++i) {
        const Site from = releasePoint(frozen.radius, a.next(), kPi);
        ASSERT_EQ(releasePoint(frozen.radius, b.next(), kPi), from);
        const WalkEnd x = walkLiteral(frozen.lattice, a, from, literalSteps);
        const WalkEnd y = singleSteps.walk(frozen.lattice, b, from, jumpSteps, jumps);
        ASSERT_EQ(x.outcome, y.outcome) << "walker " << i;
        ASSERT_EQ(x.at, y.at) << "walker " << i;
        ASSERT_EQ(literalSteps, jumpSteps) << "walker " << i;
    }
    EXPECT_EQ(jumps, 0);
    EXPECT_EQ(a.next(), b.next());
}

// --- Where walkers end on a frozen aggregate: literal against jump ---------------------------

struct Outcomes {
    std::map<std::int64_t, std::int64_t>
        histogram;  // stuck: the cell's index; -1 killed; -2 dropped
    std::int64_t walkers = 0;
    std::int64_t killed = 0;
};

// Releases `walkers` walkers on the frozen Lattice, each from the release circle of R, and
// records where each ended; nothing sticks for good.
template <class Walk>
Outcomes releaseWalkers(std::int16_t radius, std::int64_t walkers, std::uint64_t seed, Walk walk) {
    SilentToolkit toolkit;
    RandomSource source(FastGenerator::seeded(seed), toolkit);
    (void)source.Random(-1);
    Outcomes out;
    for (std::int64_t i = 0; i < walkers; ++i) {
        const WalkEnd end = walk(source, releasePoint(radius, source.next(), kPi));
        const std::int64_t key = end.outcome == WalkOutcome::Stuck    ? end.at
                                 : end.outcome == WalkOutcome::Killed ? -1
                                                                      : -2;
        ++out.histogram[key];
        if (end.outcome != WalkOutcome::Stuck) ++out.killed;
    }
    out.walkers = walkers;
    return out;
}

Outcomes literalOutcomes(const Lattice& lattice, std::int16_t radius, std::int64_t walkers,
                         std::uint64_t seed) {
    std::int64_t steps = 0;
    return releaseWalkers(radius, walkers, seed, [&](RandomSource<FastGenerator>& s, Site from) {
        return walkLiteral(lattice, s, from, steps);
    });
}

Outcomes jumpOutcomes(const Lattice& lattice, std::int16_t radius, std::int64_t walkers,
                      std::uint64_t seed, const ExitTables& tables = ExitTables::shared(),
                      JumpFault fault = JumpFault::None) {
    JumpWalker walker(ExitTables::kLargest, tables, fault);
    std::int64_t steps = 0, jumps = 0;
    return releaseWalkers(radius, walkers, seed, [&](RandomSource<FastGenerator>& s, Site from) {
        return walker.walk(lattice, s, from, steps, jumps);
    });
}

const ExitTables& uniformTables() {
    static const ExitTables tables = [] {
        std::vector<std::vector<double>> laws;
        for (int m = 2; m <= ExitTables::kLargest; ++m) {
            laws.emplace_back(static_cast<std::size_t>(ExitTables::borderCells(m)), 1.0);
        }
        return ExitTables(laws);
    }();
    return tables;
}

// The chi-square score of two outcome histograms, kept in the test's report under `label`.
double outcomeScore(const Outcomes& a, const Outcomes& b,
                    const std::string& label = "outcome_score") {
    int dof = 0;
    const double score = test::twoSampleChiSquareScore(a.histogram, b.histogram, &dof);
    EXPECT_GT(dof, 100);
    ::testing::Test::RecordProperty(label, std::to_string(score));
    return score;
}

// The two-proportion score of the killed fractions, kept in the test's report under `label`.
double killScore(const Outcomes& a, const Outcomes& b, const std::string& label = "kill_score") {
    const double score = test::twoProportionScore(a.killed, a.walkers, b.killed, b.walkers);
    ::testing::Test::RecordProperty(label, std::to_string(score));
    return score;
}

// One literal sample serves the exact walker and each broken one (as a table in one test, so
// that a test run in a process of its own computes the dear sample once).
TEST(FrozenAggregateTest, JumpWalkersEndWhereLiteralOnesDoAndBrokenOnesDoNot) {
    const Frozen& frozen = frozenAggregate(100);
    const Outcomes literal = literalOutcomes(frozen.lattice, frozen.radius, 200'000, 11);
    const Outcomes jump = jumpOutcomes(frozen.lattice, frozen.radius, 1'000'000, 21);
    EXPECT_LT(std::fabs(outcomeScore(literal, jump)), test::kRejectScore);
    EXPECT_LT(std::fabs(killScore(jump, literal)), test::kRejectScore);

    struct Broken {
        const char* name;
        const ExitTables& tables;
        JumpFault fault;
    };
    const Broken broken[] = {
        {"uniform_exits", uniformTables(), JumpFault::None},
        {"kill_circle_ignored", ExitTables::shared(), JumpFault::KillCircleIgnored},
        {"one_too_large", ExitTables::shared(), JumpFault::OneTooLarge},
    };
    for (const Broken& b : broken) {
        SCOPED_TRACE(b.name);
        const Outcomes out =
            jumpOutcomes(frozen.lattice, frozen.radius, 1'000'000, 22, b.tables, b.fault);
        EXPECT_GT(outcomeScore(literal, out, std::string(b.name) + "_score"), test::kRejectScore);
    }
}

// The same at N = 400 (about 10 000 particles) with many more walkers.
TEST(FrozenAggregateLongTest, JumpWalkersEndWhereLiteralOnesDoOnALargeAggregate) {
    const Frozen& frozen = frozenAggregate(400);
    const Outcomes literal = literalOutcomes(frozen.lattice, frozen.radius, 200'000, 31);
    const Outcomes jump = jumpOutcomes(frozen.lattice, frozen.radius, 1'000'000, 32);
    EXPECT_LT(std::fabs(outcomeScore(literal, jump)), test::kRejectScore);
    EXPECT_LT(std::fabs(killScore(jump, literal)), test::kRejectScore);
    const Outcomes uniform =
        jumpOutcomes(frozen.lattice, frozen.radius, 1'000'000, 33, uniformTables());
    EXPECT_GT(outcomeScore(literal, uniform, "uniform_score"), test::kRejectScore);
}

// --- The kill fraction, where a jump one too large near the circle shows ---------------------

// Small aggregates: the kill circle is close and sharply curved, so a square that pokes past it
// changes the fraction of killed walkers most (by about 1 % at R = 8, 0.6 % at R = 12).
struct KillCase {
    std::int32_t n;
    std::int64_t walkers;
};

// Killed fractions of literal, exact jump and "one past the circle" jump walkers from the
// same number of releases on the frozen aggregate of size n; seeds from `seed` on.
void expectKillFractions(std::int32_t n, std::int64_t walkers, std::uint64_t seed) {
    const Frozen& frozen = frozenAggregate(n);
    const Outcomes literal = literalOutcomes(frozen.lattice, frozen.radius, walkers, seed);
    const Outcomes jump = jumpOutcomes(frozen.lattice, frozen.radius, walkers, seed + 1);
    const Outcomes past = jumpOutcomes(frozen.lattice, frozen.radius, walkers, seed + 2,
                                       ExitTables::shared(), JumpFault::KillLimitOneTooLarge);
    EXPECT_LT(std::fabs(killScore(jump, literal, "jump_kill_score")), test::kRejectScore);
    EXPECT_GT(std::fabs(killScore(past, literal, "past_kill_score")), test::kRejectScore);
}

void PrintTo(const KillCase& c, std::ostream* os) {
    *os << "N = " << c.n << ", " << c.walkers << " walkers";
}

class KillFraction : public ::testing::TestWithParam<KillCase> {};

TEST_P(KillFraction, MatchesTheLiteralWalkAndCatchesAJumpPastTheCircle) {
    expectKillFractions(GetParam().n, GetParam().walkers, 41);
}

INSTANTIATE_TEST_SUITE_P(SmallAggregates, KillFraction,
                         ::testing::Values(KillCase{10, 1'000'000}, KillCase{20, 1'000'000}),
                         [](const auto& info) { return "N" + std::to_string(info.param.n); });

// R = 24: the shift is down to 0.4 %.
TEST(KillFractionLongTest, MatchesTheLiteralWalkOnALargerAggregate) {
    expectKillFractions(40, 4'000'000, 51);
}

// --- The edge of the Lattice -----------------------------------------------------------------

// A wall at x = 960 and a kill disc that covers the whole Lattice: walkers from (990, 0) either
// stick to the wall or are dropped on the outermost ring, where the jump walker's squares end.
TEST(LatticeEdgeTest, JumpWalkersAreDroppedWhereLiteralOnesAre) {
    auto lattice = std::make_unique<Lattice>();
    for (int y = -Lattice::kExtent; y <= Lattice::kExtent; ++y) lattice->occupy(960, y);
    lattice->setKillRadius(1000);
    auto fromCorridor = [&](auto walk, std::uint64_t seed) {
        SilentToolkit toolkit;
        RandomSource source(FastGenerator::seeded(seed), toolkit);
        (void)source.Random(-1);
        Outcomes out;
        for (int i = 0; i < 200'000; ++i) {
            const WalkEnd end = walk(source);
            ++out.histogram[end.outcome == WalkOutcome::Stuck ? end.at : -end.at];
            if (end.outcome == WalkOutcome::Dropped) ++out.killed;
            ++out.walkers;
        }
        return out;
    };
    std::int64_t steps = 0, jumps = 0;
    JumpWalker walker;
    const Outcomes literal = fromCorridor(
        [&](RandomSource<FastGenerator>& s) {
            return walkLiteral(*lattice, s, {990, 0}, steps);
        },
        61);
    const Outcomes jump = fromCorridor(
        [&](RandomSource<FastGenerator>& s) {
            return walker.walk(*lattice, s, {990, 0}, steps, jumps);
        },
        62);
    EXPECT_GT(jumps, 0);
    EXPECT_GT(literal.killed, 10'000);
    EXPECT_LT(std::fabs(outcomeScore(literal, jump)), test::kRejectScore);
    EXPECT_LT(std::fabs(killScore(jump, literal)), test::kRejectScore);
}

}  // namespace
}  // namespace dla

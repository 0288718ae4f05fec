#include "large_walker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "large_growth.h"
#include "lattice.h"
#include "walk.h"
#include "walk_statistics.h"

namespace dla {
namespace {

// Deliberately broken jump-size rules: every jump, or every jump the kill disc limits, one
// larger than safe. And the exact rule, counting the jumps wider than the dense ladder.
struct OneTooLarge {
    static constexpr int size(int safe, bool) { return safe + 1; }
};
struct KillLimitOneTooLarge {
    static constexpr int size(int safe, bool killLimited) { return killLimited ? safe + 1 : safe; }
};
struct CountingWideJumps {
    static inline std::int64_t wide = 0;
    static int size(int safe, bool) {
        wide += safe > ExitLadder::kDense;
        return safe;
    }
};

// A seeded aggregate of `particles` particles, frozen in both lattices, with its last R for the
// releases and a kill disc x^2 + y^2 > S = (2 halfKill)^2 that the window's Lattice marks for its
// literal walker; a ladder wide enough for every jump a broken rule may take.
struct Frozen {
    LargeGrowth run;
    Lattice window;
    std::int64_t kill;
    ExitLadder ladder;
};

const Frozen& frozen(std::int64_t particles, int halfKill) {
    static std::map<std::pair<std::int64_t, int>, std::unique_ptr<Frozen>> cache;
    auto& f = cache[{particles, halfKill}];
    if (!f) {
        LargeGrowthOptions options;
        options.particleLimit = particles;
        f.reset(new Frozen{LargeGrowth(options, FastGenerator::seeded(70)),
                           {},
                           4LL * halfKill * halfKill,
                           ExitLadder(2 * halfKill)});
        f->run.grow();
        for (const Site& c : f->run.lattice().arrivals()) f->window.occupy(c.x, c.y);
        f->window.setKillRadius(halfKill);
    }
    return *f;
}

struct Outcomes {
    std::map<std::int64_t, std::int64_t> histogram;  // stuck: the cell; killed: -1
    std::int64_t walkers = 0, killed = 0;
};

// Where `walkers` walkers released on the circle of the frozen R end: with the window's literal
// walker (largest 0), or with the large walker and jump rule Rule.
template <class Rule = ExactJumpRule>
Outcomes release(const Frozen& f, int largest, std::int64_t walkers, std::uint64_t seed) {
    SilentToolkit toolkit;
    RandomSource source(FastGenerator::seeded(seed), toolkit);
    (void)source.Random(-1);
    const LargeWalker<Rule> walker(f.run.lattice(), f.ladder, largest);
    const auto radius = static_cast<std::int16_t>(f.run.launchRadius());
    Outcomes out{{}, walkers, 0};
    std::int64_t steps = 0, jumps = 0;
    for (std::int64_t i = 0; i < walkers; ++i) {
        const Site from = releasePoint(radius, source.next(), std::atan(1.0) * 4.0);
        LargeWalkEnd end;
        if (largest == 0) {
            const WalkEnd e = walkLiteral(f.window, source, from, steps);
            end = {e.outcome, {Lattice::xOf(e.at), Lattice::yOf(e.at)}};
        } else {
            end = walker.walk(source, from, f.kill, steps, jumps);
        }
        const bool stuck = end.outcome == WalkOutcome::Stuck;
        ++out.histogram[stuck ? end.at.x * 100000LL + end.at.y : -1];
        out.killed += !stuck;
    }
    return out;
}

double score(const Outcomes& a, const Outcomes& b, bool killFraction, const std::string& label) {
    const double z = killFraction
                         ? test::twoProportionScore(a.killed, a.walkers, b.killed, b.walkers)
                         : test::twoSampleChiSquareScore(a.histogram, b.histogram);
    ::testing::Test::RecordProperty(label, std::to_string(z));
    return z;
}

// A small aggregate and a close, sharply curved kill circle (K = 2 and 2.5), where a square that
// pokes past the circle changes the fraction of killed walkers most: jumping walkers are killed
// as often as literal ones, and walkers whose jumps may poke past it are not.
class LargeKillFraction : public ::testing::TestWithParam<std::tuple<std::int64_t, int>> {};

TEST_P(LargeKillFraction, MatchesTheLiteralWalkAndCatchesAJumpPastTheCircle) {
    const Frozen& f = frozen(std::get<0>(GetParam()), std::get<1>(GetParam()));
    const Outcomes literal = release(f, 0, 1'000'000, 11);
    const Outcomes jump = release(f, ExitLadder::kLargest, 1'000'000, 12);
    const Outcomes past = release<KillLimitOneTooLarge>(f, ExitLadder::kLargest, 1'000'000, 13);
    EXPECT_LT(std::fabs(score(literal, jump, true, "kill_score")), test::kRejectScore);
    EXPECT_GT(std::fabs(score(literal, past, true, "past_kill_score")), test::kRejectScore);
}

// (particles, half the kill radius): R = 4 and 8.
INSTANTIATE_TEST_SUITE_P(SmallAggregates, LargeKillFraction,
                         ::testing::Values(std::tuple{12, 4}, std::tuple{30, 10}),
                         [](const auto& info) {
                             return std::to_string(std::get<0>(info.param)) + "Particles";
                         });

// A kill circle far beyond a small aggregate, so that walkers that wander off cross squares
// wider than 64: they end where literal walkers do and are killed as often; walkers whose jumps
// are all one too large end elsewhere.
TEST(LargeFrozenAggregateTest, WalkersWithWideJumpsEndWhereLiteralOnesDo) {
    const Frozen& f = frozen(12, 120);
    const Outcomes literal = release(f, 0, 100'000, 21);
    const Outcomes jump = release<CountingWideJumps>(f, ExitLadder::kLargest, 300'000, 22);
    const Outcomes large = release<OneTooLarge>(f, ExitLadder::kLargest, 300'000, 23);
    EXPECT_GT(CountingWideJumps::wide, 10'000);
    EXPECT_LT(std::fabs(score(literal, jump, false, "outcome_score")), test::kRejectScore);
    EXPECT_LT(std::fabs(score(literal, jump, true, "kill_score")), test::kRejectScore);
    EXPECT_GT(score(literal, large, false, "too_large_score"), test::kRejectScore);
}

}  // namespace
}  // namespace dla

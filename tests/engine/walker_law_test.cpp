#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <optional>

#include "estimate/fractal_dimension.h"
#include "large/large_growth.h"
#include "large/large_walker.h"
#include "window/growth.h"
#include "window/walk.h"

// One law for every walker: a walker is tried in experiments that sample it and the literal walk
// alike and score the difference as a normal score; above 5 (about 3e-7 one-sided) "one law" is
// rejected. Deliberately broken walkers show that each experiment notices what it is there for.
// Another walker joins with one row of kWalkers.
namespace dla {
namespace {

// The jump-size rule broken two ways: every jump, or every jump the kill disc limits, one too
// large.
struct LargeOneTooLarge {
    static constexpr int size(int safe, bool) { return safe + 1; }
};
struct LargeKillLimitOneTooLarge {
    static constexpr int size(int safe, bool killLimited) { return killLimited ? safe + 1 : safe; }
};

// Frozen cells in both lattices (the window's for the literal walk), a kill disc
// (walkers are killed beyond it), and where walkers start.
struct Scene {
    Lattice lattice;
    LargeLattice large;
    std::optional<ExitLadder> ladder;
    KillDisc kill;
    std::function<Site(double)> release;
};

// Where a walker ended: its cell's Lattice::index when stuck, else -1 - that index.
using Walker = std::function<std::int64_t(const Scene&, RandomSource<FastGenerator>&, Site)>;
// Particles, final R and (from N = 200) the estimated dimension of the seeded run of size n.
using Grower = std::function<std::array<double, 3>(std::int32_t n, std::uint64_t seed)>;

std::int64_t key(WalkOutcome outcome, std::int64_t cell) {
    return outcome == WalkOutcome::Stuck ? cell : -1 - cell;
}

template <class Rule = LargeJumpRule>
Walker largeWalker() {
    return [](const Scene& s, RandomSource<FastGenerator>& random, Site from) {
        std::int64_t steps = 0, jumps = 0;
        const LargeWalkEnd end = LargeWalker<Rule>(s.large, *s.ladder, ExitLadder::kLargest)
                                     .walk(random, from, s.kill, steps, jumps);
        return key(end.outcome, Lattice::index(end.at.x, end.at.y));
    };
}

std::array<double, 3> measured(std::int32_t n, const Lattice& lattice, double particles,
                               double radius, RandomSource<FastGenerator>& source) {
    SilentToolkit toolkit;
    return {particles, radius,
            n >= 200 ? Dimensão_Fractal(n, lattice, source, toolkit)->dimension : 0.0};
}

std::array<double, 3> literalRun(std::int32_t n, std::uint64_t seed) {
    SilentToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(seed), toolkit);
    const GrowthResult run = Gerar_DLA(n, lattice, source, toolkit);
    return measured(n, lattice, static_cast<double>(run.particles), run.launchRadius, source);
}

std::array<double, 3> largeRun(std::int32_t n, std::uint64_t seed) {
    LargeGrowth run(LargeGrowthOptions{n, {}, 2.0, ExitLadder::kLargest},
                    FastGenerator::seeded(seed));
    run.grow();
    Lattice lattice;
    for (const Site& c : run.lattice().arrivals()) lattice.occupy(c.x, c.y);
    SilentToolkit toolkit;
    RandomSource source(FastGenerator::seeded(seed + (1ULL << 40)), toolkit);
    return measured(n, lattice, static_cast<double>(run.counters().particles), run.launchRadius(),
                    source);
}

struct WalkerCase {
    const char* name;
    Walker walker;
    Grower grower;           // for whole runs
    const char* rejectedBy;  // a broken walker: the experiments that show it, each followed by ' '
};

const WalkerCase kWalkers[] = {
    {"Large", largeWalker(), largeRun, nullptr},
    {"LargeKillLimitOneTooLarge", largeWalker<LargeKillLimitOneTooLarge>(), {}, "KillFraction "},
    {"LargeOneTooLarge", largeWalker<LargeOneTooLarge>(), {}, "FrozenAggregate FarKillCircle "},
};

// Walkers released on a frozen aggregate of size n, with the kill disc of the R its run ended
// with or of 2 killHalf; or whole runs of size n against literal runs. On small aggregates the
// kill circle is close and sharply curved, so a square that pokes past it shows most there; far
// from it walkers cross squares wider than 64.
struct Experiment {
    const char* name;
    std::int32_t n, killHalf;
    std::int64_t literal, tested;
    bool runs = false;
};
const Experiment kExperiments[] = {
    {"FrozenAggregate", 100, 0, 200'000, 1'000'000},
    {"KillFraction", 10, 0, 1'000'000, 1'000'000},
    {"FarKillCircle", 10, 120, 100'000, 300'000},
    {"WholeRun", 100, 0, 200, 200, true},
    {"FrozenAggregateLong", 400, 0, 200'000, 1'000'000},
    {"KillFractionLong", 40, 0, 4'000'000, 4'000'000},
    {"WholeRunLong", 200, 0, 300, 300, true},
    {"WholeRunLargerLong", 400, 0, 100, 300, true},
};

// A seeded aggregate, walkers released on the circle of R.
const Scene& scene(const Experiment& e) {
    static std::map<std::pair<std::int32_t, int>, std::unique_ptr<Scene>> made;
    auto& s = made[{e.n, e.killHalf}];
    if (s) return *s;
    s = std::make_unique<Scene>();
    LargeGrowth run(LargeGrowthOptions{e.n, {}, 2.0, ExitLadder::kLargest},
                    FastGenerator::seeded(7000 + static_cast<std::uint64_t>(e.n)));
    run.grow();
    const auto r = static_cast<std::int16_t>(run.launchRadius());
    const int half = e.killHalf ? e.killHalf : r;
    for (const Site& c : run.lattice().arrivals()) {
        s->lattice.occupy(c.x, c.y);
        s->large.occupy(c.x, c.y);
    }
    s->lattice.setKillRadius(static_cast<std::int16_t>(half));
    s->kill = KillDisc(killSquare(2.0, half));
    s->ladder.emplace(2 * half + 2);
    s->release = [r](double u) { return releasePoint(r, u, std::atan(1.0) * 4.0); };
    return *s;
}

// How often walkers ended at each cell (stuck; negated: killed or dropped), from a seeded source.
std::map<std::int64_t, double> outcomes(const Scene& s, std::int64_t walkers, const Walker& walk,
                                        std::uint64_t seed) {
    SilentToolkit toolkit;
    RandomSource source(FastGenerator::seeded(seed), toolkit);
    (void)source.Random(-1);
    std::map<std::int64_t, double> where;
    for (std::int64_t i = 0; i < walkers; ++i) ++where[walk(s, source, s.release(source.next()))];
    return where;
}

// A chi-square over the cells of both samples (those with fewer than 20 in both pooled) taken to
// a normal score, and the normal score of the fractions lost; the worse of the two.
double outcomeScore(const std::map<std::int64_t, double>& a, double na,
                    const std::map<std::int64_t, double>& b, double nb) {
    std::map<std::int64_t, std::pair<double, double>> joint;
    double lost[2] = {};
    for (const auto& [k, c] : a) joint[k].first += c, lost[0] += k < 0 ? c : 0;
    for (const auto& [k, c] : b) joint[k].second += c, lost[1] += k < 0 ? c : 0;
    std::vector<std::pair<double, double>> bins(1);
    for (const auto& [k, c] : joint) {
        auto& bin = c.first + c.second < 20 ? bins.front() : bins.emplace_back();
        bin = {bin.first + c.first, bin.second + c.second};
    }
    const double ka = std::sqrt(nb / na), dof = static_cast<double>(bins.size() - 1);
    double chi = 0;
    for (const auto& [ca, cb] : bins)
        if (ca + cb > 0) chi += (ka * ca - cb / ka) * (ka * ca - cb / ka) / (ca + cb);
    const double v = 2.0 / (9.0 * dof),
                 chiScore = (std::cbrt(chi / dof) - (1.0 - v)) / std::sqrt(v);
    const double p = (lost[0] + lost[1]) / (na + nb);
    const double lostScore =
        (lost[0] / na - lost[1] / nb) / std::sqrt(p * (1 - p) * (1.0 / na + 1.0 / nb));
    return std::max(std::fabs(chiScore), std::fabs(lostScore));
}

// Each statistic of the two samples of runs compared through the Welch score of its means.
double runsScore(std::int32_t n, std::int64_t na, const Grower& a, std::int64_t nb,
                 const Grower& b) {
    std::vector<std::array<double, 3>> runs[2];
    for (std::int64_t i = 0; i < na; ++i)
        runs[0].push_back(a(n, static_cast<std::uint64_t>(i + 1)));
    for (std::int64_t i = 0; i < nb; ++i)
        runs[1].push_back(b(n, static_cast<std::uint64_t>(500'000 + i + 1)));
    double worst = 0;
    for (std::size_t c = 0; c < (n >= 200 ? 3u : 2u); ++c) {
        double mean[2], variance[2];
        for (int w = 0; w < 2; ++w) {
            const double k = static_cast<double>(runs[w].size());
            double sum = 0, squares = 0;
            for (const auto& run : runs[w]) sum += run[c], squares += run[c] * run[c];
            mean[w] = sum / k;
            // The variance of the mean: the sample's, divided by its size.
            variance[w] = (squares / k - mean[w] * mean[w]) / (k - 1);
        }
        worst =
            std::max(worst, std::fabs(mean[0] - mean[1]) / std::sqrt(variance[0] + variance[1]));
    }
    return worst;
}

using LawCase = std::pair<const WalkerCase*, const Experiment*>;

// Every walker in every experiment it can take part in, a broken one only where it shows: each
// literal sample is dear.
std::vector<LawCase> lawCases() {
    std::vector<LawCase> cases;
    for (const WalkerCase& w : kWalkers)
        for (const Experiment& e : kExperiments)
            if ((!w.rejectedBy ||
                 std::string(w.rejectedBy).find(e.name + std::string(" ")) != std::string::npos) &&
                (!e.runs || w.grower))
                cases.emplace_back(&w, &e);
    return cases;
}

class WalkerLaw : public ::testing::TestWithParam<LawCase> {};

TEST_P(WalkerLaw, MatchesTheLiteralWalk) {
    const auto& [w, e] = GetParam();
    double score = 0;
    if (e->runs) {
        score = runsScore(e->n, e->literal, literalRun, e->tested, w->grower);
    } else {
        const Scene& s = scene(*e);
        static std::map<const Experiment*, std::map<std::int64_t, double>> literals;
        if (!literals.contains(e)) {
            literals[e] = outcomes(
                s, e->literal,
                [](const Scene& on, RandomSource<FastGenerator>& r, Site from) {
                    std::int64_t steps = 0;
                    const WalkEnd end = walkLiteral(on.lattice, r, from, steps);
                    return key(end.outcome, end.at);
                },
                11);
        }
        score = outcomeScore(literals[e], static_cast<double>(e->literal),
                             outcomes(s, e->tested, w->walker, 12), static_cast<double>(e->tested));
    }
    RecordProperty("score", std::to_string(score));
    EXPECT_EQ(score > 5.0, w->rejectedBy != nullptr) << "score " << score;
}

INSTANTIATE_TEST_SUITE_P(Walkers, WalkerLaw, ::testing::ValuesIn(lawCases()), [](const auto& info) {
    return std::string(info.param.first->name) + "_" + info.param.second->name;
});

}  // namespace
}  // namespace dla

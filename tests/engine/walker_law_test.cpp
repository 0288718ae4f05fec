#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <optional>

#include "fractal_dimension.h"
#include "growth.h"
#include "jump_walk.h"

// One law for every walker: a walker is tried in experiments that sample it and the literal walk
// alike and score the difference as a normal score; above 5 (about 3e-7 one-sided) "one law" is
// rejected. Deliberately broken walkers show that each experiment notices what it is there for.
// Another walker joins with one row of kWalkers (and, if the growth can run it, its Walk).
namespace dla {
namespace {

int edgeRoom(int x, int y) {
    return Lattice::kExtent - std::max(std::abs(x), std::abs(y));
}
struct KillCircleIgnored {
    static int limit(int fromMap, int x, int y, std::int64_t) {
        return std::min(fromMap, edgeRoom(x, y));
    }
};
struct KillLimitOneTooLarge {  // near the kill circle
    static int limit(int fromMap, int x, int y, std::int64_t kill) {
        return std::min({fromMap, edgeRoom(x, y),
                         ExactJumpRule::killLimit(std::abs(x), std::abs(y), kill) + 1});
    }
};
struct OneTooLarge {  // everywhere
    static int limit(int fromMap, int x, int y, std::int64_t kill) {
        return std::min(
            {ExactJumpRule::limit(fromMap, x, y, kill) + 1, ExitTables::kLargest, edgeRoom(x, y)});
    }
};
struct UniformExits {  // every border cell equally likely
    int largest() const { return ExitTables::kLargest; }
    ExitCell sample(int m, double u) const {
        return ExitTables::borderCell(m, static_cast<int>(u * ExitTables::borderCells(m)));
    }
};

using Walker = std::function<WalkEnd(const Lattice&, RandomSource<FastGenerator>&, Site)>;

template <class Rule = ExactJumpRule, class Exits = ExitTables>
std::function<Walker()> jumpWalker(const Exits& exits = ExitTables::shared()) {
    return [&exits]() -> Walker {
        auto walker = std::make_shared<JumpWalker<Rule, Exits>>(ExitTables::kLargest, exits);
        return [walker](const Lattice& lattice, RandomSource<FastGenerator>& random, Site from) {
            std::int64_t steps = 0, jumps = 0;
            return walker->walk(lattice, random, from, steps, jumps);
        };
    };
}

struct WalkerCase {
    const char* name;
    std::function<Walker()> make;  // a fresh walker for each sample
    std::optional<Walk> growth;    // for whole runs
    const char* rejectedBy;        // a broken walker: the experiment that shows it
};

const UniformExits kUniformExits;
const WalkerCase kWalkers[] = {
    {"Jump", jumpWalker(), Walk::Jump, nullptr},
    {"KillCircleIgnored", jumpWalker<KillCircleIgnored>(), {}, "FrozenAggregate"},
    {"KillLimitOneTooLarge", jumpWalker<KillLimitOneTooLarge>(), {}, "KillFraction"},
    {"OneTooLarge", jumpWalker<OneTooLarge>(), {}, "FrozenAggregate"},
    {"UniformExits", jumpWalker<ExactJumpRule, UniformExits>(kUniformExits), {}, "FrozenAggregate"},
};

// Walkers released on a frozen aggregate of size n (n = 0: a corridor at the Lattice's edge), or
// whole runs of size n; `literal` and `tested` walkers or runs of each. On small aggregates the
// kill circle is close and sharply curved, so a square that pokes past it shows most there.
struct Experiment {
    const char* name;
    std::int32_t n;
    std::int64_t literal, tested;
    bool runs;
};
const Experiment kExperiments[] = {
    {"FrozenAggregate", 100, 200'000, 1'000'000, false},
    {"KillFraction", 10, 1'000'000, 1'000'000, false},
    {"LatticeEdge", 0, 200'000, 200'000, false},
    {"WholeRun", 100, 200, 200, true},
    {"FrozenAggregateLong", 400, 200'000, 1'000'000, false},
    {"KillFractionLong", 40, 4'000'000, 4'000'000, false},
    {"WholeRunLong", 200, 300, 300, true},
};

// n > 0: a seeded aggregate with the kill disc of the R its run ended with, walkers released on
// the circle of R. n = 0: a wall at x = 960 and a disc over the whole Lattice, walkers released
// at (990, 0) to stick to the wall or be dropped on the outermost ring.
struct Scene {
    Lattice lattice;
    std::function<Site(double)> release;
};

const Scene& scene(std::int32_t n) {
    static std::map<std::int32_t, std::unique_ptr<Scene>> made;
    auto& s = made[n];
    if (s) return *s;
    s = std::make_unique<Scene>();
    if (n == 0) {
        for (int y = -Lattice::kExtent; y <= Lattice::kExtent; ++y) s->lattice.occupy(960, y);
        s->lattice.setKillRadius(1000);
        s->release = [](double) { return Site{990, 0}; };
        return *s;
    }
    SilentToolkit toolkit;
    RandomSource source(FastGenerator::seeded(7000 + static_cast<std::uint64_t>(n)), toolkit);
    const std::int16_t r = Gerar_DLA(n, s->lattice, source, toolkit, {Walk::Jump}).launchRadius;
    s->lattice.setKillRadius(r);
    s->release = [r](double u) { return releasePoint(r, u, std::atan(1.0) * 4.0); };
    return *s;
}

// How often walkers ended at each cell (stuck; negated: killed or dropped), as a chi-square over
// the cells of both samples (those with fewer than 20 in both pooled) taken to a normal score, and
// the normal score of the fractions lost.
double outcomeScore(const Scene& s, std::int64_t na, const Walker& a, std::int64_t nb,
                    const Walker& b) {
    std::map<std::int64_t, std::pair<double, double>> where;
    double lost[2] = {};
    for (int sample = 0; sample < 2; ++sample) {
        SilentToolkit toolkit;
        RandomSource source(FastGenerator::seeded(11u + static_cast<std::uint64_t>(sample)),
                            toolkit);
        (void)source.Random(-1);
        for (std::int64_t i = 0; i < (sample ? nb : na); ++i) {
            const WalkEnd end = (sample ? b : a)(s.lattice, source, s.release(source.next()));
            const bool stuck = end.outcome == WalkOutcome::Stuck;
            auto& cell = where[stuck ? end.at : -1 - end.at];
            (sample ? cell.second : cell.first) += 1;
            lost[sample] += !stuck;
        }
    }
    std::vector<std::pair<double, double>> bins(1);
    for (const auto& [k, c] : where) {
        auto& bin = c.first + c.second < 20 ? bins.front() : bins.emplace_back();
        bin = {bin.first + c.first, bin.second + c.second};
    }
    const double ka = std::sqrt(static_cast<double>(nb) / static_cast<double>(na)),
                 dof = static_cast<double>(bins.size() - 1);
    double chi = 0;
    for (const auto& [ca, cb] : bins)
        if (ca + cb > 0) chi += (ka * ca - cb / ka) * (ka * ca - cb / ka) / (ca + cb);
    const double v = 2.0 / (9.0 * dof),
                 chiScore = (std::cbrt(chi / dof) - (1.0 - v)) / std::sqrt(v);
    const double fa = lost[0] / static_cast<double>(na), fb = lost[1] / static_cast<double>(nb);
    const double p = (lost[0] + lost[1]) / static_cast<double>(na + nb);
    const double lostScore =
        (fa - fb) /
        std::sqrt(p * (1 - p) * (1.0 / static_cast<double>(na) + 1.0 / static_cast<double>(nb)));
    return std::max(std::fabs(chiScore), std::fabs(lostScore));
}

// Particles, final R and (from N = 200) the estimated dimension of seeded runs with either walk,
// each compared through the Welch score of its means.
double runsScore(std::int32_t n, std::int64_t runs, Walk tested) {
    std::vector<double> values[2][3];  // [literal, tested][statistic]
    for (int w = 0; w < 2; ++w) {
        SilentToolkit toolkit;
        Lattice lattice;
        for (std::int64_t i = 0; i < runs; ++i) {
            RandomSource source(
                FastGenerator::seeded(static_cast<std::uint64_t>(w * 500'000 + i + 1)), toolkit);
            const GrowthResult run =
                Gerar_DLA(n, lattice, source, toolkit, {w ? tested : Walk::Literal});
            values[w][0].push_back(static_cast<double>(run.particles));
            values[w][1].push_back(run.launchRadius);
            if (n >= 200)
                values[w][2].push_back(Dimensão_Fractal(n, lattice, source, toolkit)->dimension);
        }
    }
    double worst = 0;
    for (int c = 0; c < (n >= 200 ? 3 : 2); ++c) {
        double mean[2], variance[2];
        for (int w = 0; w < 2; ++w) {
            const auto& v = values[w][c];
            const double k = static_cast<double>(v.size());
            mean[w] = std::accumulate(v.begin(), v.end(), 0.0) / k;
            // The variance of the mean: the sample's, divided by its size.
            variance[w] =
                (std::inner_product(v.begin(), v.end(), v.begin(), 0.0) / k - mean[w] * mean[w]) /
                (k - 1);
        }
        worst =
            std::max(worst, std::fabs(mean[0] - mean[1]) / std::sqrt(variance[0] + variance[1]));
    }
    return worst;
}

using LawCase = std::pair<const WalkerCase*, const Experiment*>;

// Every walker in every experiment (whole runs only for walkers the growth can run), a broken one
// only where it shows: each literal sample is dear.
std::vector<LawCase> lawCases() {
    std::vector<LawCase> cases;
    for (const WalkerCase& w : kWalkers)
        for (const Experiment& e : kExperiments)
            if ((!w.rejectedBy || w.rejectedBy == std::string(e.name)) && (!e.runs || w.growth))
                cases.emplace_back(&w, &e);
    return cases;
}

void PrintTo(const LawCase& c, std::ostream* os) {
    *os << c.first->name << " in " << c.second->name;
}

class WalkerLaw : public ::testing::TestWithParam<LawCase> {};

TEST_P(WalkerLaw, MatchesTheLiteralWalk) {
    const auto& [w, e] = GetParam();
    std::int64_t steps = 0;
    const Walker literal = [&](const Lattice& l, RandomSource<FastGenerator>& r, Site from) {
        return walkLiteral(l, r, from, steps);
    };
    const double score = e->runs
                             ? runsScore(e->n, e->literal, *w->growth)
                             : outcomeScore(scene(e->n), e->literal, literal, e->tested, w->make());
    RecordProperty("score", std::to_string(score));
    EXPECT_EQ(score > 5.0, w->rejectedBy != nullptr) << "score " << score;
}

INSTANTIATE_TEST_SUITE_P(Walkers, WalkerLaw, ::testing::ValuesIn(lawCases()), [](const auto& info) {
    return std::string(info.param.first->name) + "_" + info.param.second->name;
});

}  // namespace
}  // namespace dla

#include "runner.h"

#include <gtest/gtest.h>

#include <cmath>

#include "summary.h"

namespace dla::cli {
namespace {

TEST(PlanRuns, SizesInOrderWithSeedsCountingUp) {
    Options o;
    o.sizes = {100, 200};
    o.runs = 2;
    o.seed = 10;
    const std::vector<RunPlan> plans = planRuns(o);
    ASSERT_EQ(plans.size(), 4u);
    const std::int32_t sizes[] = {100, 100, 200, 200};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(plans[i].index, static_cast<std::int64_t>(i));
        EXPECT_EQ(plans[i].size, sizes[i]);
        EXPECT_EQ(plans[i].seed, 10u + i);
    }
    o.seed.reset();
    for (const RunPlan& s : planRuns(o)) EXPECT_FALSE(s.seed);
}

TEST(RunOne, RecordAgreesWithTheLattice) {
    Lattice lattice;
    std::atomic<std::int64_t> counted{0};
    const RunRecord r = runOne({0, 100, 3}, {}, lattice, &counted);

    EXPECT_TRUE(r.growth.finished);
    EXPECT_EQ(counted.load(), r.growth.particles);
    EXPECT_EQ(r.sites, lattice.occupiedCount());
    ASSERT_EQ(static_cast<std::int64_t>(r.arrivals.size()), r.sites);
    EXPECT_EQ(r.arrivals.front(), (Site{0, 0}));
    EXPECT_GE(r.growth.particles, r.sites - 1) << "a repeated arrival still counts as a particle";
    for (const Site& s : r.arrivals) ASSERT_TRUE(lattice.isOccupied(s.x, s.y));
    // The particle that ended the run arrived last, outside the square of half-side h.
    const Site last = r.arrivals.back();
    EXPECT_TRUE(std::max(std::abs(last.x), std::abs(last.y)) > r.growth.halfSide);
    EXPECT_DOUBLE_EQ(r.radiusOfGyration, radiusOfGyration(r.arrivals));

    ASSERT_TRUE(r.estimate);
    ASSERT_TRUE(r.fit);
    EXPECT_EQ(r.fit->slope, r.estimate->dimension);
    EXPECT_EQ(r.estimate->points.size(), boxSides(100).size());
}

TEST(RunOne, SameSeedSameRunAsTheEngineGivesIt) {
    Lattice a;
    const RunRecord r = runOne({0, 150, 42}, {}, a, nullptr);

    // The engine driven directly, as the window drives it: one source for growth and estimate.
    SilentToolkit toolkit;
    RandomSource<FastGenerator> random(FastGenerator::seeded(42), toolkit);
    Lattice b;
    const GrowthResult g = Gerar_DLA(150, b, random, toolkit);
    const auto e = Dimensão_Fractal(150, b, random, toolkit);

    EXPECT_EQ(a.hash(), b.hash());
    EXPECT_EQ(r.growth.particles, g.particles);
    EXPECT_EQ(r.growth.steps, g.steps);
    EXPECT_EQ(r.growth.walkersKilled, g.walkersKilled);
    ASSERT_TRUE(e);
    EXPECT_EQ(r.estimate->dimension, e->dimension);
}

TEST(RunOne, SmallSizeIsGrownButNotMeasured) {
    Lattice lattice;
    const RunRecord r = runOne({0, 20, 1}, {}, lattice, nullptr);
    EXPECT_GT(r.growth.particles, 0);
    EXPECT_FALSE(r.estimate);
    EXPECT_FALSE(r.fit);
}

std::vector<RunRecord> collect(const std::vector<RunPlan>& plans, int threads) {
    std::vector<RunRecord> records;
    RunObserver observer;
    observer.record = [&](RunRecord&& r) { records.push_back(std::move(r)); };
    runAll(plans, {}, threads, observer);
    return records;
}

TEST(RunAll, ThreadsChangeNothingButTheTimings) {
    Options o;
    o.sizes = {100, 120};
    o.runs = 3;
    o.seed = 7;
    const std::vector<RunPlan> plans = planRuns(o);
    const std::vector<RunRecord> one = collect(plans, 1);
    const std::vector<RunRecord> three = collect(plans, 3);
    ASSERT_EQ(one.size(), plans.size());
    ASSERT_EQ(three.size(), plans.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        EXPECT_EQ(one[i].plan.index, static_cast<std::int64_t>(i)) << "handed on in order";
        EXPECT_EQ(three[i].plan.index, static_cast<std::int64_t>(i));
        EXPECT_EQ(one[i].growth.particles, three[i].growth.particles);
        EXPECT_EQ(one[i].growth.steps, three[i].growth.steps);
        EXPECT_EQ(one[i].estimate->dimension, three[i].estimate->dimension);
    }
}

TEST(RunAll, SummaryOnFixedSeeds) {
    Options o;
    o.sizes = {100};
    o.runs = 5;
    o.seed = 1;
    const std::vector<RunRecord> records = collect(planRuns(o), 2);
    SummaryBuilder builder;
    double sum = 0.0;
    for (const RunRecord& r : records) {
        builder.add(r);
        sum += r.estimate->dimension;
    }
    const double mean = sum / 5.0;
    double squares = 0.0;
    for (const RunRecord& r : records) squares += std::pow(r.estimate->dimension - mean, 2);
    const Summary s = builder.build();
    EXPECT_NEAR(*s.all.dimension.mean, mean, 1e-14);
    EXPECT_NEAR(*s.all.dimension.sd, std::sqrt(squares / 4.0), 1e-14);
    EXPECT_NEAR(*s.all.dimension.sem, std::sqrt(squares / 4.0 / 5.0), 1e-14);
    // Seeds 1 to 5 give five different aggregates whose dimensions lie where DLA's do.
    EXPECT_GT(*s.all.dimension.sd, 0.0);
    EXPECT_GT(mean, 1.4);
    EXPECT_LT(mean, 1.9);
}

TEST(RunOne, StopEndsTheGrowthAtTheFirstParticle) {
    Lattice lattice;
    const std::atomic<bool> stop{true};
    const RunRecord r = runOne({0, 300, 1}, {}, lattice, nullptr, &stop);
    EXPECT_FALSE(r.growth.finished);
    EXPECT_FALSE(r.estimate);
    // The start's yields already say stop, before the seed is placed.
    EXPECT_EQ(r.growth.particles, 0);
}

TEST(RunAll, ArrivalsOnlyWhenAsked) {
    const std::vector<RunPlan> plans{{0, 30, 1}};
    std::vector<RunRecord> records;
    RunObserver observer;
    observer.record = [&](RunRecord&& r) { records.push_back(std::move(r)); };
    runAll(plans, {}, 1, observer, false);
    runAll(plans, {}, 1, observer, true);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].arrivals.empty());
    EXPECT_EQ(static_cast<std::int64_t>(records[1].arrivals.size()), records[1].sites);
    EXPECT_EQ(records[0].radiusOfGyration, records[1].radiusOfGyration);
}

TEST(RunAll, FailureInARunReachesTheCaller) {
    const std::vector<RunPlan> plans{{0, 100, 1}, {1, 5000, 2}, {2, 100, 3}};
    EXPECT_THROW(collect(plans, 2), std::invalid_argument);
}

TEST(RunAll, FailureInTheObserverStopsTheBatch) {
    const std::vector<RunPlan> plans{{0, 30, 1}, {1, 30, 2}, {2, 30, 3}, {3, 30, 4}};
    int seen = 0;
    RunObserver observer;
    observer.record = [&](RunRecord&&) {
        ++seen;
        throw std::runtime_error("disk full");
    };
    EXPECT_THROW(runAll(plans, {}, 2, observer), std::runtime_error);
    EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace dla::cli

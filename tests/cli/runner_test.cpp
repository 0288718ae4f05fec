// Runs on worker threads, handed on in order; also run under ThreadSanitizer.
#include "runner.h"

#include <gtest/gtest.h>

#include "large_measure.h"

namespace dla::cli {
namespace {

std::vector<RunRecord> collect(const std::vector<RunPlan>& plans, int threads,
                               const RunSettings& settings = {}) {
    std::vector<RunRecord> records;
    RunObserver observer;
    observer.record = [&](RunRecord&& r) { records.push_back(std::move(r)); };
    runAll(plans, settings, threads, observer);
    return records;
}

TEST(Runner, ThreadsChangeNothingButTheTimings) {
    Options o;
    o.sizes = {20, 100};
    o.runs = 8;  // more runs than the three workers may have ahead of the one handed on next
    o.seed = 7;
    const std::vector<RunPlan> plans = planRuns(o);
    const std::vector<RunRecord> one = collect(plans, 1);
    const std::vector<RunRecord> three = collect(plans, 3);
    ASSERT_EQ(three.size(), plans.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        EXPECT_EQ(three[i].plan.index, static_cast<std::int64_t>(i)) << "handed on in order";
        EXPECT_EQ(one[i].growth.steps, three[i].growth.steps);
        EXPECT_EQ(one[i].fit.has_value(), plans[i].size >= 100);
        EXPECT_EQ(one[i].fit ? one[i].fit->slope : 0, three[i].fit ? three[i].fit->slope : 0);
    }
}

TEST(Runner, FailureInARunOrInTheObserverStopsTheBatch) {
    RunSettings literal;
    literal.walk = Walk::Literal;
    EXPECT_THROW(collect({{0, 100, 1}, {1, 5000, 2}, {2, 100, 3}}, 2, literal),
                 std::invalid_argument);
    int seen = 0;
    RunObserver observer;
    observer.record = [&](RunRecord&&) {
        ++seen;
        throw std::runtime_error("disk full");
    };
    EXPECT_THROW(runAll({{0, 30, 1}, {1, 30, 2}, {2, 30, 3}, {3, 30, 4}}, {}, 2, observer),
                 std::runtime_error);
    EXPECT_EQ(seen, 1);
}

// The large lattice's literal walk grows the window's aggregate draw for draw; measured through
// measureLarge it must read as the window's run does: estimate, history and anisotropy. A run
// without a size is measured at the size that spans it.
TEST(Runner, LargeRunMeasuresAsTheWindowRun) {
    for (const std::int32_t size : {120, 200}) {
        RunSettings literal;
        literal.walk = Walk::Literal;
        Lattice lattice;
        const RunRecord window = runOne({0, size, 11}, literal, lattice);
        LargeGrowthOptions options;
        options.systemSize = size;
        options.largestJump = 1;
        LargeGrowth run(options, FastGenerator::seeded(11));
        run.grow();
        RunRecord large;
        large.plan = {0, size, 11};
        measureLarge(run, large);
        ASSERT_TRUE(window.estimate && large.estimate && large.anisotropy);
        EXPECT_EQ(large.estimate->draws, window.estimate->draws);
        EXPECT_EQ(large.estimate->dimension, window.estimate->dimension);
        EXPECT_EQ(large.historyDimension, window.historyDimension);
        EXPECT_EQ(large.anisotropy->harmonic, window.anisotropy->harmonic);
        large.plan.size = 0;
        measureLarge(run, large);
        EXPECT_TRUE(large.estimate);
    }
}

}  // namespace
}  // namespace dla::cli

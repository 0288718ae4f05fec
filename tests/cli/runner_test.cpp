// Runs on worker threads, handed on in order; also run under ThreadSanitizer.
#include "runner.h"

#include <gtest/gtest.h>

#include "large_measure.h"

namespace dla::cli {
namespace {

std::vector<RunRecord> collect(const std::vector<RunPlan>& plans, int threads) {
    std::vector<RunRecord> records;
    RunObserver observer;
    observer.record = [&](RunRecord&& r) { records.push_back(std::move(r)); };
    runAll(plans, {}, threads, observer);
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

// The large lattice held to single steps grows the window's aggregate draw for draw; measured
// through measureLarge, its estimate is then the window run's, draw for draw.
TEST(Runner, LargeRunMeasuresAsTheWindowRun) {
    RunSettings literal;
    literal.walk = Walk::Literal;
    Lattice lattice;
    const RunRecord window = runOne({0, 150, 11}, literal, &lattice);
    LargeGrowth run(LargeGrowthOptions{150, {}, 2.0, 1}, FastGenerator::seeded(11));
    run.grow();
    RunRecord large;
    large.plan = {0, 150, 11};
    measureLarge(run, large);
    ASSERT_TRUE(window.estimate && large.estimate);
    EXPECT_EQ(std::pair(large.estimate->draws, large.estimate->dimension),
              std::pair(window.estimate->draws, window.estimate->dimension));
}

}  // namespace
}  // namespace dla::cli

// Runs on worker threads, handed on in order; also run under ThreadSanitizer.
#include "runner.h"

#include <gtest/gtest.h>


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

}  // namespace
}  // namespace dla::cli

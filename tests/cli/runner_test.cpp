// Runs on worker threads, handed on in order; also run under ThreadSanitizer.
#include "batch/runner.h"

#include <gtest/gtest.h>

namespace dla {
namespace {

std::vector<RunRecord> collect(const std::vector<RunPlan>& plans, int threads) {
    std::vector<RunRecord> records;
    BatchObserver observer;
    observer.record = [&](RunRecord&& r) { records.push_back(std::move(r)); };
    runAll(plans, {}, threads, observer);
    return records;
}

TEST(Runner, ThreadsChangeNothingButTheTimings) {
    Plan o;
    o.sizes = {20, 100};
    o.runs = 8;  // more runs than the three workers may have ahead of the one handed on next
    o.seed = 7;
    const std::vector<RunPlan> plans = planRuns(o);
    const std::vector<RunRecord> one = collect(plans, 1);
    const std::vector<RunRecord> three = collect(plans, 3);
    ASSERT_EQ(three.size(), plans.size());
    for (std::size_t i = 0; i < plans.size(); ++i) {
        EXPECT_EQ(three[i].plan.index, static_cast<std::int64_t>(i)) << "handed on in order";
        const RunResult &a = one[i].result, &b = three[i].result;
        EXPECT_EQ(a.counts.steps, b.counts.steps);
        EXPECT_EQ(a.fit.has_value(), plans[i].size >= 100);
        EXPECT_EQ(a.fit ? a.fit->slope : 0, b.fit ? b.fit->slope : 0);
    }
}

}  // namespace
}  // namespace dla

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

// One worker grows literal runs one after another on one lattice: each reports its own sites,
// counts and estimate, as the same run grown alone does.
TEST(Runner, LiteralRunsInARowOnOneLatticeEachGrowTheirOwn) {
    Plan o;
    o.sizes = {100};
    o.runs = 3;
    o.seed = 5;
    BatchSettings batch;
    batch.growth.walker = Walker::Literal;
    const std::vector<RunPlan> plans = planRuns(o);
    std::vector<RunRecord> records;
    BatchObserver observer;
    observer.record = [&](RunRecord&& r) { records.push_back(std::move(r)); };
    runAll(plans, batch, 1, observer);
    ASSERT_EQ(records.size(), 3u);
    for (std::size_t i = 0; i < plans.size(); ++i) {
        dla::Run alone(runSettings(plans[i], batch.growth));
        alone.grow();
        const RunResult& a = alone.result();
        const RunRecord& r = records[i];
        EXPECT_EQ(r.arrivals, std::vector<Site>(alone.arrivals().begin(), alone.arrivals().end()));
        EXPECT_EQ(std::tuple(r.result.counts.steps, r.result.sites, r.result.estimate->dimension),
                  std::tuple(a.counts.steps, a.sites, a.estimate->dimension));
    }
}

}  // namespace
}  // namespace dla

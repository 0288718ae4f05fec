#include "large_measure.h"

#include <chrono>

#include "estimate/large_estimate.h"

namespace dla::cli {

void measureLarge(const LargeGrowth& run, RunRecord& record) {
    SilentToolkit toolkit;
    RandomSource<FastGenerator> random(run.random().generator(), toolkit);
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t size =
        record.plan.size > 0 ? record.plan.size : spanningSystemSize(run.lattice());
    record.measuredSize = size;
    record.estimate = largeBoxMassEstimate(size, run.lattice(), random);
    record.fit = record.estimate ? fitLine(record.estimate->points) : std::nullopt;
    measureShape(run.lattice().arrivals(), record);
    record.estimateSeconds = secondsSince(start);
}

}  // namespace dla::cli

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "batch/plan.h"
#include "formats/picture.h"
#include "run.h"

/// Making the runs of a batch, one at a time or many on worker threads, through the engine's
/// front door.
namespace dla {

/// How every run of a batch grows and what it keeps.
struct BatchSettings {
    RunSettings growth;        ///< every run's, but for the size and seed of its plan
    bool keepArrivals = true;  ///< without: records come without arrivals (only pictures need them)
    int imageSize = 0;         ///< > 0: each record carries its renderDownsampled picture
    /// Given: called with each run once it has ended and been measured, on the thread that
    /// grew it (a worker's), to take out what the record does not keep.
    std::function<void(const RunPlan&, const Run&)> exportRun;
    /// Given: each run, once recorded, is handed over whole instead of dropped (on its worker's
    /// thread), so that a front end can keep it; literal runs then grow on lattices of their own.
    std::function<void(const RunPlan&, std::unique_ptr<Run>)> keepRun;
};

/// Everything one run produced.
struct RunRecord {
    RunPlan plan;
    RunSettings settings;  ///< as the run grew
    RunResult result;
    /// The occupied cells in the order they were first occupied, the seed first (with
    /// BatchSettings::keepArrivals).
    std::vector<Site> arrivals;
    std::optional<Image> picture;  ///< with BatchSettings::imageSize
};

/// The record of `run`, made for `plan`: its result (measured once it has finished) and what
/// `batch` keeps of it; batch.exportRun, if given, is called with the run first.
RunRecord recordOf(const RunPlan& plan, Run& run, const BatchSettings& batch);

/// Where runAll reports to. Both are called on the thread that called runAll.
struct BatchObserver {
    /// Each record, in the order of the plans, as soon as it and all before it are done.
    std::function<void(RunRecord&&)> record;
    /// Once at the start and then every so often while work remains: runs done, stuck
    /// particles so far.
    std::function<void(std::int64_t done, std::int64_t particles)> progress;
};

/// Most worker threads a batch is grown on.
inline constexpr int kMostThreads = 256;

/// Makes every run of `plans` on `threads` (1..kMostThreads) worker threads (each with its own
/// Lattice for the literal walker). The results do not depend on the number of threads. Without
/// batch.keepArrivals the records come without their arrivals, so that records waiting for an
/// earlier, slower run hold little memory. An exception in a run is rethrown here once the
/// workers have stopped.
void runAll(const std::vector<RunPlan>& plans, const BatchSettings& batch, int threads,
            const BatchObserver& observer);

}  // namespace dla

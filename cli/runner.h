#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "anisotropy.h"
#include "fractal_dimension.h"
#include "growth.h"
#include "growth_history.h"
#include "options.h"
#include "statistics.h"
#include "walk.h"

/// Growing and measuring aggregates, one run at a time or many on worker threads.
namespace dla::cli {

/// Which run to make.
struct RunPlan {
    std::int64_t index = 0;  ///< 0-based over all sizes, in the order of --size
    std::int32_t size = 200;
    std::optional<std::uint64_t> seed;  ///< empty: seeded from the clock
};

/// Everything one run produced.
struct RunRecord {
    RunPlan plan;
    GrowthResult growth;
    std::int64_t sites = 0;                     ///< occupied cells, the seed included
    double radiusOfGyration = 0.0;              ///< of the occupied cells, lattice units
    std::optional<DimensionEstimate> estimate;  ///< empty below N = 100
    std::optional<LineFit> fit;                 ///< of estimate->points
    /// Slope of ln(sites) against ln(Rg) over the growth's last decade; empty below 100 sites.
    std::optional<double> historyDimension;
    std::optional<Anisotropy> anisotropy;  ///< of the outer sites; empty for the seed alone
    double growSeconds = 0.0;
    double estimateSeconds = 0.0;
    /// The occupied cells in the order they were first occupied, the seed first.
    std::vector<Site> arrivals;
};

/// The runs that `options` asks for: sizes in the given order, `runs` of each, seeds counting up
/// from --seed.
std::vector<RunPlan> planRuns(const Options& options);

/// Grows and measures one aggregate on `lattice` (whatever it held is cleared). Each stuck
/// particle adds one to `particles` when it is given, so that another thread can follow the
/// work. The growth and the estimate draw from one random source, as in the window. Once
/// `stop` (when given) is set, the growth ends at its next particle and the record comes back
/// with growth.finished false and no estimate.
RunRecord runOne(const RunPlan& plan, const GrowthOptions& growth, Lattice& lattice,
                 std::atomic<std::int64_t>* particles = nullptr,
                 const std::atomic<bool>* stop = nullptr);

/// Where runAll reports to. Both are called on the thread that called runAll.
struct RunObserver {
    /// Each record, in the order of the plans, as soon as it and all before it are done.
    std::function<void(RunRecord&&)> record;
    /// Once at the start and then every so often while work remains: runs done, stuck
    /// particles so far.
    std::function<void(std::int64_t done, std::int64_t particles)> progress;
};

/// Makes every run of `plans` on `threads` worker threads (each with its own Lattice). The
/// results do not depend on the number of threads. Without `keepArrivals` the records come
/// without their arrivals, which only a picture needs, so that records waiting for an earlier,
/// slower run hold little memory. An exception in a run is rethrown here once the workers have
/// stopped.
void runAll(const std::vector<RunPlan>& plans, const GrowthOptions& growth, int threads,
            const RunObserver& observer, bool keepArrivals = true);

}  // namespace dla::cli

#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "estimate/fractal_dimension.h"
#include "large/large_growth.h"
#include "measure/anisotropy.h"
#include "measure/growth_history.h"
#include "options.h"
#include "png_image.h"
#include "measure/statistics.h"
#include "window/growth.h"
#include "window/walk.h"

/// Growing and measuring aggregates, one run at a time or many on worker threads.
namespace dla::cli {

/// Which run to make.
struct RunPlan {
    std::int64_t index = 0;             ///< 0-based over all sizes, in the order of --size
    std::int32_t size = 200;            ///< kNoSize for a run that ends at a number of particles
    std::optional<std::uint64_t> seed;  ///< empty: seeded from the clock
};

/// How every run of a batch grows and what it keeps.
struct RunSettings {
    /// The literal walker grows on the window's Lattice; the jump walker with LargeGrowth.
    Walk walk = Walk::Jump;
    std::optional<std::int64_t> particleLimit;  ///< jump walker only
    double killFactor = kWindowKillFactor;      ///< jump walker only
    bool keepArrivals = true;  ///< without: records come without arrivals (only pictures need them)
    int imageSize = 0;         ///< > 0: each record carries its renderDownsampled picture
};

/// Seconds from `start` until now, on the steady clock.
double secondsSince(std::chrono::steady_clock::time_point start);

/// The settings that `options` asks for.
RunSettings runSettings(const Options& options);

/// The counts of a run, from either walker.
struct RunCounts {
    std::optional<std::int32_t> halfSide;  ///< h = round(N / 2); empty without a size
    std::int32_t launchRadius = 4;         ///< R when the run ended
    std::int64_t particles = 0;            ///< walkers that stuck, the seed not counted
    std::int64_t walkersKilled = 0;
    std::int64_t walkersAtEdge = 0;  ///< the literal walker's Lattice has an edge; 0 otherwise
    std::int64_t steps = 0;
    std::int64_t jumps = 0;
    bool finished = false;
};

/// Everything one run produced.
struct RunRecord {
    RunPlan plan;
    RunCounts growth;
    /// The jump walker's: its kill factor, a hash of the set of occupied cells (equal sets,
    /// equal hashes) and the bytes its lattice took.
    std::optional<double> killFactor;
    std::optional<std::uint64_t> hash;
    std::optional<std::uint64_t> latticeBytes;
    std::optional<std::int64_t> particleLimit;
    /// The size the estimate took: the plan's, or for a run without one 2e, e the largest |x|
    /// or |y| of its sites, so that the boxes span the aggregate as they span a sized run's.
    std::int32_t measuredSize = 0;
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
    std::optional<Image> picture;  ///< with RunSettings::imageSize
};

/// The runs that `options` asks for: sizes in the given order, `runs` of each, seeds counting up
/// from --seed; of those, only the ones in options.shard, with the indices and seeds they have
/// in the whole.
std::vector<RunPlan> planRuns(const Options& options);

/// Grows and measures one aggregate; the literal walker on `lattice` (whatever it held is
/// cleared; the jump walker needs none and takes nullptr). Each stuck
/// particle adds one to `particles` when it is given, so that another thread can follow the
/// work. The growth and the estimate draw from one random source, as in the window. Once
/// `stop` (when given) is set, the growth ends at its next particle and the record comes back
/// with growth.finished false and no estimate.
RunRecord runOne(const RunPlan& plan, const RunSettings& settings, Lattice* lattice,
                 std::atomic<std::int64_t>* particles = nullptr,
                 const std::atomic<bool>* stop = nullptr);

/// The options of the jump walker's run for `plan`.
LargeGrowthOptions largeOptions(const RunPlan& plan, const RunSettings& settings);

/// The record of a jump walker's run grown `growSeconds` so far; once the run has finished,
/// measured by measureLarge (large_measure.h) at its size, or at the size that spans it when it
/// had none.
RunRecord recordOf(const RunPlan& plan, const LargeGrowth& growth, const RunSettings& settings,
                   double growSeconds);

/// Where runAll reports to. Both are called on the thread that called runAll.
struct RunObserver {
    /// Each record, in the order of the plans, as soon as it and all before it are done.
    std::function<void(RunRecord&&)> record;
    /// Once at the start and then every so often while work remains: runs done, stuck
    /// particles so far.
    std::function<void(std::int64_t done, std::int64_t particles)> progress;
};

/// Makes every run of `plans` on `threads` worker threads (each with its own Lattice). The
/// results do not depend on the number of threads. Without settings.keepArrivals the records
/// come without their arrivals, so that records waiting for an earlier, slower run hold little
/// memory. An exception in a run is rethrown here once the workers have stopped.
void runAll(const std::vector<RunPlan>& plans, const RunSettings& settings, int threads,
            const RunObserver& observer);

}  // namespace dla::cli

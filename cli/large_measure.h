#pragma once

#include <cstdint>
#include <vector>

#include "large/large_growth.h"
#include "runner.h"
#include "window/walk.h"

/// The measures of a run beyond the box-mass estimate, and the whole measurement of a run grown
/// on the large lattice.
namespace dla::cli {

/// Sets record.historyDimension and record.anisotropy from `arrivals` (the occupied cells in the
/// order they were first occupied, the seed first).
template <class Sites>
void measureShape(const Sites& arrivals, RunRecord& record) {
    record.historyDimension = GrowthHistory::of(arrivals).dimension();
    record.anisotropy = measureAnisotropy(arrivals);
}

/// Measures a finished large run into `record`: the box-mass estimate at record.plan.size, or,
/// for a run that had no size (limited by its particle count, plan.size 0), at the size whose
/// square just holds the aggregate (spanningSystemSize), which goes to measuredSize; the history
/// dimension; the anisotropy; estimateSeconds. The estimate draws from a copy of the run's
/// source, which it re-initialises as the window's estimate does after its run: for the cells of
/// a window run (N up to 1000), its size and seed, it is the window's estimate, draw for draw.
void measureLarge(const LargeGrowth& run, RunRecord& record);

}  // namespace dla::cli

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "measure/statistics.h"

/// The statistics of an ensemble of runs: for each size and for all runs, and, with several
/// sizes, the dimension from the mass-radius relation.
namespace dla {

/// One run as the ensemble takes it.
struct EnsembleRun {
    std::int32_t size = 0;  ///< 0 for a run without a size
    double particles = 0.0;
    double radiusOfGyration = 0.0;
    double sites = 0.0;
    std::optional<double> dimension;         ///< box-mass; empty for a run not measured
    std::optional<double> historyDimension;  ///< empty for a run that has none
    std::optional<double> anisotropy;        ///< the fourfold harmonic <cos 4 theta>
};

struct GroupSummary {
    std::int32_t size = 0;  ///< 0 for the group of all runs and for runs without a size
    std::int64_t runs = 0;
    Moments particles;
    Moments radiusOfGyration;
    Moments dimension;         ///< over the runs that were measured (N >= 100)
    Moments historyDimension;  ///< over the runs that have one
    Moments anisotropy;        ///< the fourfold harmonic <cos 4 theta>, over the runs that have one
};

struct EnsembleSummary {
    GroupSummary all;
    std::vector<GroupSummary> bySize;  ///< in the order the sizes first appeared
    /// Slope of ln(sites) against ln(radius of gyration), one point per run; only with two or
    /// more sizes.
    std::optional<LineFit> massRadius;
};

/// Collects what the summary needs from each run (not the runs themselves).
class Ensemble {
  public:
    void add(const EnsembleRun& run) { runs_.push_back(run); }
    EnsembleSummary summarise() const;

  private:
    std::vector<EnsembleRun> runs_;
};

}  // namespace dla

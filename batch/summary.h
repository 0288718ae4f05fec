#pragma once

#include <cstdint>
#include <optional>

#include "batch/runner.h"
#include "measure/ensemble.h"

/// The ensemble summary of a batch: the engine's statistics over its runs and the growth options
/// they shared.
namespace dla {

struct Summary : EnsembleSummary {
    /// The kill factor (jump walker) and particle limit that the runs shared.
    std::optional<double> killFactor;
    std::optional<std::int64_t> particleLimit;
    /// The first seed, where it was drawn from the system's entropy rather than given.
    std::optional<std::uint64_t> drawnSeed;
};

/// What the ensemble takes of a run.
EnsembleRun ensembleRunOf(const RunRecord& record);

/// Collects what the summary needs from each run (not the runs themselves).
class SummaryBuilder {
  public:
    void add(const RunRecord& record);
    /// A run known by what the ensemble takes of it and the settings it grew with.
    void add(const EnsembleRun& run, const RunSettings& settings);
    Summary build() const;

  private:
    Ensemble ensemble_;
    std::optional<double> killFactor_;
    std::optional<std::int64_t> particleLimit_;
};

}  // namespace dla

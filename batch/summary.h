#pragma once

#include <cstdint>
#include <optional>

#include "batch/runner.h"
#include "measure/ensemble.h"

/// The ensemble summary of a batch: the engine's statistics over its runs and the growth options
/// they shared.
namespace dla {

struct Summary : EnsembleSummary {
    /// The settings the runs shared but for their sizes and seeds (none without runs).
    std::optional<RunSettings> growth;
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
    std::optional<RunSettings> growth_;
};

}  // namespace dla

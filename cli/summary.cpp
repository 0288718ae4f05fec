#include "summary.h"

namespace dla::cli {

void SummaryBuilder::add(const RunRecord& record) {
    const RunResult& r = record.result;
    EnsembleRun run{record.plan.size, static_cast<double>(r.counts.particles), r.radiusOfGyration,
                    static_cast<double>(r.sites)};
    if (r.estimate) run.dimension = r.estimate->dimension;
    run.historyDimension = r.historyDimension;
    if (r.anisotropy) run.anisotropy = r.anisotropy->harmonic;
    ensemble_.add(run);
    const bool jump = record.settings.walker == Walker::Jump;
    killFactor_ = jump ? std::optional(record.settings.killFactor) : std::nullopt;
    particleLimit_ = record.settings.particles;
}

Summary SummaryBuilder::build() const {
    Summary summary{ensemble_.summarise()};
    summary.killFactor = killFactor_;
    summary.particleLimit = particleLimit_;
    return summary;
}

}  // namespace dla::cli

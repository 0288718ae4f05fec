#include "batch/summary.h"

namespace dla {

EnsembleRun ensembleRunOf(const RunRecord& record) {
    const RunResult& r = record.result;
    EnsembleRun run;
    run.size = record.plan.size;
    run.particles = static_cast<double>(r.counts.particles);
    run.radiusOfGyration = r.radiusOfGyration;
    run.sites = static_cast<double>(r.sites);
    if (r.estimate) run.dimension = r.estimate->dimension;
    run.historyDimension = r.historyDimension;
    if (r.anisotropy) run.anisotropy = r.anisotropy->harmonic;
    return run;
}

void SummaryBuilder::add(const RunRecord& record) { add(ensembleRunOf(record), record.settings); }

void SummaryBuilder::add(const EnsembleRun& run, const RunSettings& settings) {
    ensemble_.add(run);
    const bool jump = settings.walker == Walker::Jump;
    killFactor_ = jump ? std::optional(settings.killFactor) : std::nullopt;
    particleLimit_ = settings.particles;
}

Summary SummaryBuilder::build() const {
    Summary summary;
    summary.EnsembleSummary::operator=(ensemble_.summarise());
    summary.killFactor = killFactor_;
    summary.particleLimit = particleLimit_;
    return summary;
}

}  // namespace dla

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

void SummaryBuilder::add(const RunRecord& record) {
    add(ensembleRunOf(record), record.settings);
}

void SummaryBuilder::add(const EnsembleRun& run, const RunSettings& settings) {
    ensemble_.add(run);
    growth_ = settings;
}

Summary SummaryBuilder::build() const {
    Summary summary;
    summary.EnsembleSummary::operator=(ensemble_.summarise());
    summary.growth = growth_;
    return summary;
}

}  // namespace dla

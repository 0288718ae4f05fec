#include "summary.h"

#include <algorithm>
#include <cmath>

namespace dla::cli {

void SummaryBuilder::add(const RunRecord& record) {
    std::optional<double> dimension;
    if (record.estimate) dimension = record.estimate->dimension;
    std::optional<double> anisotropy;
    if (record.anisotropy) anisotropy = record.anisotropy->harmonic;
    rows_.push_back({record.plan.size, static_cast<double>(record.growth.particles),
                     record.radiusOfGyration, static_cast<double>(record.sites), dimension,
                     record.historyDimension, anisotropy});
    killFactor_ = record.killFactor;
    particleLimit_ = record.particleLimit;
}

namespace {

template <class Rows, class Keep>
GroupSummary summarise(const Rows& rows, std::int32_t size, Keep keep) {
    GroupSummary group;
    group.size = size;
    std::vector<double> particles, radii, dimensions, histories, anisotropies;
    for (const auto& row : rows) {
        if (!keep(row)) continue;
        ++group.runs;
        particles.push_back(row.particles);
        radii.push_back(row.radiusOfGyration);
        if (row.dimension) dimensions.push_back(*row.dimension);
        if (row.historyDimension) histories.push_back(*row.historyDimension);
        if (row.anisotropy) anisotropies.push_back(*row.anisotropy);
    }
    group.particles = describe(particles);
    group.radiusOfGyration = describe(radii);
    group.dimension = describe(dimensions);
    group.historyDimension = describe(histories);
    group.anisotropy = describe(anisotropies);
    return group;
}

}  // namespace

Summary SummaryBuilder::build() const {
    Summary summary;
    summary.killFactor = killFactor_;
    summary.particleLimit = particleLimit_;
    summary.all = summarise(rows_, 0, [](const auto&) { return true; });
    std::vector<std::int32_t> sizes;
    for (const Row& row : rows_) {
        if (std::find(sizes.begin(), sizes.end(), row.size) == sizes.end())
            sizes.push_back(row.size);
    }
    for (const std::int32_t size : sizes) {
        summary.bySize.push_back(
            summarise(rows_, size, [size](const auto& row) { return row.size == size; }));
    }
    if (sizes.size() >= 2) {
        std::vector<FitPoint> points;
        for (const Row& row : rows_) {
            if (row.radiusOfGyration > 0.0) {
                points.push_back({0, 0.0, std::log(row.radiusOfGyration), std::log(row.sites)});
            }
        }
        summary.massRadius = fitLine(points);
    }
    return summary;
}

}  // namespace dla::cli

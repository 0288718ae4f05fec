#include "measure/ensemble.h"

#include <algorithm>
#include <cmath>

namespace dla {

namespace {

template <class Rows, class Keep>
GroupSummary groupOf(const Rows& rows, std::int32_t size, Keep keep) {
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

EnsembleSummary Ensemble::summarise() const {
    EnsembleSummary summary;
    summary.all = groupOf(runs_, 0, [](const auto&) { return true; });
    std::vector<std::int32_t> sizes;
    for (const EnsembleRun& row : runs_) {
        if (std::find(sizes.begin(), sizes.end(), row.size) == sizes.end())
            sizes.push_back(row.size);
    }
    for (const std::int32_t size : sizes) {
        summary.bySize.push_back(
            groupOf(runs_, size, [size](const auto& row) { return row.size == size; }));
    }
    if (sizes.size() >= 2) {
        struct Point {
            double x, y;
        };
        std::vector<Point> points;
        for (const EnsembleRun& row : runs_) {
            if (row.radiusOfGyration > 0.0)
                points.push_back({std::log(row.radiusOfGyration), std::log(row.sites)});
        }
        summary.massRadius = fitLine(points);
    }
    return summary;
}

}  // namespace dla

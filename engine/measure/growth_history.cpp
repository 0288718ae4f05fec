#include "measure/growth_history.h"

#include <algorithm>
#include <cmath>

#include "measure/statistics.h"

namespace dla {

void GrowthHistory::add(Site site) {
    ++sites_;
    sumX_ += site.x;
    sumY_ += site.y;
    sumSquares_ += static_cast<long double>(std::int64_t{site.x} * site.x) +
                   static_cast<long double>(std::int64_t{site.y} * site.y);
    arms_[0] = std::max(arms_[0], site.x);
    arms_[1] = std::max(arms_[1], -site.x);
    arms_[2] = std::max(arms_[2], site.y);
    arms_[3] = std::max(arms_[3], -site.y);
    if (sites_ < nextPoint_) return;
    points_.push_back(now());
    ++pointsMade_;
    // Rounded grid values repeat at the start; every recorded count is larger than the last.
    const auto grid = std::llround(static_cast<double>(kFirstPoint) *
                                   std::pow(10.0, pointsMade_ / double{kPointsPerDecade}));
    nextPoint_ = std::max<std::int64_t>(sites_ + 1, grid);
}

double GrowthHistory::radiusOfGyration() const {
    if (sites_ == 0) return 0.0;
    const auto n = static_cast<long double>(sites_);
    const long double mx = static_cast<long double>(sumX_) / n;
    const long double my = static_cast<long double>(sumY_) / n;
    const long double squared = sumSquares_ / n - mx * mx - my * my;
    return squared > 0.0L ? static_cast<double>(std::sqrt(squared)) : 0.0;
}

std::optional<double> GrowthHistory::dimension() const {
    if (sites_ < 10 * kFirstPoint) return std::nullopt;
    struct Point {
        double x, y;
    };
    std::vector<Point> last;
    const auto take = [&last](const HistoryPoint& p) {
        last.push_back({std::log(p.radiusOfGyration), std::log(static_cast<double>(p.sites))});
    };
    for (const HistoryPoint& p : points_)
        if (10 * p.sites >= sites_ && p.sites < sites_) take(p);
    take(now());
    const std::optional<LineFit> fit = fitLine(last);
    return fit ? std::optional(fit->slope) : std::nullopt;
}

}  // namespace dla

#include "measure/growth_history.h"

#include <cmath>

namespace dla {

void GrowthHistory::add(Site site) {
    ++sites_;
    sumX_ += site.x;
    sumY_ += site.y;
    sumSquares_ += static_cast<long double>(std::int64_t{site.x} * site.x) +
                   static_cast<long double>(std::int64_t{site.y} * site.y);
    if (sites_ < nextPoint_) return;
    points_.push_back({sites_, radiusOfGyration()});
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
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0, n = 0.0;
    const auto fit = [&](const HistoryPoint& p) {
        const double x = std::log(p.radiusOfGyration), y = std::log(static_cast<double>(p.sites));
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
        n += 1.0;
    };
    for (const HistoryPoint& p : points_)
        if (10 * p.sites >= sites_ && p.sites < sites_) fit(p);
    fit({sites_, radiusOfGyration()});
    const double spread = n * sxx - sx * sx;
    if (!(spread > 0.0)) return std::nullopt;
    return (n * sxy - sx * sy) / spread;
}

}  // namespace dla

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/growth_law.h"

namespace dla {

/// The number of sites, the radius of gyration and the arms' reach at one moment of a growth.
struct HistoryPoint {
    std::int64_t sites = 0;
    double radiusOfGyration = 0.0;  ///< about the centre of mass, in lattice units
    /// How far the aggregate reaches along each axis direction from the seed, the tips of the
    /// four arms of a square-lattice aggregate: the largest x of its sites, the largest -x, the
    /// largest y, the largest -y.
    std::array<std::int32_t, 4> arms{};
};

/// The growth history of an aggregate, fed its sites in the order they arrived: running sums of
/// x, y (64-bit integers, exact) and x^2 + y^2 (long double) give the radius of gyration at any
/// moment in constant time, and it is kept at site counts on a geometric grid, kPointsPerDecade a
/// decade from kFirstPoint on (below that the radius is a matter of a few cells).
///
/// The history dimension is the least-squares slope of ln(sites) against ln(Rg) over the points
/// of the last decade, sites from M / 10 to M (M the current count, the current state the last
/// point). A run of fewer than 10 kFirstPoint sites has no full decade of points and reports none.
class GrowthHistory {
  public:
    static constexpr std::int64_t kFirstPoint = 10;
    static constexpr int kPointsPerDecade = 20;

    /// One more site (sites must be distinct; |x|, |y| below 2^31).
    void add(Site site);

    /// A history fed every site of `arrivals`, in order.
    template <class Sites>
    static GrowthHistory of(const Sites& arrivals) {
        GrowthHistory history;
        for (const Site s : arrivals) history.add(s);
        return history;
    }

    std::int64_t sites() const { return sites_; }
    double radiusOfGyration() const;
    /// The point of the current state.
    HistoryPoint now() const { return {sites_, radiusOfGyration(), arms_}; }
    /// The recorded points, increasing in sites.
    const std::vector<HistoryPoint>& points() const { return points_; }
    /// The slope described above; empty below 10 kFirstPoint sites.
    std::optional<double> dimension() const;

  private:
    std::int64_t sites_ = 0;
    std::int64_t sumX_ = 0, sumY_ = 0;
    long double sumSquares_ = 0.0L;
    std::array<std::int32_t, 4> arms_{};
    std::int64_t nextPoint_ = kFirstPoint;
    int pointsMade_ = 0;
    std::vector<HistoryPoint> points_;
};

}  // namespace dla

#include "estimate/large_estimate.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "estimate/box_mass.h"
#include "estimate/dense_site_counter.h"
#include "estimate/sparse_box_counter.h"

namespace dla {

namespace {

// The sites of a lattice as the estimate reads them, through a DenseSiteCounter (a small
// aggregate) or a SparseBoxCounter (memory that follows the sites).
template <class Counter>
class SiteOccupancy {
  public:
    SiteOccupancy(const LargeLattice& lattice, const SiteBounds& bounds)
        : boxes_(lattice.arrivals(), bounds) {}
    bool occupied(std::int32_t x, std::int32_t y) const { return boxes_.occupied(x, y); }
    std::int64_t count(std::int32_t x0, std::int32_t y0, std::int32_t side) const {
        return boxes_.count(x0, y0, side);
    }
    template <class F>
    void forEachOccupied(std::int32_t low, std::int32_t high, F&& visit) const {
        boxes_.forEachIn(low, high, visit);
    }

  private:
    Counter boxes_;
};

}  // namespace

std::int32_t spanningSystemSize(const LargeLattice& lattice) {
    std::int64_t largest = 0;
    for (const Site s : lattice.arrivals())
        largest = std::max({largest, std::abs(std::int64_t{s.x}), std::abs(std::int64_t{s.y})});
    return static_cast<std::int32_t>(std::min<std::int64_t>(2 * largest, kLargestEstimateSize));
}

std::optional<DimensionEstimate> largeBoxMassEstimate(std::int32_t n, const LargeLattice& lattice,
                                                      RandomSource<FastGenerator>& random,
                                                      EstimateCounter counter) {
    (void)random.Random(-1);
    if (n < kSmallestMeasurableSize || n > kLargestEstimateSize || lattice.occupiedCount() == 0)
        return std::nullopt;
    // The aggregates of the window's sizes fit in a few MB of table, and there a count is
    // constant time; larger ones go by the sites.
    const SiteBounds bounds = SiteBounds::of(lattice.arrivals());
    if (counter == EstimateCounter::Fitting)
        counter = bounds.cells() <= DenseSiteCounter::kMostCells ? EstimateCounter::Dense
                                                                 : EstimateCounter::Sparse;
    if (counter == EstimateCounter::Dense)
        return detail::boxMassEstimate(n, SiteOccupancy<DenseSiteCounter>(lattice, bounds), random);
    return detail::boxMassEstimate(n, SiteOccupancy<SparseBoxCounter>(lattice, bounds), random);
}

}  // namespace dla

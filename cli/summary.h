#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "runner.h"
#include "measure/statistics.h"

/// The ensemble summary: statistics over the runs, for each size and, with several sizes, the
/// dimension from the mass-radius relation.
namespace dla::cli {

struct GroupSummary {
    std::int32_t size = 0;  ///< 0 for the group of all runs and for runs without a size
    std::int64_t runs = 0;
    Moments particles;
    Moments radiusOfGyration;
    Moments dimension;         ///< over the runs that were measured (N >= 100)
    Moments historyDimension;  ///< over the runs that have one
    Moments anisotropy;        ///< the fourfold harmonic <cos 4 theta>, over the runs that have one
};

struct Summary {
    GroupSummary all;
    std::vector<GroupSummary> bySize;  ///< in the order the sizes first appeared
    /// Slope of ln(sites) against ln(radius of gyration), one point per run; only with two or
    /// more sizes.
    std::optional<LineFit> massRadius;
    /// The batch's --kill-factor (jump walker) and --particles, as its runs had them.
    std::optional<double> killFactor;
    std::optional<std::int64_t> particleLimit;
};

/// Collects what the summary needs from each run (not the runs themselves).
class SummaryBuilder {
  public:
    void add(const RunRecord& record);
    Summary build() const;

  private:
    struct Row {
        std::int32_t size;
        double particles;
        double radiusOfGyration;
        double sites;
        std::optional<double> dimension;
        std::optional<double> historyDimension;
        std::optional<double> anisotropy;
    };
    std::vector<Row> rows_;
    std::optional<double> killFactor_;
    std::optional<std::int64_t> particleLimit_;
};

}  // namespace dla::cli

#pragma once

#include <cstdint>
#include <optional>

#include "estimate/dimension_estimate.h"
#include "large/large_lattice.h"
#include "random/generators.h"
#include "random/random_source.h"

namespace dla {

/// The largest system size the large estimate measures: its boxes stay within the coordinates a
/// LargeLattice holds.
inline constexpr std::int32_t kLargestEstimateSize = 1 << 25;

/// The system size whose square holds every site of the lattice: 2 max(|x|, |y|) over its sites,
/// the size at which a run would have ended with its outermost particle (a run limited by its
/// particle count has no size of its own).
std::int32_t spanningSystemSize(const LargeLattice& lattice);

/// The window's box-mass estimate (Dimensão_Fractal: the same sides, 1000 boxes a side, the same
/// draws from `random`, which it re-initialises first) for any size n in
/// kSmallestMeasurableSize..kLargestEstimateSize, over a large lattice. For the same cells, size
/// and source it gives the window's estimate draw for draw. Empty (after the re-initialisation)
/// for n outside that range, or when no occupied cell can be a test cell. Shows nothing.
///
/// How the boxes are counted; every choice gives the same estimate. Fitting: Dense when the
/// rectangle that bounds the sites holds at most DenseSiteCounter::kMostCells cells, else
/// Sparse.
enum class EstimateCounter { Fitting, Dense, Sparse };

/// It reads the lattice's arrivals alone (a shed lattice will do). Memory follows the sites, not
/// n^2, but for a small aggregate, where a dense table of a few MB counts faster: test cells and
/// box masses come from a SparseBoxCounter over the sites, and after kRejectedDrawLimit rejections
/// the direct sampler lists the occupied cells the boxes can reach (16 to 32 bytes a site more).
std::optional<DimensionEstimate> largeBoxMassEstimate(
    std::int32_t n, const LargeLattice& lattice, RandomSource<FastGenerator>& random,
    EstimateCounter counter = EstimateCounter::Fitting);

}  // namespace dla

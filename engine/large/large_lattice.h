#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "base/growth_law.h"
#include "base/site_list.h"
#include "large/block_level.h"
#include "large/cell_tiles.h"

namespace dla {

/// The lattice of a large aggregate: unbounded int32 coordinates, memory that follows the
/// aggregate, and a lower bound of how far each cell is from it.
///
/// For a cell c let D(c) be the Chebyshev distance max(|dx|, |dy|) to the nearest cell that has
/// an occupied neighbour ("near" cells; D = 0 on them). No cell within D(c) - 1 of c is near, so a
/// walker on c can make D(c) - 1 single steps, in any order, before it could stick. bound() is a
/// lower bound of D built from four levels:
/// - cells (tiles of 64 x 64, CellTiles), half a byte each: kOccupied on an occupied cell, else
///   kFineCap - F for F = min(D, kFineCap), exact below kFineCap (so that the stamps of new cells
///   are taken in by a maximum, which leaves an occupied cell's value as it is, and a tile never
///   made reads as far from everything);
/// - blocks of 8, 64 and 512 cells a side (BlockLevel, cap kBlockCap blocks), each about D less
///   two block sides;
/// - beyond those, the free space outside the aggregate: every near cell lies within
///   sqrt(max x^2 + y^2 over occupied cells) + 1 of the origin.
/// Its value is F when F < kFineCap, else the largest of kFineCap and the bounds of the block
/// levels up to the first one that is not saturated (and of the free space when all are); 0
/// exactly on near and occupied cells (an occupied cell is near unless it is the lone seed). It is
/// read from the 64-block level where that level alone settles it, elsewhere from the 8-block
/// level, which tells which level gives that same value: the cells only where that level cannot
/// settle it, the coarser levels only where it is saturated. Every level is a function of the
/// set of occupied cells alone (minima over it, or over the blocks it marks), so the bound
/// depends neither on the order the cells came in nor on which tiles or grid rows happen to
/// exist: a lattice rebuilt from its cells answers exactly as the one that grew.
class LargeLattice {
  public:
    static constexpr int kOccupied = CellTiles::kLargestValue;
    static constexpr int kFineCap = kOccupied - 1;
    static constexpr std::array<int, 3> kBlockShifts{3, 6, 9};
    static constexpr int kBlockCap = 32;
    /// From this K of the first block level on, D >= (K - 1) 8 + 1 >= kFineCap: the cells'
    /// value is saturated and below the level's bound.
    static constexpr int kBlocksBeyondCells = (kFineCap - 2) / (1 << kBlockShifts[0]) + 2;
    /// From this K of the second block level on, D >= (K - 1) 64 + 1 >= kBlockCap 8: the first
    /// level is saturated and its bound (at most (kBlockCap - 1) 8 + 4) below the second's.
    static constexpr int kBlocksBeyondFirst =
        ((kBlockCap << kBlockShifts[0]) - 2) / (1 << kBlockShifts[1]) + 2;
    /// Where the second level reaches kBlocksBeyondFirst, D >= (kBlocksBeyondFirst - 1) 64 + 1,
    /// and a first-level K below kBlockCap would put a near cell within (K + 1) 8 - 1 < that:
    /// below its cap the first level rules the second out.
    static constexpr bool kFirstSettles = ((kBlocksBeyondFirst - 1) << kBlockShifts[1]) + 1 >
                                          (kBlockCap << kBlockShifts[0]) - 1;
    static_assert(kFirstSettles);

    /// No cell occupied.
    LargeLattice();
    LargeLattice(const LargeLattice&) = delete;
    LargeLattice& operator=(const LargeLattice&) = delete;

    /// Occupies (x, y); false (and nothing changes) when it was occupied already. |x|, |y| must
    /// stay below 2^25.
    bool occupy(std::int32_t x, std::int32_t y);
    bool isOccupied(std::int32_t x, std::int32_t y) const {
        if (shed_) [[unlikely]]
            throw std::logic_error("a cell asked of a lattice that has shed its cells");
        return cells_.value(x, y) == kOccupied;
    }

    /// Frees the cells and the distance structure, nearly all the memory the lattice holds,
    /// keeping the arrivals, their count and the hash: for a lattice that will take no more
    /// cells and be asked no more distances, whose measures read the arrivals. Afterwards
    /// occupy() and isOccupied() throw std::logic_error; bound() must not be asked.
    void shedCells();
    bool shed() const { return shed_; }

    /// A lower bound of D(x, y), see above: 0 exactly when (x, y) is occupied or has an occupied
    /// neighbour.
    int bound(std::int32_t x, std::int32_t y) const {
        CellTiles::Cursor cursor;
        return bound(x, y, cursor);
    }
    /// The same through a cursor that the caller keeps from one read to the next while the
    /// lattice does not change.
    int bound(std::int32_t x, std::int32_t y, CellTiles::Cursor& cursor) const {
        // The second block level first, a small one: from kBlocksBeyondFirst on it settles the
        // value alone (the first level is saturated there, kFirstSettles), which spares the far
        // walkers the first level's larger tiles. Nearer in, the first level decides which level
        // answers: below its cap the second is not saturated, and the cells are read only where
        // the first cannot settle the value.
        const int second = blocks_[1].blocks(x, y);
        if (second >= kBlocksBeyondFirst) return levelBound(x, y, 1, second);
        const int first = blocks_[0].blocks(x, y);
        if (first >= kBlockCap) [[unlikely]]
            return coarseBound(x, y, 0, first);
        if (first >= kBlocksBeyondCells) return std::max(kFineCap, blocks_[0].bound(x, y, first));
        return std::max(kFineCap - cells_.value(x, y, cursor), 0);
    }

    /// The occupied cells in the order they were first occupied.
    const SiteList& arrivals() const { return arrivals_; }
    std::int64_t occupiedCount() const { return static_cast<std::int64_t>(arrivals_.size()); }
    /// A hash of the set of occupied cells, whatever their order.
    std::uint64_t hash() const { return hash_; }

    /// Bytes held by the tiles and grids (the arrival list not counted).
    std::size_t memoryBytes() const;

  private:
    // coarseBound()'s first step in line: a level that is not saturated settles it. Far from
    // the aggregate the 64-block level settles nearly every read this way (docs/performance.md).
    int levelBound(std::int32_t x, std::int32_t y, std::size_t level, int k) const {
        if (k < kBlockCap) return std::max(kFineCap, blocks_[level].bound(x, y, k));
        return coarseBound(x, y, level, k);
    }
    int coarseBound(std::int32_t x, std::int32_t y, std::size_t level, int k) const;
    int beyondAggregate(std::int32_t x, std::int32_t y) const;
    void stampCells(std::int32_t x, std::int32_t y);

    CellTiles cells_;
    std::array<BlockLevel, 3> blocks_;
    SiteList arrivals_;
    std::int64_t largestNorm_ = 0;
    double reach_ = 1.0;  ///< sqrt(largestNorm_) + 1, or more
    std::uint64_t hash_ = 0;
    bool shed_ = false;
};

}  // namespace dla

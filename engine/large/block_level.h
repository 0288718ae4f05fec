#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "large/huge_page_allocator.h"

namespace dla {

/// One coarse level of the distance structure. The plane is cut into blocks of side 2^shift,
/// aligned at multiples of the side; a block is marked once one of its cells has an occupied
/// neighbour, and each block holds K, the Chebyshev distance in blocks to the nearest marked
/// block, capped at `cap` (0 on a marked block).
///
/// A cell c of a block with K >= 1 lies at least (K - 1) side + 1 + e(c) from every cell of
/// every marked block, where e(c) in 0..side/2 - 1 is its distance to the nearest edge of its
/// own block: bound() gives that lower bound of the distance from c to the nearest cell with an
/// occupied neighbour, at most about two sides short of it. Both K and the bound depend only on
/// the set of marked blocks, never on the order they came in.
///
/// The blocks are a dense square grid around the origin, grown (by a quarter or more) when a
/// mark needs room; a block outside it is more than cap blocks from every mark.
class BlockLevel {
  public:
    /// `shift` in 1..20, `cap` in 2..255.
    BlockLevel(int shift, int cap);

    int cap() const { return cap_; }

    /// K of the block holding cell (x, y).
    int blocks(std::int32_t x, std::int32_t y) const {
        const auto bx = static_cast<std::uint32_t>((x >> shift_) + half_);
        const auto by = static_cast<std::uint32_t>((y >> shift_) + half_);
        if (bx >= width_ || by >= width_) return cap_;
        return grid_[at(bx, by)];
    }

    /// The lower bound (k - 1) side + 1 + e(x, y) for k = blocks(x, y) >= 1.
    int bound(std::int32_t x, std::int32_t y, int k) const {
        const int last = (1 << shift_) - 1;
        const int ox = x & last, oy = y & last;
        const int edge = std::min(std::min(ox, last - ox), std::min(oy, last - oy));
        return ((k - 1) << shift_) + 1 + edge;
    }

    /// Marks the block of cell (x, y), which has an occupied neighbour.
    void mark(std::int32_t x, std::int32_t y) {
        // Nearly every mark falls on a block marked already, which the grid was grown around.
        const auto bx = static_cast<std::uint32_t>((x >> shift_) + half_);
        const auto by = static_cast<std::uint32_t>((y >> shift_) + half_);
        if (bx < width_ && by < width_ && grid_[at(bx, by)] == 0) return;
        markNew(x, y);
    }

    /// Bytes held by the grid.
    std::size_t memoryBytes() const { return grid_.size(); }
    /// Frees the grid: no block is marked any more.
    void clear() {
        grid_ = {};
        half_ = 0;
        width_ = 0;
    }

  private:
    // The grid is stored in squares of 8 x 8 blocks, one cache line each, so that reads near
    // one another share lines in both directions. bx, by count from the grid's corner.
    static constexpr int kSquare = 8;
    static constexpr int kPad = kSquare - 1;
    static std::size_t at(std::uint32_t bx, std::uint32_t by, std::uint32_t width) {
        return (static_cast<std::size_t>(by / kSquare) * width + (bx / kSquare) * kSquare) *
                   kSquare +
               (by % kSquare) * kSquare + bx % kSquare;
    }
    std::size_t at(std::uint32_t bx, std::uint32_t by) const { return at(bx, by, width_); }
    void markNew(std::int32_t x, std::int32_t y);
    void grow(std::int32_t reach);

    int shift_;
    int cap_;
    std::size_t stampSide_;            ///< 2 (cap - 1 + kPad) + 1
    std::vector<std::uint8_t> stamp_;  ///< block distances around a new mark, kPad of cap around
    std::int32_t half_ = 0;  ///< the grid covers blocks -half_..half_ - 1 a side; a multiple of 8
    std::uint32_t width_ = 0;
    std::vector<std::uint8_t, HugePageAllocator<std::uint8_t>> grid_;
};

}  // namespace dla

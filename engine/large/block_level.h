#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "large/huge_page_allocator.h"
#include "large/tile_directory.h"

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
/// The blocks are kept in tiles of 64 x 64 blocks that exist only where a mark's distances
/// reached, found through a square directory around the origin that grows (by a quarter or more)
/// when a tile beyond it is made: memory follows the aggregate, not the square around it. A block
/// of no tile is more than cap - 1 blocks from every mark, and reads cap.
class BlockLevel {
  public:
    /// `shift` in 1..20, `cap` in 2..255.
    BlockLevel(int shift, int cap);
    BlockLevel(const BlockLevel&) = delete;
    BlockLevel& operator=(const BlockLevel&) = delete;

    int cap() const { return cap_; }

    /// K of the block holding cell (x, y).
    int blocks(std::int32_t x, std::int32_t y) const { return at(x >> shift_, y >> shift_); }

    /// The lower bound (k - 1) side + 1 + e(x, y) for k = blocks(x, y) >= 1.
    int bound(std::int32_t x, std::int32_t y, int k) const {
        const int last = (1 << shift_) - 1;
        const int ox = x & last, oy = y & last;
        const int edge = std::min(std::min(ox, last - ox), std::min(oy, last - oy));
        return ((k - 1) << shift_) + 1 + edge;
    }

    /// Marks the block of cell (x, y), which has an occupied neighbour.
    void mark(std::int32_t x, std::int32_t y) {
        // Nearly every mark falls on a block marked already.
        if (at(x >> shift_, y >> shift_) != 0) markNew(x >> shift_, y >> shift_);
    }

    /// Bytes held by the tiles and the directory.
    std::size_t memoryBytes() const;
    /// Frees the tiles and the directory: no block is marked any more.
    void clear();

  private:
    static constexpr int kTileShift = 6;
    static constexpr int kTileSide = 1 << kTileShift;
    static constexpr int kTileBlocks = kTileSide * kTileSide;
    // A tile is stored in squares of 8 x 8 blocks, one cache line each, so that reads near one
    // another share lines in both directions.
    static constexpr int kSquare = 8;
    static constexpr int kPad = kSquare - 1;
    static std::size_t inTile(std::int32_t bx, std::int32_t by) {
        const auto ox = static_cast<std::size_t>(bx & (kTileSide - 1));
        const auto oy = static_cast<std::size_t>(by & (kTileSide - 1));
        return ((oy / kSquare) * (kTileSide / kSquare) + ox / kSquare) * kSquare * kSquare +
               (oy % kSquare) * kSquare + ox % kSquare;
    }
    /// The tile of block (bx, by), the blank one when it was never made.
    const std::uint8_t* tileOf(std::int32_t bx, std::int32_t by) const {
        return directory_.find(bx >> kTileShift, by >> kTileShift);
    }
    int at(std::int32_t bx, std::int32_t by) const { return tileOf(bx, by)[inTile(bx, by)]; }
    std::uint8_t* tile(std::int32_t bx, std::int32_t by);
    void markNew(std::int32_t bx, std::int32_t by);

    int shift_;
    int cap_;
    std::size_t stampSide_;            ///< 2 (cap - 1 + kPad) + 1
    std::vector<std::uint8_t> stamp_;  ///< block distances around a new mark, kPad of cap around
    std::vector<std::uint8_t> blank_;  ///< a tile of cap
    TileDirectory<std::uint8_t> directory_;
    std::vector<std::vector<std::uint8_t, HugePageAllocator<std::uint8_t>>> chunks_;
    std::size_t made_ = 0;  ///< tiles made
    std::size_t left_ = 0;  ///< tiles of the last chunk not yet made
};

}  // namespace dla

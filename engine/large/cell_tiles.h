#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "large/huge_page_allocator.h"
#include "large/tile_directory.h"

namespace dla {

/// The cell layer of the growing lattice: for each cell a value 0..15 in half a byte, stored in
/// tiles of 64 x 64 cells that exist only where something was written. A tile that does not
/// exist reads as cells of value 0. The tiles are found through a
/// square directory around the origin that grows (by a quarter or more at a time) when a tile
/// beyond it is made; memory follows what was written, not the coordinates it could reach.
class CellTiles {
  public:
    static constexpr int kShift = 6;
    static constexpr int kSide = 1 << kShift;
    static constexpr int kMask = kSide - 1;

    /// Bytes of a tile's row of values.
    static constexpr int kRowBytes = kSide / 2;
    static constexpr int kLargestValue = 15;

    struct Tile {
        /// Row by row, two cells a byte: x even in the low half, x odd in the high one.
        std::array<std::uint8_t, kSide * kRowBytes> nibbles;
        int get(std::int32_t x, std::int32_t y) const {
            return (nibbles[offset(x, y)] >> ((x & 1) * 4)) & 0xF;
        }
        void set(std::int32_t x, std::int32_t y, int value) {
            std::uint8_t& pair = nibbles[offset(x, y)];
            const int shift = (x & 1) * 4;
            pair = static_cast<std::uint8_t>((pair & (0xF0 >> shift)) | (value << shift));
        }
    };

    /// Every cell of value 0.
    CellTiles();
    CellTiles(const CellTiles&) = delete;
    CellTiles& operator=(const CellTiles&) = delete;

    /// The value of cell (x, y), any int32 coordinates.
    int value(std::int32_t x, std::int32_t y) const { return tileAt(x, y).get(x, y); }
    /// The last tile read through it, so that reads that stay in one tile find it at once.
    /// Valid while no tile is made.
    struct Cursor {
        std::int32_t tx = std::numeric_limits<std::int32_t>::min(), ty = tx;
        const Tile* tile = nullptr;
    };
    int value(std::int32_t x, std::int32_t y, Cursor& cursor) const {
        const std::int32_t tx = x >> kShift, ty = y >> kShift;
        if (tx != cursor.tx || ty != cursor.ty) cursor = {tx, ty, &tileAt(x, y)};
        return cursor.tile->get(x, y);
    }

    /// The tile holding (x, y), one of zeros when it was never made.
    const Tile& tileAt(std::int32_t x, std::int32_t y) const {
        return *directory_.find(x >> kShift, y >> kShift);
    }
    /// The tile of tile coordinates (tx, ty) = (x >> kShift, y >> kShift), made if need be.
    Tile& tile(std::int32_t tx, std::int32_t ty) {
        // Nearly always one that exists already.
        Tile* t = directory_.find(tx, ty);
        return t != &blank_ ? *t : make(tx, ty);
    }

    /// The byte of a tile that holds cell (x, y).
    static std::size_t offset(std::int32_t x, std::int32_t y) {
        return static_cast<std::size_t>((y & kMask) * kRowBytes + ((x & kMask) >> 1));
    }

    /// Bytes held by the tiles and the directory.
    std::size_t memoryBytes() const;
    /// Frees every tile and the directory: every cell reads 0 again.
    void clear();

  private:
    Tile& make(std::int32_t tx, std::int32_t ty);

    Tile blank_;
    TileDirectory<Tile> directory_;
    std::vector<std::vector<Tile, HugePageAllocator<Tile>>> chunks_;
    std::size_t made_ = 0;
};

}  // namespace dla

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/growth_law.h"

namespace dla {

/// The occupancy grid: 2001 x 2001 cells, both indices from -1000 to 1000, x (the first index)
/// across and y down. A cell reads 0 when empty and -1 when occupied.
///
/// Stored compactly, one byte of flags a cell, so that the walk's test of a cell is one load:
/// besides "occupied" each cell knows whether one of its four neighbours is occupied, whether it
/// lies beyond the current kill disc of the walk, and whether it is on the outermost ring, where
/// a walker can no longer read all four neighbours inside the grid.
class Lattice {
  public:
    static constexpr int kExtent = 1000;           ///< largest |index|
    static constexpr int kSide = 2 * kExtent + 1;  ///< cells per axis
    static constexpr std::ptrdiff_t kStride = kSide;

    enum Flag : std::uint8_t {
        Occupied = 1,
        Near = 2,     ///< one of the four neighbours is occupied
        Outside = 4,  ///< beyond the kill disc: x^2 + y^2 > (2R)^2
        Edge = 8,     ///< |x| = 1000 or |y| = 1000
    };
    /// A walker standing on a cell with one of these flags stops walking.
    static constexpr std::uint8_t kStopMask = Near | Outside | Edge;

    /// All cells empty, no kill disc.
    Lattice();

    static constexpr bool contains(int x, int y) {
        return x >= -kExtent && x <= kExtent && y >= -kExtent && y <= kExtent;
    }
    static constexpr std::ptrdiff_t index(int x, int y) {
        return static_cast<std::ptrdiff_t>(y + kExtent) * kStride + (x + kExtent);
    }
    static constexpr int xOf(std::ptrdiff_t index) {
        return static_cast<int>(index % kStride) - kExtent;
    }
    static constexpr int yOf(std::ptrdiff_t index) {
        return static_cast<int>(index / kStride) - kExtent;
    }

    /// The cell's value, 0 or -1. (x, y) must be inside the grid.
    std::int16_t operator()(int x, int y) const {
        return isOccupied(x, y) ? std::int16_t{-1} : std::int16_t{0};
    }
    bool isOccupied(int x, int y) const { return (flags_[checked(x, y)] & Occupied) != 0; }

    /// Every cell empty; no kill disc.
    void clear();
    /// Marks (x, y) occupied (-1). (x, y) must be inside the grid.
    void occupy(int x, int y);
    /// Number of occupied cells.
    std::int64_t occupiedCount() const { return occupied_; }
    /// The largest |x| or |y| of an occupied cell, -1 when none is: every occupied cell lies in
    /// the square of this half-side.
    int occupiedReach() const { return occupiedReach_; }

    /// Flags every cell with x^2 + y^2 > (2 radius)^2 as Outside, incrementally when the radius
    /// grows. `radius` >= 0.
    void setKillRadius(int radius);

    /// The flags of all cells, row by row (y), x fastest; index() addresses them.
    const std::uint8_t* flags() const { return flags_.data(); }

    /// A hash of the set of occupied cells (FNV-1a over their indices), for golden tests.
    std::uint64_t hash() const;

  private:
    static std::size_t checked(int x, int y);
    void markOutsideRing(int fromRadius, int toRadius);

    std::vector<std::uint8_t> flags_;
    std::int64_t occupied_ = 0;
    int occupiedReach_ = -1;
    int killRadius_ = -1;  ///< -1: no cell is flagged Outside
};

}  // namespace dla

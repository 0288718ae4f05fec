#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "lattice.h"

namespace dla {

/// The occupied cells of a square Lattice window, read the way the estimate reads them: whether
/// one cell is occupied (a bit a cell, so that the window of N = 1000 takes a quarter of a MB
/// instead of the Lattice's 4 MB), and how many occupied cells a square box holds, in constant
/// time through a summed-area table. Both are built in one pass over the window; integer counts,
/// so every result equals counting cell by cell.
class BoxCounter {
  public:
    /// The window: x and y both from `low` to `high`, clipped to the Lattice and to the square
    /// that holds its occupied cells.
    BoxCounter(const Lattice& lattice, int low, int high);

    /// Occupied cells with x0 <= x < x0 + side and y0 <= y < y0 + side; the parts of the box
    /// outside the window count nothing.
    std::int64_t count(int x0, int y0, int side) const;

    /// Whether (x, y) is occupied; false outside the window. Without a branch: the estimate asks
    /// this of random cells, and whether one lies in the window is a coin toss.
    bool occupied(int x, int y) const {
        const auto dx = static_cast<std::uint32_t>(x - low_);
        const auto dy = static_cast<std::uint32_t>(y - low_);
        const std::size_t inside = (dx < cells_) & (dy < cells_);
        const std::size_t at = (std::size_t{dy} * words_ + dx / 64) & (0 - inside);
        return ((bits_[at] >> (dx % 64)) & inside) != 0;
    }

  private:
    std::int64_t prefix(int x, int y) const;  // cells of the window with x' < x and y' < y

    int low_;
    int high_;
    std::uint32_t cells_;                    // a side of the window
    std::uint32_t words_;                    // 64-bit words a row of bits
    std::size_t width_;                      // a row of sums: one more than the cells
    std::unique_ptr<std::uint32_t[]> sums_;  // width_ x width_, not zeroed first
    std::vector<std::uint64_t> bits_;        // at least one word, so that bits_[0] can be read
};

}  // namespace dla

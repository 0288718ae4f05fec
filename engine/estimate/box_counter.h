#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "window/lattice.h"

namespace dla {

/// The occupied cells of a square Lattice window, read the way the estimate reads them (it is the
/// view of the window's Lattice that the box-mass estimate takes): whether one cell is occupied (a
/// bit a cell, so that the window of N = 1000 takes a quarter of a MB instead of the Lattice's
/// 4 MB), and how many occupied cells a square box holds, in constant time through a summed-area
/// table. Both are built in one pass over the window; integer counts, so every result equals
/// counting cell by cell. While the Lattice holds fewer than 2^16 occupied cells the table keeps
/// its sums modulo 2^16: no box can hold as many, so the count taken modulo 2^16 is the count, and
/// the table, written and read at random, takes half the memory.
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

    /// visit(x, y) for each occupied cell with both coordinates in low..high, row by row.
    template <class F>
    void forEachOccupied(int low, int high, F&& visit) const {
        for (int y = low; y <= high; ++y)
            for (int x = low; x <= high; ++x)
                if (occupied(x, y)) visit(x, y);
    }

  private:
    std::size_t at(int x, int y) const;  // where prefix(x, y) is stored
    template <class Sum>
    void build(const Lattice& lattice, Sum* sums);

    int low_;
    int high_;
    std::uint32_t cells_;  // a side of the window
    std::uint32_t words_;  // 64-bit words a row of bits
    std::size_t width_;    // a row of sums: one more than the cells
    // width_ x width_ prefix sums, cells of the window with x' < x and y' < y; one of the two,
    // not zeroed first
    std::unique_ptr<std::uint32_t[]> sums_;
    std::unique_ptr<std::uint16_t[]> narrowSums_;
    std::vector<std::uint64_t> bits_;  // at least one word, so that bits_[0] can be read
};

}  // namespace dla

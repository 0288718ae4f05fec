#pragma once

#include <cstdint>
#include <vector>

#include "lattice.h"

namespace dla {

/// Counts occupied cells in square boxes of a Lattice window in constant time, through a
/// summed-area table built once. Integer counts, so every result equals counting cell by cell.
class BoxCounter {
  public:
    /// The window: x and y both from `low` to `high` (clipped to the Lattice).
    BoxCounter(const Lattice& lattice, int low, int high);

    /// Occupied cells with x0 <= x < x0 + side and y0 <= y < y0 + side; the parts of the box
    /// outside the window count nothing.
    std::int64_t count(int x0, int y0, int side) const;

  private:
    std::int64_t prefix(int x, int y) const;  // cells of the window with x' < x and y' < y

    int low_;
    int high_;
    std::size_t width_;
    std::vector<std::uint32_t> sums_;
};

}  // namespace dla

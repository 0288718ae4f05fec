#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/growth_law.h"
#include "estimate/site_bounds.h"

namespace dla {

/// Counts the sites of a small set in square boxes through a summed-area table over the
/// rectangle that bounds them, with a bit a cell for whether one is occupied: constant time a
/// count, where SparseBoxCounter takes up to 2 B binary searches. Memory follows the bounding
/// rectangle (4 bytes and a bit a cell), so it is for sets whose rectangle is small; the two
/// answer every question alike. Integer counts, so every result equals counting site by site.
class DenseSiteCounter {
  public:
    /// The rectangles it takes: at most this many cells (17 MB).
    static constexpr std::int64_t kMostCells = std::int64_t{1} << 22;

    /// The distinct sites in `sites`, any range of Site, whose `bounds` hold at most kMostCells
    /// cells.
    template <class Sites>
    DenseSiteCounter(const Sites& sites, const SiteBounds& bounds) : bounds_(bounds) {
        bits_.assign(1, 0);  // so that bits_[0] can be read
        if (bounds_.empty()) return;
        width_ = static_cast<std::size_t>(bounds_.xMax - bounds_.xMin + 1);
        height_ = static_cast<std::size_t>(bounds_.yMax - bounds_.yMin + 1);
        words_ = (width_ + 63) / 64;
        bits_.assign(words_ * height_, 0);
        for (const Site s : sites) {
            const auto dx = static_cast<std::size_t>(s.x - bounds_.xMin);
            bits_[static_cast<std::size_t>(s.y - bounds_.yMin) * words_ + dx / 64] |=
                std::uint64_t{1} << (dx % 64);
        }
        sumRows();
    }

    /// Sites with x0 <= x < x0 + side and y0 <= y < y0 + side; side >= 0.
    std::int64_t count(std::int32_t x0, std::int32_t y0, std::int32_t side) const {
        if (bounds_.empty()) return 0;
        const std::int64_t x1 = std::int64_t{x0} + side, y1 = std::int64_t{y0} + side;
        return std::int64_t{sum(x1, y1)} - sum(x0, y1) - sum(x1, y0) + sum(x0, y0);
    }

    /// Whether (x, y) is a site. Without a branch: the estimate asks this of random cells, and
    /// whether one lies in the rectangle is a coin toss.
    bool occupied(std::int32_t x, std::int32_t y) const {
        const auto dx = static_cast<std::uint64_t>(std::int64_t{x} - bounds_.xMin);
        const auto dy = static_cast<std::uint64_t>(std::int64_t{y} - bounds_.yMin);
        const std::uint64_t inside = (dx < width_) & (dy < height_);
        const auto at = static_cast<std::size_t>((dy * words_ + dx / 64) & (0 - inside));
        return ((bits_[at] >> (dx % 64)) & inside) != 0;
    }

    /// visit(x, y) for each site with both coordinates in low..high, row by row (y, then x,
    /// increasing).
    template <class F>
    void forEachIn(std::int32_t low, std::int32_t high, F&& visit) const {
        if (bounds_.empty()) return;
        const std::int64_t left = std::max<std::int64_t>(low, bounds_.xMin);
        const std::int64_t right = std::min<std::int64_t>(high, bounds_.xMax);
        const std::int64_t top = std::min<std::int64_t>(high, bounds_.yMax);
        for (std::int64_t y = std::max<std::int64_t>(low, bounds_.yMin); y <= top; ++y) {
            const std::uint64_t* row =
                bits_.data() + static_cast<std::size_t>(y - bounds_.yMin) * words_;
            for (std::int64_t x = left; x <= right;) {
                const auto dx = static_cast<std::size_t>(x - bounds_.xMin);
                const std::uint64_t word = row[dx / 64] >> (dx % 64);
                if (word == 0) {
                    x += 64 - static_cast<std::int64_t>(dx % 64);
                    continue;
                }
                x += std::countr_zero(word);
                if (x > right) break;
                visit(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
                ++x;
            }
        }
    }

    /// Bytes held.
    std::size_t memoryBytes() const {
        return bits_.capacity() * sizeof(std::uint64_t) + sums_.capacity() * sizeof(std::uint32_t);
    }

  private:
    void sumRows();
    // Sites with x' < x and y' < y, x and y first clamped to the rectangle and one past it.
    std::uint32_t sum(std::int64_t x, std::int64_t y) const {
        const auto dx = static_cast<std::size_t>(
            std::clamp(x - bounds_.xMin, std::int64_t{0}, static_cast<std::int64_t>(width_)));
        const auto dy = static_cast<std::size_t>(
            std::clamp(y - bounds_.yMin, std::int64_t{0}, static_cast<std::int64_t>(height_)));
        return sums_[dy * (width_ + 1) + dx];
    }

    SiteBounds bounds_;
    std::size_t width_ = 0, height_ = 0;
    std::size_t words_ = 0;  // 64-bit words a row of bits
    // At least a word; row by row from yMin, bit dx of a row for xMin + dx.
    std::vector<std::uint64_t> bits_;
    std::vector<std::uint32_t> sums_;  // (height_ + 1) x (width_ + 1), a first row and column of 0
};

}  // namespace dla

#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/growth_law.h"
#include "estimate/site_bounds.h"

namespace dla {

/// Counts the sites of a set in square boxes, with memory that follows the set rather than the
/// square it spans: the sites sorted by row and by column (4 bytes a site each), an offset per
/// row and per column of the bounding box (for an aggregate, which is connected, no more rows
/// or columns than sites), and a summed-area table over blocks of B x B cells, 8 bytes a block
/// of the bounding box. B is kSmallestBlock (0.5 byte per 1000 cells of the box) unless the
/// table would then have more entries than 4 sites + 64 (a sparse, stretched set), in which case
/// B doubles until it has not: the table never outgrows the sites. Integer counts, so every
/// result equals counting site by site.
///
/// A count is four dominance counts P(x, y) = #{sites with x' < x, y' < y}. With bx, by the
/// block corner at or below (x, y), P is the block table's count of x' < bx, y' < by, plus the
/// rows by..y - 1 each counted for x' < bx, plus the columns bx..x - 1 each counted for y' < y:
/// at most 2 B binary searches.
class SparseBoxCounter {
  public:
    static constexpr int kSmallestBlockShift = 7;

    /// The distinct sites in `sites`, any range of Site (any order; a site given twice is an
    /// error), and their `bounds`.
    template <class Sites>
    SparseBoxCounter(const Sites& sites, const SiteBounds& bounds)
        : sites_(static_cast<std::size_t>(bounds.sites)),
          xMin_(bounds.xMin),
          xMax_(bounds.xMax),
          yMin_(bounds.yMin),
          yMax_(bounds.yMax) {
        if (sites_ == 0) return;
        bucket(sites, yMin_, yMax_, true, rowX_, rowStart_);
        bucket(sites, xMin_, xMax_, false, columnY_, columnStart_);
        makeBlocks();
        for (const Site s : sites) ++blockTable_[blockIndex(s) + blocksWide_ + 1];
        sumBlocks();
    }

    /// Sites with x0 <= x < x0 + side and y0 <= y < y0 + side; side >= 0.
    std::int64_t count(std::int32_t x0, std::int32_t y0, std::int32_t side) const;

    /// Whether (x, y) is one of the sites: a binary search in its row.
    bool occupied(std::int32_t x, std::int32_t y) const {
        if (y < yMin_ || y > yMax_) return false;
        const auto row = static_cast<std::size_t>(y - yMin_);
        const std::size_t i = firstAtLeast(rowX_, rowStart_[row], rowStart_[row + 1], x);
        return i < rowStart_[row + 1] && rowX_[i] == x;
    }

    /// visit(x, y) for each site with both coordinates in low..high, row by row (y, then x,
    /// increasing).
    template <class F>
    void forEachIn(std::int32_t low, std::int32_t high, F&& visit) const {
        if (sites_ == 0) return;
        const std::int64_t top = std::min<std::int64_t>(high, yMax_);
        for (std::int64_t y = std::max<std::int64_t>(low, yMin_); y <= top; ++y) {
            const std::size_t row = static_cast<std::size_t>(y - yMin_);
            for (std::size_t i = firstAtLeast(rowX_, rowStart_[row], rowStart_[row + 1], low);
                 i < rowStart_[row + 1] && rowX_[i] <= high; ++i)
                visit(rowX_[i], static_cast<std::int32_t>(y));
        }
    }

    std::int64_t size() const { return static_cast<std::int64_t>(sites_); }
    /// Bytes held.
    std::size_t memoryBytes() const;

  private:
    // Sorts the sites by key with a counting pass: start[k - low] .. start[k - low + 1] holds
    // the other coordinates of the sites of key k, increasing.
    template <class Sites>
    static void bucket(const Sites& sites, std::int64_t low, std::int64_t high, bool byRow,
                       std::vector<std::int32_t>& values, std::vector<std::size_t>& start) {
        const auto key = [&](Site s) {
            return static_cast<std::size_t>((byRow ? s.y : s.x) - low);
        };
        start.assign(static_cast<std::size_t>(high - low + 2), 0);
        for (const Site s : sites) ++start[key(s) + 1];
        for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
        values.resize(start.back());
        std::vector<std::size_t> next(start.begin(), start.end() - 1);
        for (const Site s : sites) values[next[key(s)]++] = byRow ? s.x : s.y;
        sortRuns(values, start);
    }
    static void sortRuns(std::vector<std::int32_t>& values, const std::vector<std::size_t>& start);
    void makeBlocks();
    void sumBlocks();
    std::size_t blockIndex(Site s) const {
        return static_cast<std::size_t>((s.y - yMin_) >> blockShift_) * blocksWide_ +
               static_cast<std::size_t>((s.x - xMin_) >> blockShift_);
    }
    std::int64_t dominated(std::int64_t x, std::int64_t y) const;
    static std::size_t firstAtLeast(const std::vector<std::int32_t>& values, std::size_t begin,
                                    std::size_t end, std::int64_t value);

    std::size_t sites_ = 0;
    std::int64_t xMin_ = 0, xMax_ = -1, yMin_ = 0, yMax_ = -1;
    std::vector<std::int32_t> rowX_;     // x of the sites, by row then x
    std::vector<std::size_t> rowStart_;  // row y - yMin_ is rowX_[rowStart_[r], rowStart_[r + 1])
    std::vector<std::int32_t> columnY_;  // y of the sites, by column then y
    std::vector<std::size_t> columnStart_;
    int blockShift_ = kSmallestBlockShift;
    std::size_t blocksWide_ = 0;  // block table: (blocks + 1) a side, row by row
    std::vector<std::int64_t> blockTable_;
};

}  // namespace dla

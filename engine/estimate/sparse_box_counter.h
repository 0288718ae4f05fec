#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/growth_law.h"
#include "estimate/site_bounds.h"

namespace dla {

/// Counts the sites of a set in square boxes, with memory that follows the set rather than the
/// square it spans: the sites sorted by row and by column (2 bytes a site each: a line is cut
/// into bands of 2^16 cells, and a site keeps its place in its band), an offset per band of each
/// row and column of the bounding box (for an aggregate, which is connected, no more rows or
/// columns than sites, and one band a line up to 65536 cells across), and a summed-area table
/// over blocks of B x B cells, 8 bytes a block of the bounding box. B is kSmallestBlock (0.5
/// byte per 1000 cells of the box) unless the table would then have more entries than 4 sites +
/// 64 (a sparse, stretched set), in which case B doubles until it has not: the table never
/// outgrows the sites. Integer counts, so every
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
        const auto row = [this](Site s) { return static_cast<std::size_t>(s.y - yMin_); };
        const auto column = [this](Site s) { return static_cast<std::size_t>(s.x - xMin_); };
        const auto along = [this](Site s) { return s.x - xMin_; };
        const auto up = [this](Site s) { return s.y - yMin_; };
        rows_.sort(sites, static_cast<std::size_t>(yMax_ - yMin_ + 1), xMax_ - xMin_ + 1, row,
                   along);
        columns_.sort(sites, static_cast<std::size_t>(xMax_ - xMin_ + 1), yMax_ - yMin_ + 1,
                      column, up);
        makeBlocks();
        for (const Site s : sites) ++blockTable_[blockIndex(s) + blocksWide_ + 1];
        sumBlocks();
    }

    /// Sites with x0 <= x < x0 + side and y0 <= y < y0 + side; side >= 0.
    std::int64_t count(std::int32_t x0, std::int32_t y0, std::int32_t side) const;

    /// Whether (x, y) is one of the sites: a binary search in its row.
    bool occupied(std::int32_t x, std::int32_t y) const {
        if (y < yMin_ || y > yMax_ || x < xMin_ || x > xMax_) return false;
        return rows_.holds(static_cast<std::size_t>(y - yMin_), x - xMin_);
    }

    /// visit(x, y) for each site with both coordinates in low..high, row by row (y, then x,
    /// increasing).
    template <class F>
    void forEachIn(std::int32_t low, std::int32_t high, F&& visit) const {
        if (sites_ == 0) return;
        const std::int64_t top = std::min<std::int64_t>(high, yMax_);
        for (std::int64_t y = std::max<std::int64_t>(low, yMin_); y <= top; ++y) {
            rows_.forEachIn(static_cast<std::size_t>(y - yMin_), low - xMin_, high - xMin_,
                            [&](std::int64_t x) {
                                visit(static_cast<std::int32_t>(x + xMin_),
                                      static_cast<std::int32_t>(y));
                            });
        }
    }

    std::int64_t size() const { return static_cast<std::int64_t>(sites_); }
    /// Bytes held.
    std::size_t memoryBytes() const;

  private:
    // The sites of each line (a row or a column of the bounding box) as their places along it,
    // counted from the box's edge: place v of line k in band v >> 16 of the line, kept as its
    // low 16 bits, the bands of a line one after another, each increasing.
    class Lines {
      public:
        static constexpr int kBandShift = 16;

        // `place(s)` and `line(s)` of each site, lines 0..lines - 1, places 0..span - 1.
        template <class Sites, class Line, class Place>
        void sort(const Sites& sites, std::size_t lines, std::int64_t span, Line line,
                  Place place) {
            bands_ = static_cast<std::size_t>((span - 1) >> kBandShift) + 1;
            const auto key = [&](Site s) {
                return line(s) * bands_ + static_cast<std::size_t>(place(s) >> kBandShift);
            };
            start_.assign(lines * bands_ + 1, 0);
            for (const Site s : sites) ++start_[key(s) + 1];
            for (std::size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
            low_.resize(start_.back());
            std::vector<std::size_t> next(start_.begin(), start_.end() - 1);
            for (const Site s : sites)
                low_[next[key(s)]++] = static_cast<std::uint16_t>(place(s) & 0xFFFF);
            sortBands();
        }
        // Sites of line k at places below v.
        std::size_t below(std::size_t k, std::int64_t v) const;
        bool holds(std::size_t k, std::int64_t v) const;
        // visit(v) for the sites of line k at places from..to, increasing.
        template <class F>
        void forEachIn(std::size_t k, std::int64_t from, std::int64_t to, F&& visit) const {
            from = std::max<std::int64_t>(from, 0);
            const auto last = static_cast<std::int64_t>(bands_ << kBandShift) - 1;
            to = std::min(to, last);
            if (from > to) return;
            for (std::int64_t band = from >> kBandShift; band <= to >> kBandShift; ++band) {
                const std::size_t b = k * bands_ + static_cast<std::size_t>(band);
                const std::int64_t base = band << kBandShift;
                for (std::size_t i = firstAtLeast(b, from - base); i < start_[b + 1]; ++i) {
                    const std::int64_t v = base + low_[i];
                    if (v > to) return;
                    visit(v);
                }
            }
        }
        std::size_t memoryBytes() const {
            return low_.capacity() * sizeof(std::uint16_t) +
                   start_.capacity() * sizeof(std::size_t);
        }

      private:
        void sortBands();
        // The first place of band b (an index into start_) at or above `low` (< 2^16, or
        // below 0 for the band's first).
        std::size_t firstAtLeast(std::size_t b, std::int64_t low) const;

        std::size_t bands_ = 1;
        std::vector<std::uint16_t> low_;
        std::vector<std::size_t> start_;  // band b of line k: low_[start_[k bands + b], ... + 1)
    };

    void makeBlocks();
    void sumBlocks();
    std::size_t blockIndex(Site s) const {
        return static_cast<std::size_t>((s.y - yMin_) >> blockShift_) * blocksWide_ +
               static_cast<std::size_t>((s.x - xMin_) >> blockShift_);
    }
    std::int64_t dominated(std::int64_t x, std::int64_t y) const;

    std::size_t sites_ = 0;
    std::int64_t xMin_ = 0, xMax_ = -1, yMin_ = 0, yMax_ = -1;
    Lines rows_;     // the sites' x by row
    Lines columns_;  // the sites' y by column
    int blockShift_ = kSmallestBlockShift;
    std::size_t blocksWide_ = 0;  // block table: (blocks + 1) a side, row by row
    std::vector<std::int64_t> blockTable_;
};

}  // namespace dla

#include "large/large_lattice.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <stdexcept>

#include "large/byte_min.h"

namespace dla {

namespace {

constexpr int kCap = LargeLattice::kFineCap;
constexpr int kStampSide = 2 * kCap + 1;
// Room for a stamp and a block mark inside the reach of the tiles (2^25).
constexpr std::int32_t kLargestCoordinate = (1 << 25) - 2 * kCap;

// Distances from the cells around a newly occupied one to the nearest of its four neighbours,
// capped, as the tiles hold them (kCap - distance): cells farther than kCap from the occupied
// cell are at kCap or more from all four. Each row runs on by a tile's width less one of 0
// either side, so that every tile row the stamp reaches is raised whole: the values are never
// below 0, and the maximum with it changes nothing.
// The tiles hold two cells a byte, the even x in the low half, so the stamp is packed the same
// way twice: for an occupied cell at an even x, and for one at an odd x, a cell further along.
constexpr int kReach = (kCap + CellTiles::kMask + 1) / 2 * 2;  // even, and a tile row past kCap
constexpr int kStampRowBytes = kReach + 1;  // cells -kReach..kReach, and one more for odd x
struct CellStamp {
    std::array<std::array<std::uint8_t, kStampSide * kStampRowBytes>, 2> packed{};
    constexpr CellStamp() {
        const auto chebyshev = [](int dx, int dy) {
            return std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
        };
        const auto distance = [&](int dx, int dy) {
            return std::min({chebyshev(dx - 1, dy), chebyshev(dx + 1, dy), chebyshev(dx, dy - 1),
                             chebyshev(dx, dy + 1), kCap});
        };
        for (int odd = 0; odd < 2; ++odd) {
            // Byte k of a row holds the cells dx = first + 2k (low) and first + 2k + 1 (high),
            // first of the occupied cell's parity, as a tile's first column is even.
            const int first = -kReach - odd;
            for (int dy = -kCap; dy <= kCap; ++dy) {
                for (int k = 0; k < kStampRowBytes; ++k) {
                    const int dx = first + 2 * k;
                    packed[static_cast<std::size_t>(odd)]
                          [static_cast<std::size_t>((dy + kCap) * kStampRowBytes + k)] =
                              static_cast<std::uint8_t>((kCap - distance(dx, dy)) |
                                                        (kCap - distance(dx + 1, dy)) << 4);
                }
            }
        }
    }
};
constexpr CellStamp kStamp;

std::uint64_t cellHash(std::int32_t x, std::int32_t y) {
    std::uint64_t z = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) |
                      static_cast<std::uint32_t>(y);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

LargeLattice::LargeLattice()
    : blocks_{BlockLevel(kBlockShifts[0], kBlockCap), BlockLevel(kBlockShifts[1], kBlockCap),
              BlockLevel(kBlockShifts[2], kBlockCap)} {}

bool LargeLattice::occupy(std::int32_t x, std::int32_t y) {
    if (shed_) throw std::logic_error("a cell added to a lattice that has shed its cells");
    if (std::abs(x) > kLargestCoordinate || std::abs(y) > kLargestCoordinate) {
        throw std::out_of_range("cell beyond the reach of the large lattice");
    }
    CellTiles::Tile& tile = cells_.tile(x >> CellTiles::kShift, y >> CellTiles::kShift);
    if (tile.get(x, y) == kOccupied) return false;
    tile.set(x, y, kOccupied);
    arrivals_.push_back({x, y});
    hash_ += cellHash(x, y);
    const std::int64_t norm = std::int64_t{x} * x + std::int64_t{y} * y;
    if (norm > largestNorm_) {
        largestNorm_ = norm;
        reach_ = std::sqrt(static_cast<double>(norm)) + 1.0;
    }
    stampCells(x, y);
    for (BlockLevel& level : blocks_) {
        level.mark(x + 1, y);
        level.mark(x - 1, y);
        level.mark(x, y + 1);
        level.mark(x, y - 1);
    }
    return true;
}

void LargeLattice::stampCells(std::int32_t x, std::int32_t y) {
    constexpr int kShift = CellTiles::kShift;
    // A cell beyond an occupied neighbour n, by a row (or column) or more, is at least as near
    // one of n's neighbours, near already, as it is to any neighbour of (x, y): of the stamp only
    // the half on this side of n can raise anything; n itself keeps kOccupied. Nearly
    // every cell comes next to one, the one it stuck to.
    std::int32_t left = x - kCap, right = x + kCap, bottom = y - kCap, top = y + kCap;
    const auto behind = [&](std::int32_t nx, std::int32_t ny) {
        return cells_.value(nx, ny) == kOccupied;
    };
    if (behind(x - 1, y)) left = x;
    if (behind(x + 1, y)) right = x;
    if (behind(x, y - 1)) bottom = y;
    if (behind(x, y + 1)) top = y;
    // The stamp covers at most 2 x 2 tiles, all of them made even where nothing is raised, so
    // that the tiles that exist (and the memory reported) stay those of the whole stamps. A
    // tile's rows follow one another in memory, two a cache line, so that the hardware's own
    // prefetch finds them: asking for them first, row by row, made it slower.
    for (std::int32_t ty = (y - kCap) >> kShift; ty <= (y + kCap) >> kShift; ++ty) {
        for (std::int32_t tx = (x - kCap) >> kShift; tx <= (x + kCap) >> kShift; ++tx) {
            CellTiles::Tile& tile = cells_.tile(tx, ty);
            if (tx < left >> kShift || tx > right >> kShift) continue;
            const std::int32_t from = std::max(bottom, ty << kShift),
                               to = std::min(top, (ty << kShift) + CellTiles::kMask);
            // The stamp's bytes for the tile's first column, row y: that column is
            // (tx << kShift) - x cells from x, first + 2k for the byte k it begins.
            const int odd = x & 1;
            const std::uint8_t* stamp = kStamp.packed[static_cast<std::size_t>(odd)].data() +
                                        kCap * kStampRowBytes +
                                        (((tx << kShift) - x) + kReach + odd) / 2;
            for (std::int32_t row = from; row <= to; ++row) {
                maxNibblesInto(tile.nibbles.data() + CellTiles::offset(0, row),
                               stamp + (row - y) * kStampRowBytes, CellTiles::kRowBytes);
            }
        }
    }
}

// The bound once the cells' value is saturated: the largest of kFineCap and the bounds of the
// block levels up to the first that is not saturated, from `level` on (whose K is `k`); the
// levels below `level` are known to be saturated with smaller bounds.
int LargeLattice::coarseBound(std::int32_t x, std::int32_t y, std::size_t level, int k) const {
    int best = kFineCap;
    for (;;) {
        // Saturated finer levels put the nearest near cell outside this level's own block.
        assert(k >= 1);
        best = std::max(best, blocks_[level].bound(x, y, k));
        if (k < blocks_[level].cap()) return best;
        if (++level == blocks_.size()) return std::max(best, beyondAggregate(x, y));
        k = blocks_[level].blocks(x, y);
    }
}

int LargeLattice::beyondAggregate(std::int32_t x, std::int32_t y) const {
    // The largest t for which the square of half-side t around (x, y) misses the disc of radius
    // reach_: its point nearest the origin is (a - t, b - t) until t = b, then (a - t, 0). The
    // cells within floor(t) - 1 of (x, y) lie in a smaller square, also with the rounding of t.
    const double a = std::max(std::abs(static_cast<double>(x)), std::abs(static_cast<double>(y)));
    const double b = std::min(std::abs(static_cast<double>(x)), std::abs(static_cast<double>(y)));
    const double across = a - b;
    const double t = across >= reach_
                         ? a - reach_
                         : ((a + b) - std::sqrt(2.0 * reach_ * reach_ - across * across)) / 2.0;
    return t >= 1.0 ? static_cast<int>(std::min(t, 1e9)) : 0;
}

void LargeLattice::shedCells() {
    cells_.clear();
    for (BlockLevel& level : blocks_) level.clear();
    shed_ = true;
}

std::size_t LargeLattice::memoryBytes() const {
    std::size_t bytes = cells_.memoryBytes();
    for (const BlockLevel& level : blocks_) bytes += level.memoryBytes();
    return bytes;
}

}  // namespace dla

#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "base/conversions.h"
#include "base/trig_floor.h"
#include "estimate/dimension_estimate.h"
#include "measure/statistics.h"
#include "random/random_source.h"

/// The box-mass estimate over any occupancy view, the algorithm that Dimensão_Fractal and the
/// large estimate share. A view V gives, for int32 coordinates:
///   bool occupied(x, y) const;                  is the cell occupied
///   std::int64_t count(x0, y0, side) const;     occupied cells with x0 <= x < x0 + side, same in y
///   void forEachOccupied(low, high, f) const;   f(x, y) for each occupied cell with both
///                                               coordinates in low..high, row by row (y, then x,
///                                               increasing)
/// The draws, their order and every floating-point operation are the same for every view, so two
/// views of one set of cells give the same estimate, draw for draw.
namespace dla::detail {

inline constexpr int kBoxesPerSide = 1000;

// Draws accepted box corners straight from their law given acceptance, three deviates a box.
//
// One corner coordinate is x0 = floor(h cos(2 pi u)) with u uniform on [0, 1): 2 pi u is a
// uniform angle and P(cos >= c) = acos(c) / pi, so x0 = k with probability
// q(k) = (acos(k / h) - acos((k + 1) / h)) / pi, both quotients clamped to [-1, 1]. (The deviates
// lie on a grid of 2^-53 and the cosine is rounded, which moves the loop's law away from q by
// about 1e-16, far below what any number of boxes could show.) The two coordinates are
// independent, so the rejection loop accepts (x0, y0) with probability proportional to
// q(x0) q(y0) when the test cell (testCell(x0), testCell(y0)) is occupied, else 0. Grouped by test
// cell: the cell (a, b) comes with weight w(a) w(b), w(a) being q summed over the coordinates
// whose test cell is a (one for an even side, two or none for an odd one), and within it each
// coordinate comes in proportion to its q. That is the law sampled here: the cell by its weight,
// then x0 and y0 among their candidates.
//
// It holds the occupied cells the boxes can reach (a list, never a grid over the square): memory
// follows the aggregate, and the view hands them over row by row, so that the cumulative weights
// are summed in one order whatever the view.
template <class View>
class DirectBoxSampler {
  public:
    struct Cell {
        std::int32_t x, y;
    };

    // Corner coordinates floor(-h)..floor(h); occupied cells in the window the boxes can reach.
    DirectBoxSampler(const View& view, double halfN, std::int32_t reach)
        : low_(floorToInt32(-halfN)), high_(floorToInt32(halfN)) {
        const auto acosOf = [halfN](std::int32_t v) {
            return std::acos(std::clamp(v / halfN, -1.0, 1.0));
        };
        for (std::int32_t k = low_; k <= high_; ++k)
            law_.push_back((acosOf(k) - acosOf(k + 1)) / std::acos(-1.0));
        view.forEachOccupied(low_, reach, [this](std::int32_t x, std::int32_t y) {
            occupied_.push_back({x, y});
        });
    }

    // Prepares boxes of side L; false when no occupied cell can be a test cell, where the
    // rejection loop would never end.
    bool setSide(std::int32_t side) {
        side_ = side;
        cells_.clear();
        cumulative_.clear();
        double total = 0.0;
        for (const Cell cell : occupied_) {
            const double weight = cellWeight(cell.x) * cellWeight(cell.y);
            if (weight <= 0.0) continue;
            total += weight;
            cells_.push_back(cell);
            cumulative_.push_back(total);
        }
        return !cells_.empty();
    }

    void draw(double u1, double u2, double u3, std::int32_t& x0, std::int32_t& y0) const {
        const double target = u1 * cumulative_.back();
        auto chosen = static_cast<std::size_t>(
            std::upper_bound(cumulative_.begin(), cumulative_.end(), target) - cumulative_.begin());
        // u1 * total can round up to total.
        chosen = std::min(chosen, cells_.size() - 1);
        x0 = corner(cells_[chosen].x, u2);
        y0 = corner(cells_[chosen].y, u3);
    }

  private:
    // The coordinates whose test cell is a lie among a - L div 2 - 1 and a - L div 2.
    std::int32_t lowerCandidate(std::int32_t a) const { return a - side_ / 2 - 1; }
    double candidateLaw(std::int32_t a, std::int32_t k) const {
        if (k < low_ || k > high_ || testCell(k, side_) != a) return 0.0;
        return law_[static_cast<std::size_t>(k - low_)];
    }
    double cellWeight(std::int32_t a) const {
        const std::int32_t k = lowerCandidate(a);
        return candidateLaw(a, k) + candidateLaw(a, k + 1);
    }
    std::int32_t corner(std::int32_t a, double u) const {
        const std::int32_t k = lowerCandidate(a);
        const double lower = candidateLaw(a, k), upper = candidateLaw(a, k + 1);
        return u * (lower + upper) < lower ? k : k + 1;
    }

    std::int32_t low_, high_;
    std::int32_t side_ = 0;
    std::vector<double> law_;  // q(k) for k = low_..high_
    std::vector<Cell> occupied_;
    std::vector<Cell> cells_;  // the possible test cells of the side
    std::vector<double> cumulative_;
};

// What a search for the next accepted box corner found: `used` pairs of deviates drawn, the last
// of them accepted (at (x0, y0)) when `found`, all rejected otherwise.
struct CornerSearch {
    std::int64_t used = 0;
    bool found = false;
    std::int32_t x0 = 0, y0 = 0;
};

// Box corners from a source the estimate holds alone. Each pair of deviates u, u' gives the corner
// (x0, y0) = (floor(h cos(2 pi u)), floor(h cos(2 pi u'))), accepted when its test cell for side L
// is occupied. next(view, L, allowance) draws pairs until one is accepted or `allowance` pairs
// were rejected; deviate() gives the next single deviate once settle() has been called, which it
// must also be before the source is read elsewhere.
template <UniformGenerator G>
class PlainCorners {
  public:
    PlainCorners(RandomSource<G>& random, const trig::FloorCosTable& table)
        : random_(random), table_(table) {}
    template <class View>
    CornerSearch next(const View& view, std::int32_t L, std::int64_t allowance) {
        for (std::int64_t used = 1;; ++used) {
            const std::int32_t x0 = table_(random_.next()), y0 = table_(random_.next());
            if (view.occupied(testCell(x0, L), testCell(y0, L))) return {used, true, x0, y0};
            if (used == allowance) return {used, false};
        }
    }
    double deviate() { return random_.next(); }
    void settle() {}

  private:
    RandomSource<G>& random_;
    const trig::FloorCosTable& table_;
};

// The same from a detached source, kBatch pairs at a time: which pair comes next never depends
// on the tests, only how many pairs are used, so a batch of corners is made ahead, then all of
// them are tested for the side at hand into a mask, and the search goes from one accepted corner
// to the next by the mask's bits. Each pass is a loop without branches (but for the rare mixed
// part of the corner table) whose steps wait for nothing of the step before, so that the table
// and occupancy reads of many corners are under way at once. settle() puts the source where the
// pairs used so far leave it: back to where the batch began, then on by the pairs used.
template <DrawsTicks G>
class CornerBatches {
  public:
    static constexpr int kBatch = 256;

    CornerBatches(DetachedSource<G>& source, const trig::FloorCosTable& table)
        : source_(source), table_(table), start_(source) {}

    template <class View>
    CornerSearch next(const View& view, std::int32_t L, std::int64_t allowance) {
        CornerSearch search;
        for (;;) {
            if (used_ == made_) make();
            if (testedFor_ != L) test(view, L);
            const int accepted = nextAccepted();
            const std::int64_t rejected = accepted - used_;
            if (search.used + rejected >= allowance) {
                used_ += static_cast<int>(allowance - search.used);
                search.used = allowance;
                return search;
            }
            search.used += rejected;
            used_ = accepted;
            if (accepted < made_) {
                ++used_;
                ++search.used;
                search.found = true;
                search.x0 = x_[static_cast<std::size_t>(accepted)];
                search.y0 = y_[static_cast<std::size_t>(accepted)];
                return search;
            }
        }
    }
    double deviate() { return source_.next(); }
    void settle() {
        if (used_ != made_) {
            source_ = start_;
            for (int i = 0; i < used_; ++i) {
                (void)source_.nextTicks();
                (void)source_.nextTicks();
            }
        }
        used_ = made_ = 0;
    }

  private:
    static constexpr int kWords = kBatch / 64;

    void make() {
        start_ = source_;
        for (std::size_t i = 0; i < kBatch; ++i) {
            x_[i] = table_.ofTicks(source_.nextTicks());
            y_[i] = table_.ofTicks(source_.nextTicks());
        }
        made_ = kBatch;
        used_ = 0;
        testedFor_ = 0;
    }
    template <class View>
    void test(const View& view, std::int32_t L) {
        // testCell() with the parity of L known: an even side moves the corner by L / 2, an odd
        // one by (L - 1) / 2 and then to the even neighbour.
        if (L % 2 == 0) {
            testWith(view, [half = L / 2](std::int32_t c) { return c + half; });
        } else {
            testWith(view, [half = L / 2](std::int32_t c) {
                const std::int32_t t = c + half;
                return t + (t & 1);
            });
        }
        testedFor_ = L;
    }
    template <class View, class Cell>
    [[gnu::always_inline]] void testWith(const View& view, Cell cell) {
        for (std::size_t w = 0; w < kWords; ++w) {
            std::uint64_t bits = 0;
            for (std::size_t b = 0; b < 64; ++b) {
                const std::size_t i = 64 * w + b;
                bits |= std::uint64_t{view.occupied(cell(x_[i]), cell(y_[i]))} << b;
            }
            accepted_[w] = bits;
        }
    }
    // The first accepted corner not yet used, or made_.
    int nextAccepted() const {
        int w = used_ / 64;
        std::uint64_t bits =
            accepted_[static_cast<std::size_t>(w)] & (~std::uint64_t{0} << (used_ % 64));
        while (bits == 0) {
            if (++w == kWords) return made_;
            bits = accepted_[static_cast<std::size_t>(w)];
        }
        return 64 * w + std::countr_zero(bits);
    }

    DetachedSource<G>& source_;
    const trig::FloorCosTable& table_;
    DetachedSource<G> start_;
    int made_ = 0, used_ = 0;
    std::int32_t testedFor_ = 0;  // the side the mask holds; 0 for none (sides are 5 or more)
    std::array<std::int32_t, kBatch> x_, y_;
    std::array<std::uint64_t, kWords> accepted_;
};

// The boxes of the estimate, their corners from the Corners (PlainCorners or CornerBatches) that
// makeCorners(table) gives; false when no occupied cell can be a test cell. The corners are
// settled when this returns.
template <class View, class MakeCorners>
bool measureBoxes(std::int32_t n, const View& view, MakeCorners&& makeCorners,
                  DimensionEstimate& estimate) {
    const double pi = 4.0 * std::atan(1.0);
    const std::vector<std::int32_t> sides = boxSidesFor(n);
    const double halfN = n / 2.0;
    const std::int32_t reach = floorToInt32(halfN) + sides.back();
    const trig::FloorCosTable table(halfN, pi);
    auto source = makeCorners(table);
    struct Settled {
        decltype(source)& corners;
        ~Settled() { corners.settle(); }
    } settled{source};

    const std::int32_t L0 = sides.front();
    double M0 = 0.0;
    std::int64_t rejected = 0, drawn = 0;
    std::optional<DirectBoxSampler<View>> direct;
    std::vector<std::pair<std::int32_t, std::int32_t>> corners(kBoxesPerSide);
    for (const std::int32_t L : sides) {
        double total = 0.0;
        if (direct && !direct->setSide(L)) return false;
        for (int k = 1; k <= kBoxesPerSide; ++k) {
            std::int32_t x0, y0;
            for (;;) {
                if (direct) {
                    ++drawn;
                    const double u1 = source.deviate(), u2 = source.deviate(),
                                 u3 = source.deviate();
                    direct->draw(u1, u2, u3, x0, y0);
                    break;
                }
                // Corners are drawn until one is accepted, or until kRejectedDrawLimit + 1 have
                // been rejected in all: whether to go on drawing corners depends on earlier draws
                // only, and the rejected ones tell nothing about the next accepted box, so from
                // then on each box comes straight from the law the loop would have accepted it
                // with.
                const CornerSearch search = source.next(view, L, kRejectedDrawLimit + 1 - rejected);
                drawn += search.used;
                if (search.found) {
                    rejected += search.used - 1;
                    x0 = search.x0;
                    y0 = search.y0;
                    break;
                }
                rejected += search.used;
                source.settle();
                direct.emplace(view, halfN, reach);
                if (!direct->setSide(L)) return false;
            }
            corners[static_cast<std::size_t>(k - 1)] = {x0, y0};
        }
        // The masses after the corners, so that the counts' scattered reads do not push the
        // corner table and the occupancy out of the cache meanwhile. Whole numbers far below
        // 2^53: their sum is exact in any order.
        for (const auto& [x0, y0] : corners) total += static_cast<double>(view.count(x0, y0, L));
        if (L == L0) M0 = total / kBoxesPerSide;
        total = total / kBoxesPerSide;
        estimate.points.push_back(fitPointOf(L, total, L0, M0));
    }
    estimate.draws = drawn;
    estimate.dimension = leastSquaresSlope(estimate.points);
    return true;
}

/// The estimate for system size n >= kSmallestMeasurableSize over `view`, after the caller has
/// re-initialised `random`; empty when no occupied cell can be a test cell. The rules are
/// Dimensão_Fractal's (see there), for any n whose coordinates fit in int32.
template <class View, UniformGenerator G>
std::optional<DimensionEstimate> boxMassEstimate(std::int32_t n, const View& view,
                                                 RandomSource<G>& random) {
    DimensionEstimate estimate;
    bool measured;
    if constexpr (DrawsTicks<G>) {
        // Hundreds of thousands of deviates in a row: drawn from a copy of the state, as ticks,
        // which give the corner table's part with a shift.
        DetachedSource<G> source = random.detach();
        measured = measureBoxes(
            n, view,
            [&source](const trig::FloorCosTable& table) { return CornerBatches<G>(source, table); },
            estimate);
        random.attach(source);
    } else {
        measured = measureBoxes(
            n, view,
            [&random](const trig::FloorCosTable& table) { return PlainCorners<G>(random, table); },
            estimate);
    }
    if (!measured) return std::nullopt;
    return estimate;
}

}  // namespace dla::detail

#include "fractal_dimension.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "box_counter.h"
#include "conversions.h"
#include "growth.h"

namespace dla {

namespace {

constexpr int kBoxesPerSide = 1000;

std::int16_t firstSide(std::int32_t n) {
    return floorToInt16(5.0 / 100.0 * n);
}

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
class DirectBoxSampler {
  public:
    struct Cell {
        int x, y;
    };

    // Corner coordinates floor(-h)..floor(h); occupied cells in the window the boxes can reach.
    DirectBoxSampler(const Lattice& lattice, double halfN, int reach)
        : low_(static_cast<int>(std::floor(-halfN))), high_(static_cast<int>(std::floor(halfN))) {
        const auto acosOf = [halfN](int v) { return std::acos(std::clamp(v / halfN, -1.0, 1.0)); };
        for (int k = low_; k <= high_; ++k)
            law_.push_back((acosOf(k) - acosOf(k + 1)) / std::acos(-1.0));
        for (int y = low_; y <= reach; ++y)
            for (int x = low_; x <= reach; ++x)
                if (lattice.isOccupied(x, y)) occupied_.push_back({x, y});
    }

    // Prepares boxes of side L; false when no occupied cell can be a test cell, where the
    // rejection loop would never end.
    bool setSide(std::int16_t side) {
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

    void draw(double u1, double u2, double u3, std::int16_t& x0, std::int16_t& y0) const {
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
    int lowerCandidate(int a) const { return a - side_ / 2 - 1; }
    double candidateLaw(int a, int k) const {
        if (k < low_ || k > high_ || testCell(static_cast<std::int16_t>(k), side_) != a) return 0.0;
        return law_[static_cast<std::size_t>(k - low_)];
    }
    double cellWeight(int a) const {
        const int k = lowerCandidate(a);
        return candidateLaw(a, k) + candidateLaw(a, k + 1);
    }
    std::int16_t corner(int a, double u) const {
        const int k = lowerCandidate(a);
        const double lower = candidateLaw(a, k), upper = candidateLaw(a, k + 1);
        return static_cast<std::int16_t>(u * (lower + upper) < lower ? k : k + 1);
    }

    int low_, high_;
    std::int16_t side_ = 0;
    std::vector<double> law_;  // q(k) for k = low_..high_
    std::vector<Cell> occupied_;
    std::vector<Cell> cells_;  // the possible test cells of the side
    std::vector<double> cumulative_;
};

}  // namespace

std::vector<std::int16_t> boxSides(std::int32_t systemSize) {
    std::vector<std::int16_t> sides;
    if (systemSize < kSmallestMeasurableSize || systemSize > kLargestSystemSize) return sides;
    const std::int16_t step = firstSide(systemSize);
    const double limit = std::floor(systemSize / 2.0);
    std::int16_t side = step;
    do {
        sides.push_back(side);
        side = static_cast<std::int16_t>(side + step);
    } while (limit > side);
    return sides;
}

std::int32_t testCell(std::int16_t corner, std::int16_t side) {
    return roundHalfEvenToInt32(corner + side / 2.0);
}

double leastSquaresSlope(const std::vector<FitPoint>& points) {
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (const FitPoint& p : points) {
        sxy += p.y * p.x;
        sxx += p.x * p.x;
        sy += p.y;
        sx += p.x;
    }
    const double n = static_cast<double>(points.size());
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

std::string formatFourDecimals(double value, std::string_view separator) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4f", value);
    std::string text(buffer);
    // A value that rounds to zero is shown without a sign.
    if (text == "-0.0000") text = "0.0000";
    const auto point = text.find('.');
    if (point != std::string::npos) text.replace(point, 1, separator);
    return text;
}

template <UniformGenerator G>
std::optional<DimensionEstimate> Dimensão_Fractal(std::int32_t SystemSize, const Lattice& lattice,
                                                  RandomSource<G>& random, Toolkit& toolkit) {
    const double pi = 4.0 * std::atan(1.0);
    (void)random.Random(-1);

    const std::int32_t n = SystemSize;
    const auto refuse = [&toolkit]() -> std::optional<DimensionEstimate> {
        toolkit.messageBox(kEstimateRefusal, MessageStyle::Exclamation);
        return std::nullopt;
    };
    // Above the largest size a run takes, boxes would reach beyond the Lattice; on an empty Lattice
    // (an estimate started before the very first run has placed its seed) no box could ever be
    // accepted.
    if (n < kSmallestMeasurableSize || n > kLargestSystemSize || lattice.occupiedCount() == 0)
        return refuse();

    const std::vector<std::int16_t> sides = boxSides(n);
    const double halfN = n / 2.0;
    const int reach = static_cast<int>(std::floor(halfN)) + sides.back();
    const BoxCounter boxes(lattice, static_cast<int>(std::floor(-halfN)), reach);

    DimensionEstimate estimate;
    const std::int16_t L0 = sides.front();
    double M0 = 0.0;
    std::int64_t rejected = 0;
    std::optional<DirectBoxSampler> direct;
    for (const std::int16_t L : sides) {
        double total = 0.0;
        if (direct && !direct->setSide(L)) return refuse();
        for (int k = 1; k <= kBoxesPerSide; ++k) {
            std::int16_t x0, y0;
            for (;;) {
                ++estimate.draws;
                if (direct) {
                    const double u1 = random.next(), u2 = random.next(), u3 = random.next();
                    direct->draw(u1, u2, u3, x0, y0);
                    break;
                }
                x0 = floorToInt16(halfN * std::cos(random.next() * 2.0 * pi));
                y0 = floorToInt16(halfN * std::cos(random.next() * 2.0 * pi));
                if (lattice(testCell(x0, L), testCell(y0, L)) == -1) break;
                // Whether to go on drawing corners depends on earlier draws only, and the
                // rejected ones tell nothing about the next accepted box: from here on each box
                // comes straight from the law the loop would have accepted it with.
                if (++rejected > kRejectedDrawLimit) {
                    direct.emplace(lattice, halfN, reach);
                    if (!direct->setSide(L)) return refuse();
                }
            }
            total += static_cast<double>(boxes.count(x0, y0, L));
        }
        if (L == L0) M0 = total / kBoxesPerSide;
        total = total / kBoxesPerSide;
        estimate.points.push_back(
            {L, total, std::log(static_cast<double>(L) / L0), std::log(total / M0)});
    }

    estimate.dimension = leastSquaresSlope(estimate.points);
    toolkit.messageBox(
        "Dimensão Fractal = " + formatFourDecimals(estimate.dimension, toolkit.decimalSeparator()),
        MessageStyle::Information);
    return estimate;
}

template std::optional<DimensionEstimate> Dimensão_Fractal<FastGenerator>(
    std::int32_t, const Lattice&, RandomSource<FastGenerator>&, Toolkit&);

}  // namespace dla

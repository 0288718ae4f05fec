#include "fractal_dimension.h"

#include <cmath>
#include <cstdio>

#include "box_counter.h"
#include "conversions.h"

namespace dla {

namespace {

constexpr int kBoxesPerSide = 1000;

std::int16_t firstSide(std::int32_t n) {
    return floorToInt16(5.0 / 100.0 * n);
}

}  // namespace

std::vector<std::int16_t> boxSides(std::int32_t systemSize) {
    std::vector<std::int16_t> sides;
    if (systemSize < kSmallestMeasurableSize || systemSize > 1000) return sides;
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
    // Above 1000 boxes would reach beyond the Lattice; on an empty Lattice (an estimate started
    // before the very first run has placed its seed) no box could ever be accepted.
    if (n < kSmallestMeasurableSize || n > 1000 || lattice.occupiedCount() == 0) {
        toolkit.messageBox(kEstimateRefusal, MessageStyle::Exclamation);
        return std::nullopt;
    }

    const std::vector<std::int16_t> sides = boxSides(n);
    const double halfN = n / 2.0;
    const BoxCounter boxes(lattice, static_cast<int>(std::floor(-halfN)),
                           static_cast<int>(std::floor(halfN)) + sides.back());

    DimensionEstimate estimate;
    const std::int16_t L0 = sides.front();
    double M0 = 0.0;
    for (const std::int16_t L : sides) {
        double total = 0.0;
        for (int k = 1; k <= kBoxesPerSide; ++k) {
            std::int16_t x0, y0;
            for (;;) {
                ++estimate.draws;
                x0 = floorToInt16(halfN * std::cos(random.next() * 2.0 * pi));
                y0 = floorToInt16(halfN * std::cos(random.next() * 2.0 * pi));
                if (lattice(testCell(x0, L), testCell(y0, L)) == -1) break;
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
template std::optional<DimensionEstimate> Dimensão_Fractal<ScriptedGenerator>(
    std::int32_t, const Lattice&, RandomSource<ScriptedGenerator>&, Toolkit&);

}  // namespace dla

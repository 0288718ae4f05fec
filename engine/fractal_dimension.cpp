#include "fractal_dimension.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "box_counter.h"
#include "box_mass.h"
#include "conversions.h"
#include "growth.h"

namespace dla {

std::vector<std::int32_t> boxSidesFor(std::int32_t systemSize) {
    std::vector<std::int32_t> sides;
    if (systemSize < kSmallestMeasurableSize) return sides;
    const std::int32_t step = floorToInt32(5.0 / 100.0 * systemSize);
    const double limit = std::floor(systemSize / 2.0);
    std::int32_t side = step;
    do {
        sides.push_back(side);
        side += step;
    } while (limit > side);
    return sides;
}

std::vector<std::int16_t> boxSides(std::int32_t systemSize) {
    std::vector<std::int16_t> sides;
    if (systemSize > kLargestSystemSize) return sides;
    for (const std::int32_t side : boxSidesFor(systemSize))
        sides.push_back(static_cast<std::int16_t>(side));
    return sides;
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

    const double halfN = n / 2.0;
    const std::int32_t low = floorToInt32(-halfN);
    const std::int32_t reach = floorToInt32(halfN) + boxSidesFor(n).back();
    const std::optional<DimensionEstimate> estimate =
        detail::boxMassEstimate(n, BoxCounter(lattice, low, reach), random);
    if (!estimate) return refuse();
    toolkit.messageBox(
        "Dimensão Fractal = " + formatFourDecimals(estimate->dimension, toolkit.decimalSeparator()),
        MessageStyle::Information);
    return estimate;
}

template std::optional<DimensionEstimate> Dimensão_Fractal<FastGenerator>(
    std::int32_t, const Lattice&, RandomSource<FastGenerator>&, Toolkit&);

}  // namespace dla

#include "estimate/fractal_dimension.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/conversions.h"
#include "estimate/box_counter.h"
#include "estimate/box_mass.h"
#include "window/growth.h"

namespace dla {

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

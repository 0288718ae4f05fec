#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generators.h"
#include "lattice.h"
#include "random_source.h"
#include "toolkit.h"

namespace dla {

/// One measured box side: L, the mean box mass M(L), and the fit point
/// (ln(L / L0), ln(M(L) / M(L0))).
struct FitPoint {
    std::int16_t side = 0;
    double meanMass = 0.0;
    double x = 0.0;
    double y = 0.0;
};

struct DimensionEstimate {
    double dimension = 0.0;        ///< least-squares slope of y on x
    std::vector<FitPoint> points;  ///< one per side, the first always (0, 0)
    std::int64_t draws = 0;        ///< box corners drawn, rejected ones included
};

/// The message shown below the smallest measurable size, and when the Lattice holds nothing.
inline constexpr std::string_view kEstimateRefusal =
    "Por favor inicie o sistema ou verique seu tamanho (N >= 100)!";
inline constexpr std::int32_t kSmallestMeasurableSize = 100;

/// `Dimensão_Fractal`: re-initialises `random`, then for N = `SystemSize` >= 100 measures the
/// mean mass of 1000 boxes of side L (around an occupied test cell) for L = L0, 2 L0, ... below
/// N div 2 (L0 = N div 20), fits ln M against ln L and shows "Dimensão Fractal = " and the slope
/// in an information box. Below 100, above 1000, or on a Lattice with no occupied cell (where
/// no test cell could ever be found), shows the exclamation box kEstimateRefusal instead and
/// returns nothing. Every side is fitted, also the eleventh that some N between 112 and 179
/// give. Never yields; reads the Lattice only.
template <UniformGenerator G>
std::optional<DimensionEstimate> Dimensão_Fractal(std::int32_t SystemSize, const Lattice& lattice,
                                                  RandomSource<G>& random, Toolkit& toolkit);

/// The box sides measured for N (empty below 100 or above 1000).
std::vector<std::int16_t> boxSides(std::int32_t systemSize);

/// The test cell of a box whose lowest coordinate is `corner`: corner + L / 2, rounded to the
/// nearest integer with ties to even.
std::int32_t testCell(std::int16_t corner, std::int16_t side);

/// `value` with the pattern "0.0000": at least one integer digit, exactly four decimals,
/// rounded, a minus sign when negative, `separator` between integer and fraction.
std::string formatFourDecimals(double value, std::string_view separator);

/// The least-squares slope of y on x over the points, as the estimate computes it.
double leastSquaresSlope(const std::vector<FitPoint>& points);

extern template std::optional<DimensionEstimate> Dimensão_Fractal<FastGenerator>(
    std::int32_t, const Lattice&, RandomSource<FastGenerator>&, Toolkit&);
extern template std::optional<DimensionEstimate> Dimensão_Fractal<ScriptedGenerator>(
    std::int32_t, const Lattice&, RandomSource<ScriptedGenerator>&, Toolkit&);

}  // namespace dla

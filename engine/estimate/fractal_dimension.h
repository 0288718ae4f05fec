#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/toolkit.h"
#include "estimate/dimension_estimate.h"
#include "random/generators.h"
#include "random/random_source.h"
#include "window/lattice.h"

/// The window's entry to the box-mass estimate: the button's measurement of the Lattice.
namespace dla {

/// The message shown below the smallest measurable size, and when the Lattice holds nothing.
inline constexpr std::string_view kEstimateRefusal =
    "Por favor inicie o sistema ou verique seu tamanho (N >= 100)!";

/// `Dimensão_Fractal`: re-initialises `random`, then for N = `SystemSize` >= 100 measures the mean
/// mass of 1000 boxes of side L (around an occupied test cell) for L = L0, 2 L0, ... below N div 2
/// (L0 = N div 20), fits ln M against ln L and shows "Dimensão Fractal = " and the slope in an
/// information box. Below 100, above kLargestSystemSize, or on a Lattice where no occupied cell can
/// be a test cell (an empty one: the estimate started before the very first run placed its seed),
/// shows the exclamation box kEstimateRefusal instead and returns nothing. Every side is fitted,
/// also the eleventh that some N between 112 and 179 give. Never yields; reads the Lattice only.
///
/// Box corners are drawn until one is accepted, as the estimate is defined, until
/// kRejectedDrawLimit corners have been rejected; from then on each box is drawn directly from
/// the law with which that loop accepts it (three deviates a box). The choice depends on earlier
/// draws only, so every box, and every estimate, keeps its law.
template <UniformGenerator G>
std::optional<DimensionEstimate> Dimensão_Fractal(std::int32_t SystemSize, const Lattice& lattice,
                                                  RandomSource<G>& random, Toolkit& toolkit);

/// `value` with the pattern "0.0000": at least one integer digit, exactly four decimals,
/// rounded, a minus sign when negative, `separator` between integer and fraction.
std::string formatFourDecimals(double value, std::string_view separator);

extern template std::optional<DimensionEstimate> Dimensão_Fractal<FastGenerator>(
    std::int32_t, const Lattice&, RandomSource<FastGenerator>&, Toolkit&);

}  // namespace dla

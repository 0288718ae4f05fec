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
    std::int32_t side = 0;
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

/// Rejected box corners after which an estimate stops drawing corners until one is accepted and
/// draws each remaining box straight from the law the rejection loop accepts it with. An
/// aggregate grown to its end rejects a few hundred thousand in all (N = 100 to 1000), so for it
/// nothing changes, draw for draw; a Lattice holding little more than the seed would need about
/// 10^8 rejections at N = 100 and 10^11 at N = 1000. A rejection costs about 10 ns, so the
/// limit keeps every estimate well within a second.
inline constexpr std::int64_t kRejectedDrawLimit = 5'000'000;

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

/// The box sides measured for N (empty below 100 or above kLargestSystemSize).
std::vector<std::int16_t> boxSides(std::int32_t systemSize);
/// The same sides for any N >= 100 (empty below): L0 = N div 20, 2 L0, ... while below N div 2.
std::vector<std::int32_t> boxSidesFor(std::int32_t systemSize);

/// The test cell of a box whose lowest coordinate is `corner`: corner + L / 2, rounded to the
/// nearest integer with ties to even.
inline std::int32_t testCell(std::int32_t corner, std::int32_t side) {
    // corner + side / 2 rounded half to even, in integers: twice the value is 2 corner + side; when
    // that is odd the value lies halfway between t and t + 1 (t = its floor), and the even one of
    // the two is taken.
    const std::int64_t twice = 2 * std::int64_t{corner} + side;
    const std::int64_t t = twice >> 1;  // the floor, also below zero
    return static_cast<std::int32_t>((twice & 1) == 0 ? t : t + (t & 1));
}

/// `value` with the pattern "0.0000": at least one integer digit, exactly four decimals,
/// rounded, a minus sign when negative, `separator` between integer and fraction.
std::string formatFourDecimals(double value, std::string_view separator);

/// The least-squares slope of y on x over the points, as the estimate computes it.
double leastSquaresSlope(const std::vector<FitPoint>& points);

extern template std::optional<DimensionEstimate> Dimensão_Fractal<FastGenerator>(
    std::int32_t, const Lattice&, RandomSource<FastGenerator>&, Toolkit&);

}  // namespace dla

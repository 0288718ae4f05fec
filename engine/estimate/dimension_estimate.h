#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

/// What a box-mass estimate gives, and the rules every view of it shares: the sides, the test
/// cell of a box, the slope.
namespace dla {

/// One measured box side: L, the mean box mass M(L), and the fit point
/// (ln(L / L0), ln(M(L) / M(L0))).
struct FitPoint {
    std::int32_t side = 0;
    double meanMass = 0.0;
    double x = 0.0;
    double y = 0.0;
};

/// The point of side L with mean mass M, against the first side's L0 and mean mass M0.
inline FitPoint fitPointOf(std::int32_t side, double meanMass, std::int32_t firstSide,
                           double firstMass) {
    return {side, meanMass, std::log(static_cast<double>(side) / firstSide),
            std::log(meanMass / firstMass)};
}

struct DimensionEstimate {
    double dimension = 0.0;        ///< least-squares slope of y on x
    std::vector<FitPoint> points;  ///< one per side, the first always (0, 0)
    std::int64_t draws = 0;        ///< box corners drawn, rejected ones included
};

/// The smallest system size whose aggregate is measured.
inline constexpr std::int32_t kSmallestMeasurableSize = 100;

/// Rejected box corners after which an estimate stops drawing corners until one is accepted and
/// draws each remaining box straight from the law the rejection loop accepts it with. An
/// aggregate grown to its end rejects a few hundred thousand in all (N = 100 to 1000), so for it
/// nothing changes, draw for draw; a Lattice holding little more than the seed would need about
/// 10^8 rejections at N = 100 and 10^11 at N = 1000. A rejection costs about 10 ns, so the
/// limit keeps every estimate well within a second.
inline constexpr std::int64_t kRejectedDrawLimit = 5'000'000;

/// The box sides for N >= 100 (none below): L0 = N div 20, 2 L0, ... while below N div 2.
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

}  // namespace dla

#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "base/conversions.h"
#include "base/trig_floor.h"

/// The growth law's vocabulary, shared by the window's growth and the large one: sites and
/// steps, how a walk ends, where walkers are released and how far out, the size's square and the
/// kill rule.
namespace dla {

/// One lattice step in an axis direction.
struct Step {
    int dx = 0;
    int dy = 0;
};

/// The four steps of a walker, in the order of the direction k = floor(4u) that a deviate u
/// picks: x + 1, x - 1, y + 1, y - 1. They are also the four neighbours of a cell.
inline constexpr std::array<Step, 4> kSteps{{{+1, 0}, {-1, 0}, {0, +1}, {0, -1}}};

enum class WalkOutcome {
    Stuck,    ///< next to an occupied cell (or released onto one)
    Killed,   ///< stepped beyond the kill distance 2R
    Dropped,  ///< reached the outermost ring of the Lattice, where it could not test on
};

struct Site {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend constexpr bool operator==(Site, Site) = default;
};

/// The release point on the circle of radius `launchRadius` for the deviate u: the angle is
/// u * 2 * pi and each coordinate is floored (toward minus infinity).
inline Site releasePoint(std::int32_t launchRadius, double u, double pi) {
    const double theta = u * 2.0 * pi;
    const trig::Floors floors = trig::floorsScaled(launchRadius, theta);
    return {floors.cos, floors.sin};
}

/// R after a particle sticks at `site`, at distance D = sqrt(x^2 + y^2): floor(D + 4) when
/// floor(D) >= R, else R unchanged. R never decreases, and each change raises it by 4 or more.
/// (On the window's Lattice D stays below 1415, so R fits its 16 bits there.)
inline std::int32_t launchRadiusAfter(std::int32_t launchRadius, Site site) {
    const double distance = std::sqrt(
        static_cast<double>(std::int64_t{site.x} * site.x + std::int64_t{site.y} * site.y));
    if (std::floor(distance) >= launchRadius) return floorToInt32(distance + 4.0);
    return launchRadius;
}

/// The direction k = floor(4u) of a single step for the deviate u in [0, 1). The mask only keeps
/// a table read inside for a generator that strays from [0, 1), which the platform generator
/// never does.
inline unsigned stepDirection(double u) {
    return static_cast<unsigned>(static_cast<int>(u * 4.0)) & 3u;
}
/// The same for u = t 2^-53 given as its ticks t: floor(4 u) is t >> 51.
inline unsigned stepDirectionOfTicks(std::uint64_t t) {
    return static_cast<unsigned>(t >> 51) & 3u;
}

/// h = round(N / 2), ties to even: a run of system size N ends with the first particle that
/// sticks outside the square of half-side h around the seed.
inline std::int32_t halfSideOf(std::int32_t systemSize) {
    return roundHalfEvenToInt32(static_cast<double>(systemSize) / 2.0);
}

/// Walkers are killed beyond K R; the window's K.
inline constexpr double kWindowKillFactor = 2.0;

}  // namespace dla

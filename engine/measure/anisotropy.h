#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "base/growth_law.h"

namespace dla {

/// How the mass of an aggregate leans towards the lattice axes, over its outer sites: those at a
/// distance from the seed (the origin) of at least a quarter of the largest, where the square
/// lattice's arms show (the core is compact at every angle). Every counted site weighs one.
struct Anisotropy {
    /// The fourfold harmonic <cos 4 theta>, theta the site's polar angle: +1 all mass on the axes,
    /// -1 all on the diagonals, about 0 for an isotropic aggregate.
    double harmonic = 0.0;
    /// Sites within kConeHalfWidth of an axis over sites within as much of a diagonal (the two
    /// sets of cones have the same angular width): 1 isotropic, above 1 axial. Empty when no site
    /// lies near a diagonal.
    std::optional<double> coneRatio;
    std::int64_t sites = 0;  ///< sites counted
};

/// Half the opening of each cone, in degrees.
inline constexpr double kConeHalfWidth = 5.0;

/// The anisotropy of `sites` (distinct sites, any order, any range of Site); empty when no site
/// other than the origin counts.
template <class Sites>
std::optional<Anisotropy> measureAnisotropy(const Sites& sites) {
    const auto norm = [](Site s) { return std::int64_t{s.x} * s.x + std::int64_t{s.y} * s.y; };
    std::int64_t largest = 0;
    for (const Site s : sites) largest = std::max(largest, norm(s));
    const double inner = static_cast<double>(largest) / 16.0;  // squared: (r_max / 4)^2
    const double pi = std::acos(-1.0);
    const double axial = std::tan(kConeHalfWidth * pi / 180.0);
    const double diagonal = std::tan((45.0 - kConeHalfWidth) * pi / 180.0);
    Anisotropy result;
    double harmonicSum = 0.0;
    std::int64_t nearAxes = 0, nearDiagonals = 0;
    for (const Site s : sites) {
        const std::int64_t r2 = norm(s);
        if (r2 == 0 || static_cast<double>(r2) < inner) continue;
        const double x2 = static_cast<double>(std::int64_t{s.x} * s.x);
        const double y2 = static_cast<double>(std::int64_t{s.y} * s.y);
        const double r4 = static_cast<double>(r2) * static_cast<double>(r2);
        harmonicSum += (x2 * x2 - 6.0 * x2 * y2 + y2 * y2) / r4;  // cos 4 theta
        const double small = std::min(std::fabs(double(s.x)), std::fabs(double(s.y)));
        const double large = std::max(std::fabs(double(s.x)), std::fabs(double(s.y)));
        nearAxes += small <= axial * large;
        nearDiagonals += small >= diagonal * large;
        ++result.sites;
    }
    if (result.sites == 0) return std::nullopt;
    result.harmonic = harmonicSum / static_cast<double>(result.sites);
    if (nearDiagonals > 0)
        result.coneRatio = static_cast<double>(nearAxes) / static_cast<double>(nearDiagonals);
    return result;
}

}  // namespace dla

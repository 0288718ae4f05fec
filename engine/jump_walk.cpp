#include "jump_walk.h"

#include <algorithm>
#include <cmath>

namespace dla {

int ExactJumpRule::killLimit(int a, int b, std::int64_t kill) {
    // The far corner (a + k, b + k) stays inside while 2k^2 + 2(a + b)k + a^2 + b^2 <= kill; the
    // root in double precision is then corrected in exact integers.
    const auto fits = [&](std::int64_t k) { return (a + k) * (a + k) + (b + k) * (b + k) <= kill; };
    const double d = static_cast<double>(a - b);
    const double root =
        (std::sqrt(std::max(0.0, 2.0 * static_cast<double>(kill) - d * d)) - (a + b)) / 2.0;
    // Nothing beyond the Lattice's width matters; the bound keeps a disc far larger than the
    // Lattice (or none at all) from overflowing the squares.
    constexpr std::int64_t kFar = 4 * Lattice::kSide;
    auto k =
        static_cast<std::int64_t>(std::clamp(std::floor(root), 0.0, static_cast<double>(kFar)));
    while (k > 0 && !fits(k)) --k;
    while (k < kFar && fits(k + 1)) ++k;
    return static_cast<int>(k) + 1;
}

}  // namespace dla

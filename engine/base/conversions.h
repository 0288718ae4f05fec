#pragma once

#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>

/// The two conversions from floating point to integer that the engine uses, with the width of
/// their result made explicit. Each documents the range within which it is exact; callers keep
/// their arguments inside it (the growth and the estimate are written so that they always do).
namespace dla {

namespace detail {
template <class Int>
constexpr bool fits(double value) {
    return value >= static_cast<double>(std::numeric_limits<Int>::min()) &&
           value <= static_cast<double>(std::numeric_limits<Int>::max());
}
}  // namespace detail

/// Floor (toward minus infinity) to a signed 32-bit integer. `value` must lie in the 32-bit range.
inline std::int32_t floorToInt32(double value) {
    assert(detail::fits<std::int32_t>(std::floor(value)));
    // The truncation, one less for a negative value with a fraction: the floor without a call
    // into the library, which the baseline instruction set has no single instruction for.
    const auto truncated = static_cast<std::int32_t>(value);
    return truncated - (value < truncated ? 1 : 0);
}

/// Nearest integer, a value exactly halfway between two going to the even one.
inline double roundHalfEven(double value) {
    // std::nearbyint follows the current rounding mode; the engine never changes it from the
    // default round-to-nearest-even, but the result must not depend on that.
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction > 0.5) return lower + 1.0;
    if (fraction < 0.5) return lower;
    // lower is an integer: even exactly when its half is one too.
    const double half = lower * 0.5;
    return std::floor(half) == half ? lower : lower + 1.0;
}

/// Round to nearest, ties to even, to a signed 32-bit integer. The rounded value must fit.
inline std::int32_t roundHalfEvenToInt32(double value) {
    const double r = roundHalfEven(value);
    assert(detail::fits<std::int32_t>(r));
    return static_cast<std::int32_t>(r);
}

}  // namespace dla

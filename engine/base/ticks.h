#pragma once

#include <cstdint>

/// Deviates as integer ticks: the fast generator's deviates lie on the grid of 2^-53 in [0, 1),
/// and the walks take them as the integer count of their steps.
namespace dla {

/// A deviate u on the grid of 2^-53 in [0, 1) as the integer count t of its steps ("ticks"):
/// u = t 2^-53, both ways exact. (Converted as signed, which t fits, for the single instruction
/// that takes those.)
inline double fromTicks(std::uint64_t t) {
    return static_cast<double>(static_cast<std::int64_t>(t)) * 0x1.0p-53;
}
inline std::uint64_t toTicks(double u) {
    return static_cast<std::uint64_t>(u * 0x1.0p53);
}

/// Upper 53 bits of a 64-bit word as a double in [0, 1).
inline double toUnitInterval(std::uint64_t bits) {
    return fromTicks(bits >> 11);
}

}  // namespace dla

#pragma once

#include <cstdint>

/// The seed of a set of runs that was given none.
namespace dla {

/// Seeds drawn from entropy lie below this: run i of a set takes seed S + i, which stays below
/// 2^53 and so exact where JSON is read into doubles (jq, JavaScript).
inline constexpr std::uint64_t kDrawnSeedBound = std::uint64_t{1} << 52;

/// A seed from the system's entropy, below kDrawnSeedBound.
std::uint64_t drawSeed();

}  // namespace dla

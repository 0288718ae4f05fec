#pragma once

#include <cstdint>

/// One of K interleaved parts of a run plan, so that K processes started by a scheduler cover
/// the plan together.
namespace dla {

/// Largest K of a plan cut into K parts.
inline constexpr std::int64_t kMostShards = 1'000'000;

/// The part numbered `index` (1..count) of `count`; 1 of 1 is the whole plan.
struct Shard {
    std::int64_t index = 1;
    std::int64_t count = 1;

    bool whole() const { return count == 1; }
    /// Whether the run numbered `planIndex` (0-based over the whole plan) belongs here:
    /// runs are dealt out in turn, run i to part (i mod K) + 1.
    bool holds(std::int64_t planIndex) const { return planIndex % count == index - 1; }
    /// How many of the runs 0..total - 1 belong here.
    std::int64_t runsOf(std::int64_t total) const {
        return total >= index ? (total - index) / count + 1 : 0;
    }
    friend bool operator==(const Shard&, const Shard&) = default;
};

}  // namespace dla

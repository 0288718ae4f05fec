#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/shard.h"
#include "run.h"

/// Which runs a set makes: sizes, runs of each, seeds, the part of them this process makes,
/// and how every run grows.
namespace dla {

/// Most runs of each size that a plan holds.
inline constexpr std::int64_t kMostRuns = 1'000'000;

/// The size of a run that has none: one that ends at a number of particles.
inline constexpr std::int32_t kNoSize = 0;

struct Plan {
    /// System sizes N, each 1..kLargestJumpSize (1..kLargestSystemSize for the literal walker),
    /// no two equal; every size gets `runs` runs. {kNoSize} for runs that end at a number of
    /// particles.
    std::vector<std::int32_t> sizes{kDefaultSystemSize};
    /// How every run grows: the walker, the particles that end a run whatever its size (then
    /// sizes is {kNoSize}), the kill factor. Each run's size and seed come from its RunPlan.
    RunSettings growth;
    std::int64_t runs = 1;  ///< runs per size, >= 1
    /// First seed: the run numbered i (0-based across all sizes) uses seed + i. Empty: each run
    /// seeded from the clock (a front end draws one with drawSeed() instead, so that it repeats).
    std::optional<std::uint64_t> seed;
    /// The part of the runs this process makes; needs a seed unless it is the whole.
    Shard shard;

    /// Runs over all sizes.
    std::int64_t totalRuns() const { return runs * static_cast<std::int64_t>(sizes.size()); }
};

/// Which run to make.
struct RunPlan {
    std::int64_t index = 0;                  ///< 0-based over all sizes, in the order of the sizes
    std::int32_t size = kDefaultSystemSize;  ///< kNoSize for a run that ends at particles
    std::optional<std::uint64_t> seed;       ///< empty: seeded from the clock
};

/// The runs of `plan`: sizes in the given order, `runs` of each, seeds counting up from its
/// seed; of those, only the ones in its shard, with the indices and seeds they have in the
/// whole.
std::vector<RunPlan> planRuns(const Plan& plan);

/// Why a run read back is not the one `plan` makes under its number `run.index` (< the plan's
/// total runs), as a phrase to follow "run i": "has a size its plan gives another run", or its
/// seed, kill factor or particle limit; empty where it is that run. `settings` are the ones it
/// grew with.
std::string unplanned(const Plan& plan, const RunPlan& run, const RunSettings& settings);

/// The engine's settings of the run `run`: `growth` with the run's size and seed.
RunSettings runSettings(const RunPlan& run, const RunSettings& growth);

}  // namespace dla

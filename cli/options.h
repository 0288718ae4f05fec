#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "growth.h"
#include "shard.h"

/// The command line of dla-cli: what to grow, how often, and what to write.
namespace dla::cli {

/// Largest --runs, --threads and --scale that the tool takes.
inline constexpr std::int64_t kMostRuns = 1'000'000;
inline constexpr int kMostThreads = 256;
inline constexpr int kLargestScale = 64;

struct Options {
    /// System sizes N, each 1..1000, no two equal; every size gets `runs` runs.
    std::vector<std::int32_t> sizes{200};
    std::int64_t runs = 1;  ///< runs per size, >= 1
    /// First seed: the run numbered i (0-based across all sizes) uses seed + i. Empty: every
    /// run is seeded from the clock and cannot be repeated.
    std::optional<std::uint64_t> seed;
    int threads = 1;  ///< runs grown at the same time, >= 1
    bool json = false;
    bool quiet = false;
    bool help = false;
    std::string imagePath;  ///< empty: no image
    int scale = 1;          ///< image pixels per lattice site along each axis, 1..kLargestScale
    std::string fitPath;    ///< empty: no CSV
    std::string plotPath;   ///< empty: no SVG
    // Every member that changes what the runs grow also goes into planJson (merge.h), so that
    // merge refuses to join parts that differ in it.
    /// How walkers move (--walk): the jump walker unless the literal one is asked for; both
    /// grow aggregates with the same law.
    GrowthOptions growth{Walk::Jump};
    /// The part of the runs this process makes (--shard); needs a seed unless it is the whole.
    Shard shard;

    /// Runs over all sizes.
    std::int64_t totalRuns() const { return runs * static_cast<std::int64_t>(sizes.size()); }
};

/// A command line that cannot be obeyed; what() is one line for the user.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Parses the arguments after the program name. `defaultThreads` is taken when --threads is not
/// given. Throws UsageError on anything it cannot take, including a value that starts with "--"
/// and an image larger than kLargestImageBytes. Touches no file.
Options parseOptions(const std::vector<std::string>& args, int defaultThreads = 1);

/// The text that --help prints; made from the same table as the parser.
std::string helpText();

}  // namespace dla::cli

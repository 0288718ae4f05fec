#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "large/large_growth.h"
#include "run.h"
#include "shard.h"
#include "window/growth.h"

/// The command line of dla-cli: what to grow, how often, and what to write.
namespace dla::cli {

/// Largest --runs, --threads and --scale that the tool takes.
inline constexpr std::int64_t kMostRuns = 1'000'000;
inline constexpr int kMostThreads = 256;
inline constexpr int kLargestScale = 64;
/// Smallest and largest --image-size. (--size, --particles and --kill-factor take the ranges of the
/// jump walker's runs, large_growth.h; the literal walker stops at kLargestSystemSize.)
inline constexpr int kSmallestImageSize = 16;
inline constexpr int kLargestImageSize = 8000;
/// The size of a run that has none: one that ends at a number of particles (--particles).
inline constexpr std::int32_t kNoSize = 0;

struct Options {
    // Every member that changes what the runs grow also goes into planToJson (json_schema.h), so
    // that merge refuses to join parts that differ in it.
    /// System sizes N, each 1..kLargestJumpSize (1..1000 for the literal walker), no two equal;
    /// every size gets `runs` runs. {kNoSize} with --particles.
    std::vector<std::int32_t> sizes{200};
    bool sizesGiven = false;
    /// How every run grows: the walker, the particles that end a run whatever its size (then
    /// sizes is {kNoSize}), the kill factor. Each run's size and seed come from its plan.
    RunSettings growth;
    bool killFactorGiven = false;
    std::int64_t runs = 1;  ///< runs per size, >= 1
    /// First seed: the run numbered i (0-based across all sizes) uses seed + i. Drawn from the
    /// system's entropy when not given (empty only for a resumed run, which has its own).
    std::optional<std::uint64_t> seed;
    bool seedDrawn = false;  ///< the seed was drawn from the system's entropy, not given
    int threads = 1;         ///< runs grown at the same time, >= 1
    bool json = false;
    bool quiet = false;
    std::string imagePath;  ///< empty: no image
    int scale = 1;          ///< image pixels per lattice site along each axis, 1..kLargestScale
    /// The longest side of a downsampled picture, in pixels, each pixel a block of sites; 0: one
    /// square of `scale` pixels a site.
    int imageSize = 0;
    std::string fitPath;      ///< empty: no CSV
    std::string plotPath;     ///< empty: no SVG
    std::string sitesPath;    ///< each run's sites, numbered like the image; empty: none
    std::string historyPath;  ///< each run's growth history, numbered; empty: none
    std::string csvPath;      ///< the table of runs; empty: none
    /// The part of the runs this process makes (--shard); needs a seed unless it is the whole.
    Shard shard;
    std::string checkpointPath;     ///< empty: no checkpoint
    double checkpointEvery = 60.0;  ///< seconds between two checkpoints
    std::string resumePath;         ///< empty: a new run

    /// Runs over all sizes.
    std::int64_t totalRuns() const { return runs * static_cast<std::int64_t>(sizes.size()); }
};

/// A command line that cannot be obeyed; what() is one line for the user.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// The command line of `dla-cli merge`.
struct MergeOptions {
    std::vector<std::string> files;  ///< at least one
    bool json = false;
    std::string fitPath;  ///< empty: no fit file
    std::string csvPath;  ///< empty: no table of runs
};

/// What a command line asks for: a batch of runs, or (with "merge" first) a merge, or the help of
/// either.
struct Command {
    Options options;
    bool merging = false;
    MergeOptions merge;
    std::optional<std::string> help;  ///< the text --help asked for
};

/// Parses the arguments after the program name. `defaultThreads` is taken when --threads is not
/// given. Throws UsageError on anything it cannot take, including a value that starts with "--",
/// two outputs that name one file and an image larger than kLargestImageBytes. Touches no file.
Command parseCommand(const std::vector<std::string>& args, int defaultThreads = 1);

/// Throws UsageError when options that each hold a valid value cannot go together (the rules
/// that parseOptions applies after reading them; merge applies them to the plans it reads).
void checkTogether(const Options& options);

}  // namespace dla::cli

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "batch/plan.h"
#include "large/large_growth.h"
#include "run.h"
#include "shard.h"
#include "window/growth.h"

/// The command line of dla-cli: what to grow, how often, and what to write.
namespace dla::cli {

/// (--threads takes 1..kMostThreads, batch/runner.h; --runs 1..kMostRuns, batch/plan.h; --scale
/// 1..kLargestImageScale, picture.h. --size, --particles and --kill-factor take the ranges of the
/// jump walker's runs, large_growth.h; the literal walker stops at kLargestSystemSize. --image-size
/// takes the downsampled picture's, picture.h.)

/// A batch's command line: its plan, and how it is grown and written.
struct Options : Plan {
    // Every member of the plan also goes into planToJson (json_schema.h), so that merge refuses
    // to join parts that differ in it.
    bool sizesGiven = false;
    bool killFactorGiven = false;
    bool seedDrawn = false;  ///< the seed was drawn from the system's entropy, not given
    int threads = 1;         ///< runs grown at the same time, >= 1
    bool json = false;
    bool quiet = false;
    /// The path of each per-run output given (--image, --plot, --sites, --history), by its
    /// option; with several runs each run writes its own numbered file (run_outputs.h).
    std::map<std::string, std::string, std::less<>> runOutputs;
    int scale = 1;  ///< image pixels per lattice site along each axis, 1..kLargestImageScale
    /// The longest side of a downsampled picture, in pixels, each pixel a block of sites; 0: one
    /// square of `scale` pixels a site.
    int imageSize = 0;
    std::string fitPath;            ///< empty: no CSV
    std::string csvPath;            ///< the table of runs; empty: none
    std::string checkpointPath;     ///< empty: no checkpoint
    double checkpointEvery = 60.0;  ///< seconds between two checkpoints
    std::string resumePath;         ///< empty: a new run

    /// The path given to the per-run output `option`; empty where it was not given.
    const std::string& runOutput(std::string_view option) const {
        static const std::string none;
        const auto given = runOutputs.find(option);
        return given == runOutputs.end() ? none : given->second;
    }
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

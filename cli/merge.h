#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "formats/json_schema.h"
#include "options.h"
#include "batch/summary.h"

/// Joining the --json outputs of the parts of one plan (see --shard) into the summary that one
/// process making the whole plan prints.
namespace dla::cli {

/// Outputs that cannot be joined: a file that cannot be read, a line that is not what dla-cli
/// writes, plans that differ, a run missing or repeated. what() is one line naming the file.
class MergeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// The files merge writes besides the summary: the fit file (--fit) and the table of runs
/// (--csv), whose comments name `commandLine`.
struct MergeTables {
    std::string fitPath;
    std::string csvPath;
    std::string commandLine;
};

struct Merged {
    Summary summary;
    Json plan;  ///< as planToJson wrote it
};

/// Reads `files`, each the whole standard output of one `dla-cli --json` process (a part made
/// with --shard, or a whole plan), checks that they are distinct parts of one plan that
/// together hold each of its runs once, each run as the plan makes it, and summarises the runs
/// in the order of the plan. With tables.fitPath (tables.csvPath), writes there the fit file
/// (the table of runs) of one process making the whole plan, the fits byte for byte, reading
/// the runs' lines once more. Memory grows by a
/// few dozen bytes per run; a line longer than kLongestMergeLine bytes is refused. Throws
/// MergeError, or FileError for the fit file.
Merged mergeOutputs(const std::vector<std::string>& files, const MergeTables& tables = {});

inline constexpr std::size_t kLongestMergeLine = std::size_t{1} << 22;

}  // namespace dla::cli

#pragma once

#include <ostream>
#include <string>
#include <vector>

/// The whole of dla-cli behind main(): parse, run, report, write files.
namespace dla::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;

/// Runs the tool on `args` (without the program name). Results go to `out`; errors, the summary
/// table and (when `errIsTerminal` and not --quiet) the progress bar go to `err`.
/// `defaultThreads` is used without --threads. Returns the exit status.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal, int defaultThreads);

}  // namespace dla::cli

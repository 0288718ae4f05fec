#pragma once

#include <ostream>
#include <string>
#include <vector>

/// The whole of dla-cli behind main(): parse, run, report, write files.
namespace dla::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;
/// A checkpointed run stopped by a signal, once saved: 128 + the signal, as a shell reports it.
inline constexpr int kExitInterrupted = 128;
/// A reader that stopped early: SIGPIPE's status, without a word.
inline constexpr int kExitReaderGone = 128 + 13;

/// Runs the tool on `args` (without the program name). Results (run lines and the summary) go to
/// `out`; diagnostics and (when `errIsTerminal` and not --quiet) the progress bar go to `err`,
/// and so does the summary table where `out` takes JSON.
/// `defaultThreads` is used without --threads. Returns the exit status.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal, int defaultThreads);

}  // namespace dla::cli

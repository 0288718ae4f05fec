#pragma once

#include <cstdint>
#include <string>

#include "options.h"

/// The names of the files a batch writes.
namespace dla::cli {

/// "<stem>-<run number><extension>" for batches of several runs, the path itself for one; the
/// number is 1-based and padded to the width of `totalRuns`. A device or a pipe (/dev/null, a
/// FIFO, or a link to one) keeps its path: it takes every run's output in turn.
std::string numberedPath(const std::string& path, std::int64_t index, std::int64_t totalRuns);

/// Whether writing `output` would replace the file that `input` names, however either is spelled
/// (links followed, "." and ".." resolved).
bool namesOneFile(const std::string& output, const std::string& input);

/// Throws UsageError when two of the outputs (--image, --plot and --fit, numbered) would write
/// one file, however its path is spelled ("a" and "./a", a link to a folder, or a numbered name
/// that is also another output's name).
void checkDistinctOutputs(const Options& options);

}  // namespace dla::cli

#pragma once

#include "files/file_names.h"
#include "options.h"

/// Whether the outputs of a batch name one file.
namespace dla::cli {

/// Throws UsageError when two of the outputs (--image, --plot and --fit, numbered) would write
/// one file, however its path is spelled ("a" and "./a", a link to a folder, or a numbered name
/// that is also another output's name).
void checkDistinctOutputs(const Options& options);

}  // namespace dla::cli

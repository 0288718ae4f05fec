#pragma once

#include <memory>
#include <string>

#include "run.h"

/// The files of --checkpoint and --resume.
namespace dla::cli {

/// Writes the checkpoint of `run` to `path` whole or not at all (OutputFile); throws FileError.
void saveCheckpoint(const std::string& path, const Run& run);

/// Reads the checkpoint at `path` ("-": standard input); throws std::runtime_error with one line
/// naming it when it cannot be read or is not a whole, intact checkpoint.
std::unique_ptr<Run> loadCheckpoint(const std::string& path);

}  // namespace dla::cli

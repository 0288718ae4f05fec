#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "run.h"

/// Saving a jump walker's run so that another process can finish it.
namespace dla::cli {

/// A checkpoint file: a first line of its own ("dla-cli checkpoint 2"), the seconds grown so
/// far, the run's saved state (Run::save), and a CRC-32 of every byte before it.

/// Writes the checkpoint of `run`, a jump walker's, to `path` whole or not at all
/// (OutputFile); throws FileError.
void saveCheckpoint(const std::string& path, const Run& run);

/// Reads a checkpoint; throws std::runtime_error with one line naming `path` when the file
/// cannot be read or is not a whole, intact checkpoint.
std::unique_ptr<Run> loadCheckpoint(const std::string& path);
/// The same from a stream that can be read twice: once to check the CRC of the whole, then,
/// only if it holds, to restore the run, each field checked (LargeGrowth::restore). `name` is
/// the file's name for the message.
std::unique_ptr<Run> readCheckpoint(std::istream& in, const std::string& name);

}  // namespace dla::cli

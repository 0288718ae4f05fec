#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "files/output_file.h"
#include "run.h"

/// A jump walker's run saved so that another process can finish it: a first line of its own
/// ("dla-cli checkpoint 2"), the seconds grown so far, the run's saved state (Run::save), and a
/// CRC-32 of every byte before it.
namespace dla {

/// Writes the checkpoint of `run`, a jump walker's, to `file`; throws FileError.
void writeCheckpoint(OutputFile& file, const Run& run);

/// Reads a checkpoint, checking the CRC of the whole before anything is restored (a stream that
/// cannot seek, a pipe, is read into memory first), then restores the run, each field checked
/// (LargeGrowth::restore). Throws std::runtime_error with one line naming `name` when the bytes
/// cannot be read or are not a whole, intact checkpoint.
std::unique_ptr<Run> readCheckpoint(std::istream& in, const std::string& name);

}  // namespace dla

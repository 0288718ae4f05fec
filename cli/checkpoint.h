#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "large_growth.h"

/// Saving a jump walker's run so that another process can finish it, and the signals that ask
/// for a save.
namespace dla::cli {

/// A checkpoint file: a short header of our own (the run's seed as dla-cli printed it and the
/// seconds grown so far), then LargeGrowth's checked state.
struct Checkpoint {
    std::unique_ptr<LargeGrowth> growth;
    std::optional<std::uint64_t> seed;
    double growSeconds = 0.0;
};

/// Writes the checkpoint to `path` whole or not at all (OutputFile); throws FileError.
void saveCheckpoint(const std::string& path, const LargeGrowth& growth,
                    std::optional<std::uint64_t> seed, double growSeconds);

/// Reads a checkpoint; throws std::runtime_error with one line naming `path` when the file
/// cannot be read or is not a whole, intact checkpoint.
Checkpoint loadCheckpoint(const std::string& path);
/// The same from a stream; `name` is the file's name for the message.
Checkpoint readCheckpoint(std::istream& in, const std::string& name);
/// The bytes of saveCheckpoint's header, which readCheckpoint expects before LargeGrowth's state.
std::string checkpointHeader(std::optional<std::uint64_t> seed, double growSeconds);

/// While one exists, SIGINT and SIGTERM set requested() instead of ending the process, so that
/// the run can stop between two particles and be saved; a second signal ends the process as the
/// handlers from before would. A signal that was ignored stays ignored. One at a time.
class InterruptRequest {
  public:
    InterruptRequest();
    ~InterruptRequest();
    InterruptRequest(const InterruptRequest&) = delete;
    InterruptRequest& operator=(const InterruptRequest&) = delete;

    const std::atomic<bool>& requested() const;
    /// The signal that set requested(), or 0.
    int signal() const;
};

}  // namespace dla::cli

#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

/// A one-line progress bar for terminals.
namespace dla::cli {

/// The text of the bar: "[#####.....] 7/20 runs  18453 particles  0:03 elapsed  0:05 left".
/// The time left is extrapolated from the runs done (shown as "?" before the first).
std::string progressLine(std::int64_t done, std::int64_t total, std::int64_t particles,
                         double elapsedSeconds, int barWidth = 24);

/// Seconds as "m:ss", or "h:mm:ss" from an hour up.
std::string formatDuration(double seconds);

/// Redraws progressLine in place on `out` (carriage return, clear to end of line). Disabled, it
/// writes nothing at all.
class ProgressBar {
  public:
    ProgressBar(std::ostream& out, bool enabled, std::int64_t total);
    void update(std::int64_t done, std::int64_t particles);
    /// Erases the bar, so that what follows starts on a clean line.
    void finish();

  private:
    std::ostream& out_;
    bool enabled_;
    bool drawn_ = false;
    std::int64_t total_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace dla::cli

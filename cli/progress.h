#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

/// A one-line progress bar for terminals.
namespace dla::cli {

/// Where a batch stands.
struct Progress {
    std::int64_t done = 0;       ///< runs finished
    std::int64_t total = 0;      ///< runs in all
    std::int64_t particles = 0;  ///< stuck so far, over all runs
    /// Particles the batch ends at, when runs end at a number of particles.
    std::optional<std::int64_t> target;
    /// Particles that were there when the clock started (a resumed run's), left out of the rate.
    std::int64_t startParticles = 0;
    double elapsedSeconds = 0.0;
};

/// The text of the bar:
/// "[#####.....] 7/20 runs  18453 particles  6151/s  0:03 elapsed  0:05 left".
/// With a target the bar and the time left follow the particles ("183452/1000000 particles"),
/// for one run by T(M) ~ M^kCostExponent from the time so far, for several at the rate so far,
/// and "measuring" once every particle has stuck; without one, the runs: the time left is
/// extrapolated from the runs done and shown as "?" before the first. (The particles of a sized run
/// are not known before it ends, and the time per particle grows with the aggregate, so within a
/// run there is no honest guess.)
std::string progressLine(const Progress& progress, int barWidth = 24);

/// How one run's growth time follows its particles, T(M) ~ M^kCostExponent: the cost of a
/// particle grows with the aggregate (docs/performance.md).
inline constexpr double kCostExponent = 1.25;

/// Seconds as "m:ss", or "h:mm:ss" from an hour up.
std::string formatDuration(double seconds);

/// Redraws progressLine in place on `out` (carriage return, clear to end of line). Disabled, it
/// writes nothing at all.
class ProgressBar {
  public:
    ProgressBar(std::ostream& out, bool enabled, std::int64_t total,
                std::optional<std::int64_t> target = {}, std::int64_t startParticles = 0);
    void update(std::int64_t done, std::int64_t particles);
    /// Erases the bar, so that what follows starts on a clean line.
    void finish();

  private:
    std::ostream& out_;
    bool enabled_;
    bool drawn_ = false;
    Progress progress_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace dla::cli

#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/growth_law.h"
#include "base/site_list.h"
#include "estimate/dimension_estimate.h"
#include "measure/anisotropy.h"
#include "measure/growth_history.h"
#include "measure/statistics.h"

/// The front door to the engine: one aggregate grown with either walker, measured, saved and
/// restored. Every front end (the tool, the Python module, the page) drives the engine through
/// it; it knows nothing of options, files or pictures.
namespace dla {

class LargeGrowth;
class Lattice;

/// How walkers move between release and sticking; both grow aggregates with one law.
enum class Walker {
    Literal,  ///< one lattice step per deviate, on the window's Lattice (N up to 1000)
    Jump,     ///< first-passage jumps across free squares, on a lattice without an edge
};

/// What one run grows and how.
struct RunSettings {
    Walker walker = Walker::Jump;
    /// System size N: the run ends with the first particle that sticks outside the square of
    /// half-side round(N / 2). 1..kLargestSystemSize (literal), 1..kLargestJumpSize (jump).
    /// Empty (jump walker only): the run ends at `particles`.
    std::optional<std::int32_t> size;
    /// Jump walker only: the run ends once this many particles (1..kMostParticles) have stuck.
    std::optional<std::int64_t> particles;
    /// Jump walker only: walkers are killed beyond K R, K in 2..kLargestKillFactor.
    double killFactor = kWindowKillFactor;
    /// The run's seed; empty: seeded from the clock, not to be repeated.
    std::optional<std::uint64_t> seed;

    /// The jump walker's kill factor; none for the literal walker, whose kill circle is the
    /// window's rule rather than a setting.
    std::optional<double> jumpKillFactor() const {
        return walker == Walker::Jump ? std::optional(killFactor) : std::nullopt;
    }
};

/// A setting outside its range, or settings that do not go together. what() names the setting
/// as the front ends' keyword arguments do, and the value: "size must be at least 1, got 0".
class SettingError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
    /// "<setting> must be at least <least>, got <got>", and at most.
    static SettingError atLeast(std::string_view setting, std::string_view least,
                                std::string_view got);
    static SettingError atMost(std::string_view setting, std::string_view most,
                               std::string_view got);
};

/// The whole numbers a setting takes.
struct WholeRange {
    std::int64_t least = 0;
    std::int64_t most = 0;
};
/// Of the size: 1..kLargestSystemSize for the literal walk, 1..kLargestJumpSize for the jump
/// walk; of the particles, 1..kMostParticles.
WholeRange sizeRange(Walker walker);
WholeRange particlesRange();
/// The size a front end grows when it is given neither a size nor particles: the window's.
inline constexpr std::int32_t kDefaultSystemSize = 200;

/// Throws SettingError::atLeast or atMost when `value` (written `got`) lies outside `range`.
void checkWhole(std::string_view setting, const WholeRange& range, std::int64_t value,
                std::string_view got);

/// Throws SettingError for the first of `settings` outside its range: size 1..kLargestJumpSize
/// (jump) or 1..kLargestSystemSize (literal, which needs one), particles 1..kMostParticles and
/// a kill factor other than kWindowKillFactor (jump only), kill factor kWindowKillFactor..
/// kLargestKillFactor; a jump run needs a size or particles.
void checkSettings(const RunSettings& settings);

/// The counts of a run, from either walker.
struct RunCounts {
    std::optional<std::int32_t> halfSide;  ///< h = round(N / 2); empty without a size
    std::int32_t launchRadius = 4;         ///< R when the run ended
    std::int64_t particles = 0;            ///< walkers that stuck, the seed not counted
    std::int64_t walkersKilled = 0;
    std::int64_t walkersAtEdge = 0;  ///< the literal walker's Lattice has an edge; 0 otherwise
    std::int64_t steps = 0;
    std::int64_t jumps = 0;
    bool finished = false;
};

/// What a run reports: its counts and, once it has finished, its measures.
struct RunResult {
    RunCounts counts;
    /// The jump walker's version (kJumpWalkerVersion): a seed repeats its aggregate within one
    /// version. Empty for the literal walk, which is the window's, step for step, always.
    std::optional<std::int32_t> walkerVersion;
    /// The jump walker's: a hash of the set of occupied cells (equal sets, equal hashes) and the
    /// bytes its lattice took.
    std::optional<std::uint64_t> hash;
    std::optional<std::uint64_t> latticeBytes;
    std::int64_t sites = 0;         ///< occupied cells, the seed included
    double radiusOfGyration = 0.0;  ///< of the occupied cells, lattice units
    /// The size the estimate took: the run's, or for a run without one 2e, e the largest |x| or
    /// |y| of its sites, so that the boxes span the aggregate as they span a sized run's.
    std::int32_t measuredSize = 0;
    std::optional<DimensionEstimate> estimate;  ///< empty below N = 100
    std::optional<LineFit> fit;                 ///< of estimate->points
    /// Slope of ln(sites) against ln(Rg) over the growth's last decade; empty below 100 sites.
    std::optional<double> historyDimension;
    /// Sites, radius of gyration and the arms' reach at 20 site counts a decade from 10 sites
    /// on, and at the end.
    std::vector<HistoryPoint> history;
    std::optional<Anisotropy> anisotropy;  ///< of the outer sites
    double growSeconds = 0.0;
    double estimateSeconds = 0.0;
};

/// What a jump walker's run is expected to take, to be said before a long one starts. The
/// particles a run of system size N grows, fitted to measured runs with K = 2 (about
/// 0.66 N^1.634: 1.3 10^5 at N = 2000, 3.1 10^6 at N = 12 000, 10^7 at N = 24 804), and the peak
/// memory of growing and measuring M particles (about 13 bytes a particle and 8 MB besides: the
/// growth's peak, which the measures stay under once the lattice is shed; 13.4 at 10^7, 12.3 at
/// 10^8). Within a few tens of percent.
double expectedParticles(std::int32_t systemSize);
double expectedPeakBytes(double particles);

/// The hash as every front end writes it, 16 lower-case hex digits, so that a run's hash from
/// dla-cli's text, its JSON and the Python module compare as strings.
std::string hashText(std::uint64_t hash);

class Run;

/// What a front end hears of a run as it grows, on the thread that grows it.
class RunObserver {
  public:
    virtual ~RunObserver() = default;
    /// After each particle that sticks; the run is complete there and may be saved.
    virtual void stuck(const Run& run) = 0;
};

/// An observer that hears of a run every so often rather than after every particle: beat() comes
/// at most every `seconds` seconds (0: at each look), the clock looked at every `particles`
/// particles, so that a front end's progress, polling or time slice costs nothing per particle.
class PacedObserver : public RunObserver {
  public:
    PacedObserver(std::int64_t particles, double seconds);
    void stuck(const Run& run) final;
    /// Seconds since the observer was made.
    double elapsed() const;

  protected:
    /// `elapsed`: seconds since the observer was made, as elapsed() had it at this look.
    virtual void beat(const Run& run, double elapsed) = 0;

  private:
    std::int64_t particles_;
    double seconds_;
    std::int64_t unchecked_ = 0;
    double start_;
    double last_ = 0.0;
};

/// One aggregate: grown, measured, saved and restored. The growth and the estimate draw from one
/// random source, as in the window, so that a seed repeats the whole run.
class Run {
  public:
    /// A new run, nothing grown yet. Throws SettingError for settings outside their ranges
    /// (checkSettings). The literal walker grows on `workspace` when one is given (cleared first,
    /// so that a worker can reuse one Lattice from run to run), else on a Lattice of its own.
    explicit Run(const RunSettings& settings, Lattice* workspace = nullptr);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    /// A jump walker's run exactly as save() left it, `grownSeconds` already grown. Throws
    /// std::runtime_error on a stream that is not a state a run could have left.
    static std::unique_ptr<Run> restore(std::istream& in, double grownSeconds = 0.0);
    /// Writes the jump walker's whole state (LargeGrowth::save); std::logic_error for the
    /// literal walker, whose Lattice is the window's. Throws std::ios_base::failure.
    void save(std::ostream& out) const;

    /// Grows until the run ends (true) or `stop`, polled after each particle, is set (false). A
    /// finished run stays finished. Throws std::length_error if a jump run outgrows its lattice.
    bool grow(RunObserver* observer = nullptr, const std::atomic<bool>* stop = nullptr);

    /// The run's counts and, once it has finished, its measures: the box-mass estimate with its
    /// fit (the window's estimate, draw for draw, drawn on from the run's source as the window's
    /// button does after its run), the history dimension and the anisotropy. Measures once; later
    /// calls give the same.
    const RunResult& result();

    const RunSettings& settings() const { return settings_; }
    /// Whether the run walks as a new run of its settings would: a restored state may hold a
    /// jump walker held to shorter jumps (LargeGrowthOptions::largestJump), which only tests make.
    bool walksAsItsSettings() const;
    bool finished() const;
    std::int64_t particles() const;
    /// Seconds grown so far, this process's and those before a restore.
    double growSeconds() const;
    /// The occupied cells in the order they were first occupied, the seed first.
    const SiteList& arrivals() const;

  private:
    struct Literal;
    Run() = default;
    RunCounts counts() const;

    RunSettings settings_;
    std::unique_ptr<Literal> literal_;
    std::unique_ptr<LargeGrowth> large_;
    double grownSeconds_ = 0.0;
    std::optional<double> growStart_;  // steady-clock seconds while grow() runs
    std::optional<RunResult> result_;
};

}  // namespace dla

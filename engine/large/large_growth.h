#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>

#include "base/growth_law.h"
#include "base/toolkit.h"
#include "large/exit_ladder.h"
#include "large/kill_disc.h"
#include "large/large_lattice.h"
#include "random/generators.h"
#include "random/random_source.h"

namespace dla {

/// The ranges of a large run's options. At the largest size and kill factor the kill radius stays
/// below a third of what the large lattice holds, so no sized run can outgrow it.
inline constexpr std::int32_t kLargestJumpSize = 1'000'000;
inline constexpr std::int64_t kMostParticles = 10'000'000'000;
inline constexpr double kLargestKillFactor = 16.0;

/// The version of the jump walker's moves. Every version grows aggregates with the same law; a
/// seed repeats its aggregate, draw for draw, only within one version. A change to which deviate
/// makes which move (the squares a walker may cross, how a jump is drawn) takes the next one.
inline constexpr std::int32_t kJumpWalkerVersion = 2;

/// What a large run grows and how. At least one of systemSize and particleLimit ends it.
struct LargeGrowthOptions {
    /// System size N, 1..kLargestJumpSize: the run ends with the first particle that sticks
    /// outside the square of half-side h = round(N / 2), ties to even (as in the window). Empty:
    /// no such end.
    std::optional<std::int32_t> systemSize;
    /// The run ends once this many particles (1..kMostParticles) have stuck. Empty: no such end.
    std::optional<std::int64_t> particleLimit;
    /// Walkers are killed once their distance from the origin exceeds K R; K from 2 (the
    /// window's rule, D > 2R) to kLargestKillFactor.
    double killFactor = kWindowKillFactor;
    /// The largest half-side of a jump, 1..ExitLadder::kLargest (1: the literal walk).
    int largestJump = ExitLadder::kLargest;
};

/// The largest kill radius K R a run may reach: its square stays exact in a double, and every
/// cell a walker reaches stays well inside int32 and the large lattice (2^25).
inline constexpr double kLargestKillRadius = 1 << 25;

/// The largest integer S with sqrt(double(S)) <= killFactor * radius, so that x^2 + y^2 > S is
/// exactly D > K R for D = sqrt(x^2 + y^2) in double precision. K R in 0..kLargestKillRadius.
std::int64_t killSquare(double killFactor, std::int32_t radius);

/// Counts of a large run. Each stays below kMostCounted, which no run reaches (2^62 moves take
/// over a century), so that a restored count cannot overflow.
inline constexpr std::int64_t kMostCounted = std::int64_t{1} << 62;
struct LargeGrowthCounters {
    std::int64_t particles = 0;      ///< walkers that stuck, the seed not counted
    std::int64_t walkersKilled = 0;  ///< walkers killed beyond K R
    std::int64_t steps = 0;          ///< single lattice steps
    std::int64_t jumps = 0;          ///< first-passage jumps (one deviate each, as a step)
};

/// One particle that stuck, as the observer sees it. (A walker released onto an occupied cell
/// sticks there too; the lattice then keeps the cell's first arrival.)
struct StuckParticle {
    Site site;
    std::int64_t number = 0;  ///< 1 for the first particle after the seed
};

/// One aggregate grown on a LargeLattice with the law of `Gerar_DLA`: release on the circle of
/// radius R (one deviate), one deviate per move, stick next to an occupied cell (also at
/// release), killed beyond K R, R := floor(D + 4) when floor(D) >= R, seed at the origin and
/// R = 4 at the start, the random source re-initialised once when the run begins. No lattice
/// edge: walkers are bounded by the kill disc only.
///
/// The run goes on particle by particle in grow(); between two particles the whole state is
/// complete, and save() writes it so that restore() continues exactly as the uninterrupted run.
class LargeGrowth {
  public:
    /// Called after every particle that sticks, with the state already complete.
    using Observer = std::function<void(const LargeGrowth&, const StuckParticle&)>;

    /// A new run: seed placed, R = 4, the source re-initialised once. Throws
    /// std::invalid_argument for options outside their ranges.
    LargeGrowth(const LargeGrowthOptions& options, FastGenerator generator);
    LargeGrowth(const LargeGrowth&) = delete;
    LargeGrowth& operator=(const LargeGrowth&) = delete;

    /// Grows until an end condition holds (true), or until `stop` is set (false), polled after
    /// each particle. A finished run stays finished. Throws std::length_error if R grows past
    /// what the lattice can hold (K R > kLargestKillRadius).
    bool grow(const Observer& observer = {}, const std::atomic<bool>* stop = nullptr);

    bool finished() const { return finished_; }
    /// For a finished run, whose lattice takes no more cells: frees the lattice's cells and
    /// distance structure (LargeLattice::shedCells()), the largest share of a run's memory, so
    /// that the measures that follow take theirs in its place. The arrivals, the hash, save()
    /// and the measures stay. Nothing for a run that has not finished.
    void shedCells() {
        if (finished_) lattice_.shedCells();
    }
    const LargeGrowthOptions& options() const { return options_; }
    const LargeLattice& lattice() const { return lattice_; }
    const LargeGrowthCounters& counters() const { return counters_; }
    std::int32_t launchRadius() const { return radius_; }
    /// The run's random source as it stands (a measurement that follows the run draws on from a
    /// copy of it, as the window's estimate follows its run).
    const RandomSource<FastGenerator>& random() const {
        // While grow() draws from a detached copy, the source is brought up to date when asked
        // (by an observer that saves the run), rather than after every particle.
        if (detached_) random_.attach(*detached_);
        return random_;
    }
    /// h = round(N / 2), when a system size was given.
    std::optional<std::int32_t> halfSide() const { return halfSide_; }

    /// Writes the whole state (the walker's version, options, counters, R, random source,
    /// occupied cells in arrival order) in a binary form. It carries no checksum: a file that
    /// holds it checks its bytes as one whole. Throws std::ios_base::failure when the stream
    /// fails.
    void save(std::ostream& out) const;
    /// A run exactly as save() left it. Every field is checked against what a run can hold
    /// before it is used: the options' ranges and an end, a generator that can move, deviates
    /// that draws give, counts that cannot overflow, and cells that a growth could have made
    /// (the seed first, each later cell next to an earlier one and inside the disc of R, R what
    /// those cells give, the end reached exactly when the run says it finished). So the memory
    /// a restore takes is what growing those cells took. Throws std::runtime_error on a stream
    /// that is not such a state, and on one that another version of the walker wrote (its
    /// moves would not continue the run), naming both versions.
    static std::unique_ptr<LargeGrowth> restore(std::istream& in);

  private:
    struct Restoring {};
    LargeGrowth(Restoring, const LargeGrowthOptions& options, FastGenerator generator);
    void setRadius(std::int32_t radius);
    /// Whether `site` lies outside the square of half-side h (never without a size).
    bool outsideSquare(Site site) const;
    bool ended(Site site) const;

    LargeGrowthOptions options_;
    std::optional<std::int32_t> halfSide_;
    SilentToolkit toolkit_;
    mutable RandomSource<FastGenerator> random_;
    const DetachedSource<FastGenerator>* detached_ = nullptr;  ///< grow()'s copy while it runs
    LargeLattice lattice_;
    ExitLadder ladder_;
    std::int32_t radius_ = 4;
    KillDisc killDisc_;
    LargeGrowthCounters counters_;
    bool finished_ = false;
};

}  // namespace dla

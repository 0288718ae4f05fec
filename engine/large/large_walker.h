#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "base/growth_law.h"
#include "large/exit_ladder.h"
#include "large/kill_disc.h"
#include "large/large_lattice.h"
#include "random/random_source.h"

namespace dla {

/// The jump-size rule of the walker: it takes the largest safe square. (A policy, so that the
/// tests can build walkers that break the rule and show that they notice.)
struct LargeJumpRule {
    /// The half-side to jump with, given the largest safe one; `killLimited` when the kill disc,
    /// not the aggregate, set it.
    static constexpr int size(int safe, bool /*killLimited*/) { return safe; }
};

/// Where and how one walk ended.
struct LargeWalkEnd {
    WalkOutcome outcome = WalkOutcome::Stuck;  ///< Stuck or Killed
    Site at;                                   ///< the walker's last cell
};

/// The walk of one walker on a LargeLattice, with the law of the literal walk (one lattice step
/// per deviate, stick next to an occupied cell, killed once x^2 + y^2 > S), taken in
/// first-passage jumps across squares where nothing can happen.
///
/// When no cell within m - 1 of the walker has an occupied neighbour (m <= the lattice's bound)
/// and that whole square lies inside the kill disc, a single-step walk from there can neither
/// stick nor be killed before it first reaches distance m; the walker goes straight to that first
/// border cell, drawn with one deviate from the exact exit law of the largest ladder rung <= m
/// (ExitLadder), and then meets exactly the tests that follow a single step: killed beyond the
/// disc, stuck next to an occupied cell. Where no square with m >= 2 is safe it takes a single
/// step, with the very rule of walkLiteral(). A square smaller than the largest safe one changes
/// the speed, never the law. At release the walker only tests for an occupied neighbour.
template <class Rule = LargeJumpRule>
class LargeWalker {
  public:
    /// `largest`: the largest half-side of a jump, 1..ExitLadder::kLargest (1: single steps
    /// only, draw for draw the literal walk). `ladder` must hold every rung a jump can take,
    /// rungOf(min(largest, 2 + sqrt(S / 2))) for the largest S walked with; both must outlive
    /// the walker.
    LargeWalker(const LargeLattice& lattice, const ExitLadder& ladder, int largest)
        : lattice_(&lattice),
          ladder_(&ladder),
          largest_(std::clamp(largest, 1, ExitLadder::kLargest)) {}

    /// Walks from `from` until the walker sticks or leaves `disc`. Adds single steps to `steps`
    /// and jumps to `jumps`; one deviate is drawn for each. A walker released outside the disc
    /// is killed where it is, with no draw.
    template <DrawsTicks G>
    LargeWalkEnd walk(RandomSource<G>& random, Site from, const KillDisc& disc, std::int64_t& steps,
                      std::int64_t& jumps) const {
        auto source = random.detach();
        const LargeWalkEnd end = walk(source, from, disc, steps, jumps);
        random.attach(source);
        return end;
    }
    /// The same from a detached source, which a run keeps from one walker to the next; each
    /// deviate u = t 2^-53 is taken as its ticks t.
    template <DrawsTicks G>
    LargeWalkEnd walk(DetachedSource<G>& source, Site from, const KillDisc& disc,
                      std::int64_t& steps, std::int64_t& jumps) const;

  private:
    // The half-side of the largest safe square: within m - 1 of the walker no cell is near (the
    // bound), and its far corner m - 1 out stays inside the disc. The disc's limit is worked out
    // whether it binds or not, so that no branch waits on the bound's reads.
    int jumpSize(std::int32_t x, std::int32_t y, int bound, const KillDisc& disc) const {
        constexpr auto kFar = static_cast<std::int64_t>(ExitLadder::kLargest);
        const int m = std::min(bound, largest_);
        const std::int64_t reach = disc.cornerReach(std::abs(x), std::abs(y));
        const auto fits = static_cast<int>(std::min(reach, kFar)) + 1;
        const bool killLimited = fits < m;
        return Rule::size(killLimited ? fits : m, killLimited);
    }

    const LargeLattice* lattice_;
    const ExitLadder* ladder_;
    int largest_;
};

template <class Rule>
template <DrawsTicks G>
LargeWalkEnd LargeWalker<Rule>::walk(DetachedSource<G>& source, Site from, const KillDisc& disc,
                                     std::int64_t& steps, std::int64_t& jumps) const {
    std::int32_t x = from.x, y = from.y;
    // A start outside the disc has nothing to walk; the jump sizes below need the walker inside.
    if (disc.outside(x, y)) return {WalkOutcome::Killed, from};
    CellTiles::Cursor cursor;
    int d = lattice_->bound(x, y, cursor);
    std::int64_t single = 0, jumped = 0;
    WalkOutcome outcome = WalkOutcome::Stuck;
    while (d != 0) {
        const int m = jumpSize(x, y, d, disc);
        const std::uint64_t t = source.nextTicks();
        if (m >= 2) {
            const Jump j = ladder_->sampleSquare(m, t);
            x += j.dx;
            y += j.dy;
            ++jumped;
        } else {
            const Step s = kSteps[stepDirectionOfTicks(t)];
            x += s.dx;
            y += s.dy;
            ++single;
        }
        if (disc.outside(x, y)) {
            outcome = WalkOutcome::Killed;
            break;
        }
        d = lattice_->bound(x, y, cursor);
    }
    steps += single;
    jumps += jumped;
    return {outcome, {x, y}};
}

}  // namespace dla

#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "distance_map.h"
#include "exit_tables.h"
#include "lattice.h"
#include "random_source.h"
#include "walk.h"

namespace dla {

/// Deliberately wrong rules for the size of a jump. They exist only so that the tests can show
/// that they notice a walker that breaks the law of the walk; a run never uses them.
enum class JumpFault {
    None,
    KillCircleIgnored,     ///< the kill disc does not limit a jump
    KillLimitOneTooLarge,  ///< near the kill circle a jump may be one larger than safe
    OneTooLarge,           ///< every jump may be one larger than safe
};

/// The walk of one walker with the same law as walkLiteral(), taken in first-passage jumps
/// across squares where nothing can happen.
///
/// When every cell within Chebyshev distance m - 1 of the walker has no occupied neighbour, lies
/// inside the kill disc (x^2 + y^2 <= 4R^2) and inside the readable Lattice (|x|, |y| <= 999),
/// a single-step walk from there can neither stick, nor be killed, nor be dropped before it first
/// reaches distance m; the walker goes straight to that first border cell, drawn with one deviate
/// from the exact exit law (ExitTables), and then meets exactly the tests that follow a single
/// step (killed beyond 2R, dropped on the outermost ring, stuck next to an occupied cell). Where
/// no such square with m >= 2 exists it takes a single step, with the very rule of walkLiteral().
///
/// The size m is the least of three bounds: the DistanceMap's bound on the distance to the
/// nearest cell with an occupied neighbour (capped at the largest jump; exact near the
/// aggregate, at most DistanceMap::kBlock - 1 short of it elsewhere, never above it), the exact
/// integer limit that keeps the square's far corner inside the kill disc, and the distance to the
/// Lattice's outermost ring. A square smaller than the largest safe one changes the speed, never
/// the law. The walker keeps the map in step with the Lattice: noteOccupied() after every
/// particle that sticks, and a rebuild whenever the Lattice's version shows any other change (a
/// nested run). After a move the landing tests come from exact integers and the map (0 there is
/// exactly "has an occupied neighbour"), not from the Lattice's flags.
class JumpWalker {
  public:
    /// `largest`: the largest half-side of a jump, in 1..tables.largest() (1: single steps only,
    /// which makes the walker draw for draw the literal one). `tables` must outlive the walker.
    explicit JumpWalker(int largest = ExitTables::kLargest,
                        const ExitTables& tables = ExitTables::shared(),
                        JumpFault fault = JumpFault::None);

    /// Walks from `from` until the walker is stuck, killed or dropped, as walkLiteral() does.
    /// `lattice` must carry the kill disc of the current R. Adds single steps to `steps` and
    /// jumps to `jumps`; one deviate is drawn for each.
    template <UniformGenerator G>
    WalkEnd walk(const Lattice& lattice, RandomSource<G>& random, Site from, std::int64_t& steps,
                 std::int64_t& jumps);

    /// To be called right after lattice.occupy(x, y) for the walker's own stuck particle.
    void noteOccupied(const Lattice& lattice, int x, int y) { map_.addOccupied(lattice, x, y); }

    /// The half-side of the jump that the walker would take from (x, y) (1: a single step), with
    /// the map brought up to date first. (x, y) must be a cell a walk can stand on: inside the
    /// kill disc, |x|, |y| <= 999, no occupied neighbour.
    int jumpSize(const Lattice& lattice, int x, int y);

    const DistanceMap& map() const { return map_; }
    int largest() const { return largest_; }

  private:
    static std::int64_t killBound(const Lattice& lattice) {
        const std::int64_t r = lattice.killRadius();
        // No disc: nothing is ever killed.
        return r < 0 ? std::int64_t{1} << 62 : 4 * r * r;
    }

    /// The largest m <= `fromMap` whose square (distance <= m - 1) stays inside the readable
    /// Lattice and inside the disc x^2 + y^2 <= kill.
    int limit(int fromMap, int x, int y, std::int64_t kill) const {
        if (fault_ != JumpFault::None) [[unlikely]]
            return faultyLimit(fromMap, x, y, kill);
        const int a = std::abs(x), b = std::abs(y);
        int m = std::min(fromMap, Lattice::kExtent - std::max(a, b));
        const std::int64_t k = m - 1;
        if ((a + k) * (a + k) + (b + k) * (b + k) > kill) m = killLimit(a, b, kill);
        return m;
    }
    /// 1 + the largest k >= 0 with (a + k)^2 + (b + k)^2 <= kill, at most 1 + 4 * 2001;
    /// a^2 + b^2 <= kill.
    static int killLimit(int a, int b, std::int64_t kill);
    int faultyLimit(int fromMap, int x, int y, std::int64_t kill) const;

    int largest_;
    const ExitTables* tables_;
    JumpFault fault_;
    DistanceMap map_;
};

template <UniformGenerator G>
WalkEnd JumpWalker::walk(const Lattice& lattice, RandomSource<G>& random, Site from,
                         std::int64_t& steps, std::int64_t& jumps) {
    static constexpr std::array<int, 4> kDx{+1, -1, 0, 0};
    static constexpr std::array<int, 4> kDy{0, 0, +1, -1};
    map_.sync(lattice);
    if (const auto end = endAtRelease(lattice, from)) return *end;
    const std::int64_t kill = killBound(lattice);
    std::ptrdiff_t at = Lattice::index(from.x, from.y);

    // From here the tests that follow a move come from exact integers and the map, which agree
    // with the Lattice's flags: beyond the disc is x^2 + y^2 > 4R^2 (Outside), the outermost ring
    // is |x| or |y| = 1000 (Edge), and a bound of 0 is an occupied neighbour (Near). Far from the
    // aggregate that is one read of the map's small coarse layer a move, which stays in cache.
    int x = from.x, y = from.y;
    std::int64_t single = 0, jumped = 0;
    int d = map_.bound(x, y, at);
    WalkOutcome outcome;
    for (;;) {
        const int m = limit(d, x, y, kill);
        const double u = random.next();
        if (m >= 2) {
            const ExitCell e = tables_->sample(m, u);
            x += e.dx;
            y += e.dy;
            at += e.dx + static_cast<std::ptrdiff_t>(e.dy) * Lattice::kStride;
            ++jumped;
        } else {
            const unsigned k = stepDirection(u);
            x += kDx[k];
            y += kDy[k];
            at += kStepMove[k];
            ++single;
        }
        const std::int64_t a = std::abs(x), b = std::abs(y);
        if (a * a + b * b > kill) {
            outcome = WalkOutcome::Killed;
            break;
        }
        if (std::max(a, b) >= Lattice::kExtent) {
            outcome = WalkOutcome::Dropped;
            break;
        }
        d = map_.bound(x, y, at);
        if (d == 0) {
            outcome = WalkOutcome::Stuck;
            break;
        }
    }
    steps += single;
    jumps += jumped;
    return {outcome, at};
}

}  // namespace dla

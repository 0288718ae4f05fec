#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "distance_map.h"
#include "exit_tables.h"
#include "lattice.h"
#include "random_source.h"
#include "walk.h"

namespace dla {

/// The size of a jump from (x, y): the largest m <= `fromMap` whose square (every cell within
/// Chebyshev distance m - 1) stays inside the readable Lattice (|x|, |y| <= 999) and inside the
/// disc x^2 + y^2 <= `kill`. (x, y) lies in that disc.
struct ExactJumpRule {
    static int limit(int fromMap, int x, int y, std::int64_t kill) {
        const int a = std::abs(x), b = std::abs(y);
        int m = std::min(fromMap, Lattice::kExtent - std::max(a, b));
        const std::int64_t k = m - 1;
        if ((a + k) * (a + k) + (b + k) * (b + k) > kill) m = killLimit(a, b, kill);
        return m;
    }
    /// 1 + the largest k >= 0 with (a + k)^2 + (b + k)^2 <= kill, at most 1 + 4 * 2001;
    /// a, b >= 0 and a^2 + b^2 <= kill.
    static int killLimit(int a, int b, std::int64_t kill);
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
/// The size m is the least of three bounds (`Rule`, ExactJumpRule): the DistanceMap's bound on the
/// distance to the nearest cell with an occupied neighbour (capped at the largest jump; exact near
/// the aggregate, at most DistanceMap::kBlock - 1 short of it elsewhere, never above it), the exact
/// integer limit that keeps the square's far corner inside the kill disc, and the distance to the
/// Lattice's outermost ring. A square smaller than the largest safe one changes the speed, never
/// the law. The landing cell comes from `Exits` (ExitTables). The walker keeps the map in step with
/// the Lattice: noteOccupied() after every particle that sticks, and a rebuild whenever the
/// Lattice's version shows any other change (a nested run). After a move the landing tests come
/// from exact integers and the map (0 there is exactly "has an occupied neighbour"), not from the
/// Lattice's flags.
template <class Rule = ExactJumpRule, class Exits = ExitTables>
class JumpWalker {
  public:
    /// `largest`: the largest half-side of a jump, in 1..exits.largest() (1: single steps only,
    /// which makes the walker draw for draw the literal one); std::invalid_argument otherwise.
    /// `exits` must outlive the walker.
    explicit JumpWalker(int largest = ExitTables::kLargest,
                        const Exits& exits = ExitTables::shared())
        : largest_(largest), exits_(&exits), map_(largest) {
        if (largest < 1 || largest > exits.largest())
            throw std::invalid_argument("largest jump outside the exit tables");
    }

    /// Walks from `from` until the walker is stuck, killed or dropped, as walkLiteral() does.
    /// `lattice` must carry the kill disc of the current R. Adds single steps to `steps` and
    /// jumps to `jumps`; one deviate is drawn for each.
    template <UniformGenerator G>
    WalkEnd walk(const Lattice& lattice, RandomSource<G>& random, Site from, std::int64_t& steps,
                 std::int64_t& jumps);

    /// To be called right after lattice.occupy(x, y) for the walker's own stuck particle.
    void noteOccupied(const Lattice& lattice, int x, int y) { map_.addOccupied(lattice, x, y); }

  private:
    int largest_;
    const Exits* exits_;
    DistanceMap map_;
};

/// x^2 + y^2 beyond which the Lattice's kill disc begins (2R squared); without a disc, a bound
/// no cell reaches.
inline std::int64_t killBound(const Lattice& lattice) {
    const std::int64_t r = lattice.killRadius();
    return r < 0 ? std::int64_t{1} << 62 : 4 * r * r;
}

template <class Rule, class Exits>
template <UniformGenerator G>
WalkEnd JumpWalker<Rule, Exits>::walk(const Lattice& lattice, RandomSource<G>& random, Site from,
                                      std::int64_t& steps, std::int64_t& jumps) {
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
        const int m = Rule::limit(d, x, y, kill);
        const double u = random.next();
        if (m >= 2) {
            const ExitCell e = exits_->sample(m, u);
            x += e.dx;
            y += e.dy;
            at += e.dx + static_cast<std::ptrdiff_t>(e.dy) * Lattice::kStride;
            ++jumped;
        } else {
            const unsigned k = stepDirection(u);
            x += kSteps[k].dx;
            y += kSteps[k].dy;
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

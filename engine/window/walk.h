#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/growth_law.h"
#include "random/random_source.h"
#include "window/lattice.h"

/// One walker of the growth, from release to its end, as building blocks that the growth and the
/// tests share.
namespace dla {

struct WalkEnd {
    WalkOutcome outcome;
    std::ptrdiff_t at;  ///< Lattice::index of the walker's last cell
};

/// The Lattice::index change of each of the kSteps.
inline constexpr std::array<std::ptrdiff_t, 4> kStepMove = [] {
    std::array<std::ptrdiff_t, 4> move{};
    for (std::size_t k = 0; k < move.size(); ++k)
        move[k] = kSteps[k].dx + static_cast<std::ptrdiff_t>(kSteps[k].dy) * Lattice::kStride;
    return move;
}();

/// The test at release, before any step: a walker released on (or beyond) the outermost ring is
/// dropped, one released next to an occupied cell sticks at once; there is no kill test. Empty
/// when the walk goes on.
inline std::optional<WalkEnd> endAtRelease(const Lattice& lattice, Site from) {
    constexpr int inner = Lattice::kExtent - 1;
    if (from.x < -inner || from.x > inner || from.y < -inner || from.y > inner) {
        return WalkEnd{WalkOutcome::Dropped, 0};
    }
    const std::ptrdiff_t at = Lattice::index(from.x, from.y);
    if (lattice.flags()[at] & Lattice::Near) return WalkEnd{WalkOutcome::Stuck, at};
    return std::nullopt;
}

/// The walk of one walker released at `from`, one lattice step per deviate, until it has an
/// occupied neighbour, is killed or is dropped. `lattice` must carry the kill disc of the current
/// R (Lattice::setKillRadius). Adds the steps taken to `steps`.
///
/// The test before every step ("an occupied neighbour?") is one load of the cell's flags; after a
/// step the same load tells whether the walker is beyond 2R (flag Outside), which is exactly
/// x^2 + y^2 > 4R^2, i.e. sqrt(x^2 + y^2) > 2R, since no square root of an integer below 2^52
/// lies within rounding of an integer it does not equal. The direction indexes a table instead of
/// branching.
template <UniformGenerator G>
WalkEnd walkLiteral(const Lattice& lattice, RandomSource<G>& random, Site from,
                    std::int64_t& steps) {
    if (const auto end = endAtRelease(lattice, from)) return *end;
    const std::uint8_t* flags = lattice.flags();
    std::ptrdiff_t at = Lattice::index(from.x, from.y);

    std::int64_t taken = 0;
    std::uint8_t f;
    const auto walk = [&](auto direction) {
        do {
            at += kStepMove[direction()];
            ++taken;
            f = flags[at];
        } while (!(f & Lattice::kStopMask));
    };
    if constexpr (DrawsTicks<G>) {
        // Thousands of steps in a row from a copy of the source, its generator in registers.
        auto source = random.detach();
        walk([&source] { return stepDirectionOfTicks(source.nextTicks()); });
        random.attach(source);
    } else {
        walk([&random] { return stepDirection(random.next()); });
    }
    steps += taken;

    if (f & Lattice::Outside) return {WalkOutcome::Killed, at};
    if (f & Lattice::Edge) return {WalkOutcome::Dropped, at};
    return {WalkOutcome::Stuck, at};
}

}  // namespace dla

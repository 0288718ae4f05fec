#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "conversions.h"
#include "lattice.h"
#include "random_source.h"
#include "trig_floor.h"

/// One walker of the growth, from release to its end, as building blocks that the growth and the
/// tests share.
namespace dla {

enum class WalkOutcome {
    Stuck,    ///< next to an occupied cell (or released onto one)
    Killed,   ///< stepped beyond the kill distance 2R
    Dropped,  ///< reached the outermost ring of the Lattice, where it could not test on
};

struct WalkEnd {
    WalkOutcome outcome;
    std::ptrdiff_t at;  ///< Lattice::index of the walker's last cell
};

struct Site {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend constexpr bool operator==(Site, Site) = default;
};

/// The release point on the circle of radius `launchRadius` for the deviate u: the angle is
/// u * 2 * pi and each coordinate is floored (toward minus infinity).
inline Site releasePoint(std::int32_t launchRadius, double u, double pi) {
    const double theta = u * 2.0 * pi;
    const trig::Floors floors = trig::floorsScaled(launchRadius, theta);
    return {floors.cos, floors.sin};
}

/// R after a particle sticks at `site`, at distance D = sqrt(x^2 + y^2): floor(D + 4) when
/// floor(D) >= R, else R unchanged. R never decreases, and each change raises it by 4 or more.
/// (On the window's Lattice D stays below 1415, so R fits its 16 bits there.)
inline std::int32_t launchRadiusAfter(std::int32_t launchRadius, Site site) {
    const double distance = std::sqrt(
        static_cast<double>(std::int64_t{site.x} * site.x + std::int64_t{site.y} * site.y));
    if (std::floor(distance) >= launchRadius) return floorToInt32(distance + 4.0);
    return launchRadius;
}

/// The Lattice::index change of each of the kSteps.
inline constexpr std::array<std::ptrdiff_t, 4> kStepMove = [] {
    std::array<std::ptrdiff_t, 4> move{};
    for (std::size_t k = 0; k < move.size(); ++k)
        move[k] = kSteps[k].dx + static_cast<std::ptrdiff_t>(kSteps[k].dy) * Lattice::kStride;
    return move;
}();

/// The direction k = floor(4u) of a single step for the deviate u in [0, 1). The mask only keeps
/// a table read inside for a generator that strays from [0, 1), which the platform generator
/// never does.
inline unsigned stepDirection(double u) {
    return static_cast<unsigned>(static_cast<int>(u * 4.0)) & 3u;
}
/// The same for u = t 2^-53 given as its ticks t: floor(4 u) is t >> 51.
inline unsigned stepDirectionOfTicks(std::uint64_t t) {
    return static_cast<unsigned>(t >> 51) & 3u;
}

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

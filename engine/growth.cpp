#include "growth.h"

#include <array>
#include <cmath>
#include <stdexcept>

#include "conversions.h"

namespace dla {

namespace {

enum class Outcome { Stuck, Killed, Dropped };

struct WalkEnd {
    Outcome outcome;
    std::ptrdiff_t at;  ///< the walker's cell, when it stuck
};

constexpr std::array<std::ptrdiff_t, 4> kMove{+1, -1, +Lattice::kStride, -Lattice::kStride};

// The walk of one walker released at (x, y), one lattice step per deviate. The test before
// every step ("an occupied neighbour?") is one load of the cell's flags; after a step the same
// load also tells whether the walker is beyond 2R (flag Outside, set by the Lattice for the
// current R), which is exactly x^2 + y^2 > 4R^2, i.e. sqrt(x^2 + y^2) > 2R. The direction indexes
// a table instead of branching.
template <UniformGenerator G>
WalkEnd walkLiteral(const Lattice& lattice, RandomSource<G>& random, int x, int y,
                    std::int64_t& steps) {
    constexpr int inner = Lattice::kExtent - 1;
    if (x < -inner || x > inner || y < -inner || y > inner) return {Outcome::Dropped, 0};
    const std::uint8_t* flags = lattice.flags();
    std::ptrdiff_t at = Lattice::index(x, y);
    // At release there is no kill test, only the neighbour test.
    if (flags[at] & Lattice::Near) return {Outcome::Stuck, at};

    std::int64_t taken = 0;
    std::uint8_t f;
    do {
        const double u = random.next();
        // floor(4u) for u in [0, 1); the mask only keeps the table read inside for a
        // generator that strays from [0, 1), which the platform generator never does.
        at += kMove[static_cast<unsigned>(static_cast<int>(u * 4.0)) & 3u];
        ++taken;
        f = flags[at];
    } while (!(f & Lattice::kStopMask));
    steps += taken;

    if (f & Lattice::Outside) return {Outcome::Killed, at};
    if (f & Lattice::Edge) return {Outcome::Dropped, at};
    return {Outcome::Stuck, at};
}

}  // namespace

std::int16_t halfSideFor(std::int32_t systemSize) {
    return roundHalfEvenToInt16(static_cast<double>(systemSize) / 2.0);
}

template <UniformGenerator G>
GrowthResult Gerar_DLA(std::int32_t SystemSize, Lattice& lattice, RandomSource<G>& random,
                       Toolkit& toolkit, const GrowthOptions& options) {
    if (SystemSize > kLargestSystemSize || SystemSize < kSmallestSystemSize) {
        throw std::invalid_argument("system size outside the range a run can take");
    }
    (void)options;
    const double pi = std::atan(1.0) * 4.0;
    GrowthResult result;
    const std::int16_t HalfSide = halfSideFor(SystemSize);
    result.halfSide = HalfSide;

    toolkit.setStatusText("Iniciando...");
    if (!toolkit.yield()) return result;

    lattice.clear();
    lattice.occupy(0, 0);
    toolkit.retangulo(0, 0, paletteColour(kSeedColour));

    toolkit.setStatusText("");
    if (!toolkit.yield()) return result;

    (void)random.Random(-1);
    std::int16_t LaunchRadius = 4;
    const Rgb particleColour = paletteColour(kParticleColour);

    for (;;) {
        // A run started from a yield may have left the disc of its own R on the Lattice.
        lattice.setKillRadius(LaunchRadius);

        const double theta = random.next() * 2.0 * pi;
        const int x0 = floorToInt32(LaunchRadius * std::cos(theta));
        const int y0 = floorToInt32(LaunchRadius * std::sin(theta));

        const WalkEnd end = walkLiteral(lattice, random, x0, y0, result.steps);
        if (end.outcome != Outcome::Stuck) {
            ++result.walkersKilled;
            if (end.outcome == Outcome::Dropped) ++result.walkersAtEdge;
            continue;
        }

        const int x = Lattice::xOf(end.at);
        const int y = Lattice::yOf(end.at);
        lattice.occupy(x, y);
        const double WalkerDistance = std::sqrt(static_cast<double>(x * x + y * y));
        if (std::floor(WalkerDistance) >= LaunchRadius) {
            LaunchRadius = floorToInt16(WalkerDistance + 4.0);
        }
        result.launchRadius = LaunchRadius;
        toolkit.retangulo(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), particleColour);
        ++result.particles;
        if (!toolkit.yield()) return result;
        if (x > HalfSide || x < -HalfSide || y > HalfSide || y < -HalfSide) {
            result.finished = true;
            return result;
        }
    }
}

template GrowthResult Gerar_DLA<FastGenerator>(std::int32_t, Lattice&, RandomSource<FastGenerator>&,
                                               Toolkit&, const GrowthOptions&);
template GrowthResult Gerar_DLA<ScriptedGenerator>(std::int32_t, Lattice&,
                                                   RandomSource<ScriptedGenerator>&, Toolkit&,
                                                   const GrowthOptions&);

}  // namespace dla

#include "window/growth.h"

#include <cmath>
#include <stdexcept>

#include "base/conversions.h"
#include "window/walk.h"

namespace dla {

std::int16_t halfSideFor(std::int32_t systemSize) {
    // Sizes from kSmallestSystemSize on keep h in 16 bits.
    return static_cast<std::int16_t>(halfSideOf(systemSize));
}

template <UniformGenerator G>
GrowthResult Gerar_DLA(std::int32_t SystemSize, Lattice& lattice, RandomSource<G>& random,
                       Toolkit& toolkit) {
    if (SystemSize > kLargestSystemSize || SystemSize < kSmallestSystemSize) {
        throw std::invalid_argument("system size outside the range a run can take");
    }
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

        const Site release = releasePoint(LaunchRadius, random.next(), pi);
        const WalkEnd end = walkLiteral(lattice, random, release, result.steps);
        if (end.outcome != WalkOutcome::Stuck) {
            ++result.walkersKilled;
            if (end.outcome == WalkOutcome::Dropped) ++result.walkersAtEdge;
            continue;
        }

        const int x = Lattice::xOf(end.at);
        const int y = Lattice::yOf(end.at);
        lattice.occupy(x, y);
        LaunchRadius = static_cast<std::int16_t>(launchRadiusAfter(LaunchRadius, {x, y}));
        result.launchRadius = LaunchRadius;
        toolkit.retangulo(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                          particleColour);
        ++result.particles;
        if (!toolkit.yield()) return result;
        if (x > HalfSide || x < -HalfSide || y > HalfSide || y < -HalfSide) {
            result.finished = true;
            return result;
        }
    }
}

template GrowthResult Gerar_DLA<FastGenerator>(std::int32_t, Lattice&, RandomSource<FastGenerator>&,
                                               Toolkit&);

}  // namespace dla

#pragma once

#include <cstdint>

#include "base/toolkit.h"
#include "random/generators.h"
#include "random/random_source.h"
#include "window/lattice.h"

namespace dla {

/// Range of system sizes N that a run takes. Above 1000 the aggregate would outgrow the
/// Lattice; below -65537 the half-side round(N / 2) would leave the signed 16-bit range. Every
/// N <= 0 gives the same one-particle run, so nothing is lost by the lower bound.
inline constexpr std::int32_t kLargestSystemSize = 1000;
inline constexpr std::int32_t kSmallestSystemSize = -65537;

/// What a run did.
struct GrowthResult {
    std::int16_t halfSide = 0;       ///< h = round(N / 2), ties to even
    std::int16_t launchRadius = 4;   ///< R when the run ended
    std::int64_t particles = 0;      ///< walkers that stuck, the seed not counted
    std::int64_t walkersKilled = 0;  ///< walkers dropped beyond 2R or at the Lattice's edge
    std::int64_t walkersAtEdge = 0;  ///< of those, the ones dropped at the edge
    std::int64_t steps = 0;          ///< lattice steps taken by all walkers
    bool finished = false;           ///< false when a yield asked the run to stop
};

/// `Gerar_DLA`: grows one aggregate on `lattice` for system size `SystemSize` (read once, at the
/// start). Status texts, plots and yields go through `toolkit`; every deviate comes from
/// `random`, which the run re-initialises once. Returns when a particle sticks outside the square
/// of half-side h, or at once when a yield answers false (the Lattice then holds every particle
/// stuck so far). A walker that reaches the outermost ring of the Lattice, where its next test
/// would read outside, is dropped like a killed one. Throws std::invalid_argument for a size
/// outside kSmallestSystemSize..kLargestSystemSize, before anything is touched.
template <UniformGenerator G>
GrowthResult Gerar_DLA(std::int32_t SystemSize, Lattice& lattice, RandomSource<G>& random,
                       Toolkit& toolkit);

/// h = round(N / 2), ties to even.
std::int16_t halfSideFor(std::int32_t systemSize);

extern template GrowthResult Gerar_DLA<FastGenerator>(std::int32_t, Lattice&,
                                                      RandomSource<FastGenerator>&, Toolkit&);

}  // namespace dla

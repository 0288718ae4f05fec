#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "window/growth.h"

/// A plain transcription of the growth: 16-bit cells, a square root per step, a branch on the
/// direction. The engine must reproduce it exactly on the same draws.
namespace dla::reference {

struct PlainLattice {
    std::vector<std::int16_t> cells = std::vector<std::int16_t>(2001u * 2001u, 0);
    std::int16_t& operator()(int x, int y) {
        return cells.at(static_cast<std::size_t>((y + 1000) * 2001 + (x + 1000)));
    }
};

template <class Random>
GrowthResult gerarDla(std::int32_t n, PlainLattice& lattice, Random& random, Toolkit& toolkit) {
    GrowthResult result;
    const double pi = std::atan(1.0) * 4.0;
    const auto h = static_cast<std::int16_t>(std::nearbyint(n / 2.0));
    result.halfSide = h;
    toolkit.setStatusText("Iniciando...");
    if (!toolkit.yield()) return result;
    lattice = {};
    lattice(0, 0) = -1;
    toolkit.retangulo(0, 0, paletteColour(2));
    toolkit.setStatusText("");
    if (!toolkit.yield()) return result;
    (void)random.Random(-1);
    std::int16_t r = 4;
    for (;;) {
        const double theta = random.Random(0) * 2.0 * pi;
        auto x = static_cast<std::int32_t>(std::floor(r * std::cos(theta)));
        auto y = static_cast<std::int32_t>(std::floor(r * std::sin(theta)));
        double d = std::sqrt(static_cast<double>(x * x + y * y));
        bool killed = false, dropped = false;
        for (;;) {
            // On the outermost ring the neighbour test would read outside: dropped.
            if (!killed && (std::abs(x) >= 1000 || std::abs(y) >= 1000)) {
                dropped = killed = true;
                x = y = 1;
            }
            if (lattice(x + 1, y) == -1 || lattice(x - 1, y) == -1 || lattice(x, y + 1) == -1 ||
                lattice(x, y - 1) == -1 || killed)
                break;
            const int k = static_cast<int>(std::floor(4.0 * random.Random(0))) + 1;
            if (k == 1)
                x = x + 1;
            else if (k == 2)
                x = x - 1;
            else if (k == 3)
                y = y + 1;
            else if (k == 4)
                y = y - 1;
            ++result.steps;
            d = std::sqrt(static_cast<double>(x * x + y * y));
            if (d > static_cast<std::int16_t>(2 * r)) {
                killed = true;
                x = y = 1;
            }
        }
        if (killed) {
            ++result.walkersKilled;
            result.walkersAtEdge += dropped;
            continue;
        }
        lattice(x, y) = -1;
        if (std::floor(d) >= r) r = static_cast<std::int16_t>(std::floor(d + 4.0));
        result.launchRadius = r;
        toolkit.retangulo(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                          paletteColour(10));
        ++result.particles;
        if (!toolkit.yield()) return result;
        if (x > h || x < -h || y > h || y < -h) break;
    }
    result.finished = true;
    return result;
}

}  // namespace dla::reference

#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "fractal_dimension.h"
#include "growth.h"
#include "random_source.h"
#include "toolkit.h"

/// A plain transcription of the growth and of the estimate: a 16-bit cell array, a square root
/// per step, a branch on the direction, and boxes counted cell by cell. The fast engine must
/// reproduce it exactly on the same draws.
namespace dla::reference {

class PlainLattice {
  public:
    PlainLattice() : cells_(2001u * 2001u, 0) {}
    std::int16_t& at(int x, int y) {
        if (x < -1000 || x > 1000 || y < -1000 || y > 1000)
            throw std::out_of_range("plain lattice");
        return cells_[static_cast<std::size_t>((y + 1000) * 2001 + (x + 1000))];
    }
    std::int16_t get(int x, int y) const { return const_cast<PlainLattice*>(this)->at(x, y); }
    void clear() { std::fill(cells_.begin(), cells_.end(), std::int16_t{0}); }

  private:
    std::vector<std::int16_t> cells_;
};

template <UniformGenerator G>
GrowthResult gerarDla(std::int32_t n, PlainLattice& lattice, RandomSource<G>& random,
                      Toolkit& toolkit) {
    GrowthResult result;
    const double pi = std::atan(1.0) * 4.0;
    const double halfExact = n / 2.0;
    const auto h = static_cast<std::int16_t>(std::nearbyint(halfExact));
    result.halfSide = h;
    toolkit.setStatusText("Iniciando...");
    if (!toolkit.yield()) return result;
    lattice.clear();
    lattice.at(0, 0) = -1;
    toolkit.retangulo(0, 0, paletteColour(2));
    toolkit.setStatusText("");
    if (!toolkit.yield()) return result;
    (void)random.Random(-1);
    std::int16_t r = 4;
    bool finished = false;
    while (!finished) {
        double u = random.Random(0);
        const double theta = u * 2.0 * pi;
        std::int32_t x = static_cast<std::int32_t>(std::floor(r * std::cos(theta)));
        std::int32_t y = static_cast<std::int32_t>(std::floor(r * std::sin(theta)));
        double d = std::sqrt(static_cast<double>(x * x + y * y));
        bool killed = false;
        bool dropped = false;
        for (;;) {
            // The outermost ring: the neighbour test would read outside, so the walker is dropped.
            if (!killed && (x <= -1000 || x >= 1000 || y <= -1000 || y >= 1000)) {
                dropped = killed = true;
                x = 1;
                y = 1;
            }
            if (lattice.get(x + 1, y) == -1 || lattice.get(x - 1, y) == -1 ||
                lattice.get(x, y + 1) == -1 || lattice.get(x, y - 1) == -1 || killed) {
                break;
            }
            u = random.Random(0);
            const int k = static_cast<int>(std::floor(4.0 * u)) + 1;
            if (k == 1) {
                x = x + 1;
            } else if (k == 2) {
                x = x - 1;
            } else if (k == 3) {
                y = y + 1;
            } else if (k == 4) {
                y = y - 1;
            }
            ++result.steps;
            d = std::sqrt(static_cast<double>(x * x + y * y));
            if (d > static_cast<std::int16_t>(2 * r)) {
                killed = true;
                x = 1;
                y = 1;
            }
        }
        if (killed) {
            ++result.walkersKilled;
            if (dropped) ++result.walkersAtEdge;
            continue;
        }
        lattice.at(x, y) = -1;
        if (std::floor(d) >= r) r = static_cast<std::int16_t>(std::floor(d + 4.0));
        result.launchRadius = r;
        toolkit.retangulo(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                          paletteColour(10));
        ++result.particles;
        if (!toolkit.yield()) return result;
        if (x > h || x < -h || y > h || y < -h) finished = true;
    }
    result.finished = true;
    return result;
}

/// The estimate with every box counted cell by cell; the fit points and the slope.
template <UniformGenerator G>
std::optional<DimensionEstimate> dimensaoFractal(std::int32_t n, const PlainLattice& lattice,
                                                 RandomSource<G>& random) {
    const double pi = 4.0 * std::atan(1.0);
    (void)random.Random(-1);
    if (n < 100) return std::nullopt;
    DimensionEstimate estimate;
    const auto l0 = static_cast<std::int16_t>(std::floor(5.0 / 100.0 * n));
    auto l = l0;
    double m0 = 0.0;
    do {
        double total = 0.0;
        for (int k = 1; k <= 1000; ++k) {
            std::int16_t x0, y0;
            for (;;) {
                ++estimate.draws;
                x0 = static_cast<std::int16_t>(
                    std::floor((n / 2.0) * std::cos(random.Random(0) * 2.0 * pi)));
                y0 = static_cast<std::int16_t>(
                    std::floor((n / 2.0) * std::cos(random.Random(0) * 2.0 * pi)));
                const auto cx = static_cast<int>(std::nearbyint(x0 + l / 2.0));
                const auto cy = static_cast<int>(std::nearbyint(y0 + l / 2.0));
                if (lattice.get(cx, cy) == -1) break;
            }
            for (int i = x0; i <= x0 + l - 1; ++i)
                for (int j = y0; j <= y0 + l - 1; ++j)
                    if (lattice.get(i, j) != 0) total = total + 1;
        }
        if (l == l0) m0 = total / 1000;
        total = total / 1000;
        estimate.points.push_back(
            {l, total, std::log(static_cast<double>(l) / l0), std::log(total / m0)});
        l = static_cast<std::int16_t>(l + static_cast<std::int16_t>(std::floor(5.0 / 100.0 * n)));
    } while (std::floor(n / 2.0) > l);
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (const FitPoint& p : estimate.points) {
        sxy = sxy + p.y * p.x;
        sxx = sxx + p.x * p.x;
        sy = sy + p.y;
        sx = sx + p.x;
    }
    const auto count = static_cast<double>(estimate.points.size());
    estimate.dimension = (count * sxy - sx * sy) / (count * sxx - sx * sx);
    return estimate;
}

}  // namespace dla::reference

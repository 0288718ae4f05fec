#include "large/exit_law.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace dla {

namespace {

// The side law for j = 0..m - 1 by the sine series, leaving out the terms from the first weight
// 1/cosh(m a_l) below `smallest` on (0: none).
std::vector<double> sideLawFromCentre(int m, double smallest) {
    if (m < 2) throw std::invalid_argument("exit law needs a half-side of at least 2");
    const double pi = 4.0 * std::atan(1.0);
    const int width = 2 * m;
    // 1 / cosh(m a_l) for the odd l; a_l from 1 + 2 sin^2(theta / 2) to keep the small angles
    // exact, and log1p for acosh near 1. They fall as l rises.
    std::vector<double> weight;
    for (int l = 1; l < width; l += 2) {
        const double half = std::sin(pi * l / (2.0 * width));
        const double t = 2.0 * half * half;
        const double a = std::log1p(t + std::sqrt(t * (t + 2.0)));
        const double w = 1.0 / std::cosh(m * a);
        if (w < smallest) break;
        weight.push_back(w);
    }
    // cos(pi r / width) has period 2 width in r: reduced exactly in integers, and each of the
    // 2 width values taken once from the library.
    std::vector<double> cosine(static_cast<std::size_t>(2 * width));
    for (int r = 0; r < 2 * width; ++r)
        cosine[static_cast<std::size_t>(r)] = std::cos(pi * r / width);
    std::vector<double> law(static_cast<std::size_t>(m));
    for (int j = 0; j < m; ++j) {
        double sum = 0.0;
        // Smallest terms first.
        for (auto k = static_cast<int>(weight.size()) - 1; k >= 0; --k) {
            const auto r = static_cast<std::size_t>((std::int64_t{2 * k + 1} * j) % (2 * width));
            sum += cosine[r] * weight[static_cast<std::size_t>(k)];
        }
        law[static_cast<std::size_t>(j)] = sum / width;
    }
    return law;
}

}  // namespace

std::vector<double> exactSideLaw(int m) {
    const std::vector<double> half = sideLawFromCentre(m, 0.0);
    std::vector<double> law(half.rbegin(), half.rend());
    law.insert(law.end(), half.begin() + 1, half.end());
    return law;
}

std::vector<double> truncatedSideLaw(int m) {
    return sideLawFromCentre(m, 2e-17);
}

}  // namespace dla

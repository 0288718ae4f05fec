#include "exit_tables.h"

#include <cmath>
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
    std::vector<double> law(static_cast<std::size_t>(m));
    for (int j = 0; j < m; ++j) {
        double sum = 0.0;
        // Smallest terms first.
        for (auto k = static_cast<int>(weight.size()) - 1; k >= 0; --k) {
            // cos(pi r / width) has period 2 width in r: reduced exactly in integers.
            const auto r = static_cast<int>((std::int64_t{2 * k + 1} * j) % (2 * width));
            sum += std::cos(pi * r / width) * weight[static_cast<std::size_t>(k)];
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

ExitTables::ExitTables(int largest) : largest_(largest) {
    if (largest < 1 || largest > 255)
        throw std::invalid_argument("largest half-side outside 1..255");
    squares_.assign(static_cast<std::size_t>(largest_) + 1, Square{});
    for (int m = 2; m <= largest; ++m) {
        const std::vector<double> side = exactSideLaw(m);
        std::vector<double> law;
        for (int s = 0; s < 4; ++s) law.insert(law.end(), side.begin(), side.end());
        addSquare(m, law);
    }
}

const ExitTables& ExitTables::shared() {
    static const ExitTables tables(kLargest);
    return tables;
}

ExitCell ExitTables::borderCell(int m, int k) {
    const int side = k / (2 * m - 1);
    const auto j = static_cast<std::int16_t>(k % (2 * m - 1) - (m - 1));
    const auto h = static_cast<std::int16_t>(m);
    switch (side) {
        case 0:
            return {h, j};
        case 1:
            return {static_cast<std::int16_t>(-h), j};
        case 2:
            return {j, h};
        default:
            return {j, static_cast<std::int16_t>(-h)};
    }
}

void ExitTables::addSquare(int m, const std::vector<double>& law) {
    // Summed in extended precision: a plain double sum of a few hundred terms is off by about
    // 1e-15, which the normalisation would hand on to every cell.
    long double sum = 0.0L;
    for (double p : law) sum += p;
    const std::size_t n = law.size();
    std::vector<double> cellProbability(n);
    for (std::size_t k = 0; k < n; ++k) cellProbability[k] = static_cast<double>(law[k] / sum);

    // Vose: scaled probabilities n p_k; cells below 1 are topped up by one cell above 1.
    Square sq{alias_.size(), n, static_cast<double>(n)};
    squares_[static_cast<std::size_t>(m)] = sq;
    alias_.resize(alias_.size() + n);
    // Extended precision keeps the round-off that the pairing passes on from cell to cell
    // below that of the doubles finally stored.
    std::vector<long double> scaled(n);
    std::vector<std::size_t> small, large;
    for (std::size_t k = 0; k < n; ++k) {
        scaled[k] = static_cast<long double>(cellProbability[k]) * static_cast<long double>(n);
        (scaled[k] < 1.0L ? small : large).push_back(k);
    }
    while (!small.empty() && !large.empty()) {
        const std::size_t s = small.back();
        small.pop_back();
        const std::size_t l = large.back();
        alias_[sq.first + s] = {static_cast<double>(scaled[s]),
                                pack(borderCell(m, static_cast<int>(s))),
                                pack(borderCell(m, static_cast<int>(l)))};
        scaled[l] = (scaled[l] + scaled[s]) - 1.0L;
        if (scaled[l] < 1.0L) {
            large.pop_back();
            small.push_back(l);
        }
    }
    // What is left is 1 up to round-off.
    small.insert(small.end(), large.begin(), large.end());
    for (std::size_t k : small) {
        const std::uint32_t own = pack(borderCell(m, static_cast<int>(k)));
        alias_[sq.first + k] = {1.0, own, own};
    }
}

}  // namespace dla

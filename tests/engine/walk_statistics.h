#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

/// Two-sample tests for the comparisons of the literal and the jump walker. Each returns a
/// statistic that is about standard normal when both samples come from one law, so that one
/// threshold serves them all.
namespace dla::test {

/// A score above this rejects "one law": about 3e-7 one-sided for a standard normal score, far
/// beyond what the seeded runs of a correct walker give, far below what the broken ones give.
inline constexpr double kRejectScore = 5.0;

/// The Wilson-Hilferty normal score of a chi-square statistic with `dof` degrees of freedom.
inline double chiSquareScore(double chi, int dof) {
    const double k = dof;
    const double v = 2.0 / (9.0 * k);
    return (std::cbrt(chi / k) - (1.0 - v)) / std::sqrt(v);
}

/// Chi-square of two histograms over the same bins (counts keyed by bin), bins with fewer than
/// `pool` counts in both samples together pooled into one. Returns the statistic's
/// Wilson-Hilferty normal score; `dof` receives the degrees of freedom.
template <class Key>
double twoSampleChiSquareScore(const std::map<Key, std::int64_t>& a,
                               const std::map<Key, std::int64_t>& b, int* dof = nullptr,
                               std::int64_t pool = 20) {
    double na = 0, nb = 0;
    for (const auto& [k, c] : a) na += static_cast<double>(c);
    for (const auto& [k, c] : b) nb += static_cast<double>(c);
    std::map<Key, std::pair<double, double>> joint;
    for (const auto& [k, c] : a) joint[k].first += static_cast<double>(c);
    for (const auto& [k, c] : b) joint[k].second += static_cast<double>(c);
    std::vector<std::pair<double, double>> bins;
    std::pair<double, double> pooled{0, 0};
    for (const auto& [k, c] : joint) {
        if (c.first + c.second < static_cast<double>(pool)) {
            pooled.first += c.first;
            pooled.second += c.second;
        } else {
            bins.push_back(c);
        }
    }
    if (pooled.first + pooled.second > 0) bins.push_back(pooled);
    const double ka = std::sqrt(nb / na), kb = std::sqrt(na / nb);
    double chi = 0;
    for (const auto& [ca, cb] : bins) {
        const double d = ka * ca - kb * cb;
        chi += d * d / (ca + cb);
    }
    const int k = static_cast<int>(bins.size()) - 1;
    if (dof) *dof = k;
    return chiSquareScore(chi, k);
}

/// Two-proportion z score: successes sa of na against sb of nb.
inline double twoProportionScore(std::int64_t sa, std::int64_t na, std::int64_t sb,
                                 std::int64_t nb) {
    const double pa = static_cast<double>(sa) / static_cast<double>(na);
    const double pb = static_cast<double>(sb) / static_cast<double>(nb);
    const double p = static_cast<double>(sa + sb) / static_cast<double>(na + nb);
    return (pa - pb) /
           std::sqrt(p * (1 - p) * (1.0 / static_cast<double>(na) + 1.0 / static_cast<double>(nb)));
}

/// The two-sample Kolmogorov-Smirnov statistic sup |F_a - F_b|.
inline double kolmogorovSmirnovDistance(std::vector<double> a, std::vector<double> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::size_t i = 0, j = 0;
    double d = 0;
    while (i < a.size() && j < b.size()) {
        const double v = std::min(a[i], b[j]);
        while (i < a.size() && a[i] == v) ++i;
        while (j < b.size() && b[j] == v) ++j;
        d = std::max(d, std::fabs(static_cast<double>(i) / static_cast<double>(a.size()) -
                                  static_cast<double>(j) / static_cast<double>(b.size())));
    }
    return d;
}

/// The asymptotic probability that two samples of sizes na and nb from one continuous law lie at
/// least `distance` apart (Kolmogorov's series with Stephens' small-sample correction). Ties
/// make the test conservative.
inline double kolmogorovSmirnovPValue(double distance, std::size_t na, std::size_t nb) {
    const double ne =
        static_cast<double>(na) * static_cast<double>(nb) / static_cast<double>(na + nb);
    const double root = std::sqrt(ne);
    const double lambda = (root + 0.12 + 0.11 / root) * distance;
    double sum = 0;
    for (int k = 1; k <= 100; ++k) {
        const double term = 2.0 * ((k % 2) ? 1.0 : -1.0) * std::exp(-2.0 * k * k * lambda * lambda);
        sum += term;
        if (std::fabs(term) < 1e-16) break;
    }
    return std::clamp(sum, 0.0, 1.0);
}

}  // namespace dla::test

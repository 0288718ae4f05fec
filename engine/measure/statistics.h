#pragma once

#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

/// Sample moments and the straight-line fit: the one home of the least squares that the
/// estimate, the growth history and the ensemble's mass-radius relation use.
namespace dla {

/// Mean, sample standard deviation (divisor n - 1) and standard error of the mean (sd / sqrt(n))
/// of some values. A quantity that the count does not define (the mean of nothing, the spread
/// of one value) is empty.
struct Moments {
    std::size_t count = 0;
    std::optional<double> mean;
    std::optional<double> sd;
    std::optional<double> sem;
};

Moments describe(const std::vector<double>& values);

/// The least-squares slope of y on x over points that carry x and y:
/// (n Sxy - Sx Sy) / (n Sxx - Sx^2), summed in the points' order. The estimate's dimension is
/// this slope, to the last bit.
template <class Points>
double leastSquaresSlope(const Points& points) {
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (const auto& p : points) {
        sxy += p.y * p.x;
        sxx += p.x * p.x;
        sy += p.y;
        sx += p.x;
    }
    const double n = static_cast<double>(points.size());
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

/// Ordinary least squares of y on x.
struct LineFit {
    std::size_t points = 0;
    double slope = 0.0;  ///< leastSquaresSlope()
    double intercept = 0.0;
    /// sqrt(sum of squared residuals / (n - 2)) / sqrt(sum (x - mean x)^2); needs n >= 3.
    std::optional<double> slopeStandardError;
    /// 1 - (sum of squared residuals) / (sum (y - mean y)^2); empty when every y is the same.
    std::optional<double> rSquared;
};

/// The fit through points that carry x and y; empty with fewer than two distinct x.
template <class Points>
std::optional<LineFit> fitLine(const Points& points) {
    if (points.size() < 2) return std::nullopt;
    const double n = static_cast<double>(points.size());
    double meanX = 0.0, meanY = 0.0;
    for (const auto& p : points) {
        meanX += p.x;
        meanY += p.y;
    }
    meanX /= n;
    meanY /= n;
    double sxx = 0.0, syy = 0.0;
    for (const auto& p : points) {
        sxx += (p.x - meanX) * (p.x - meanX);
        syy += (p.y - meanY) * (p.y - meanY);
    }
    if (!(sxx > 0.0)) return std::nullopt;

    LineFit fit;
    fit.points = points.size();
    fit.slope = leastSquaresSlope(points);
    fit.intercept = meanY - fit.slope * meanX;
    double residuals = 0.0;
    for (const auto& p : points) {
        const double r = p.y - (fit.intercept + fit.slope * p.x);
        residuals += r * r;
    }
    if (points.size() >= 3) fit.slopeStandardError = std::sqrt(residuals / (n - 2.0) / sxx);
    if (syy > 0.0) fit.rSquared = 1.0 - residuals / syy;
    return fit;
}

/// sqrt of the mean squared distance of the sites (anything with x and y) from their centre of
/// mass, in lattice units; 0 for one site or none. (GrowthHistory keeps the same radius as
/// running sums, for every moment of a growth.)
template <class Sites>
double radiusOfGyration(const Sites& sites) {
    if (sites.size() < 2) return 0.0;
    const double n = static_cast<double>(sites.size());
    double cx = 0.0, cy = 0.0;
    for (const auto& s : sites) {
        cx += s.x;
        cy += s.y;
    }
    cx /= n;
    cy /= n;
    double sum = 0.0;
    for (const auto& s : sites) sum += (s.x - cx) * (s.x - cx) + (s.y - cy) * (s.y - cy);
    return std::sqrt(sum / n);
}

}  // namespace dla

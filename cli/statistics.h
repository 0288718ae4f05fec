#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "estimate/fractal_dimension.h"
#include "window/walk.h"

/// The few statistics the tool reports: sample moments, a straight-line fit with its
/// uncertainty, and the radius of gyration of a set of sites.
namespace dla::cli {

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

/// Ordinary least squares of y on x.
struct LineFit {
    std::size_t points = 0;
    double slope = 0.0;  ///< computed exactly as the estimate computes its dimension
    double intercept = 0.0;
    /// sqrt(sum of squared residuals / (n - 2)) / sqrt(sum (x - mean x)^2); needs n >= 3.
    std::optional<double> slopeStandardError;
    /// 1 - (sum of squared residuals) / (sum (y - mean y)^2); empty when every y is the same.
    std::optional<double> rSquared;
};

/// The fit through `points` (their x and y); empty with fewer than two distinct x.
std::optional<LineFit> fitLine(const std::vector<FitPoint>& points);

/// sqrt of the mean squared distance of the sites from their centre of mass, in lattice units;
/// 0 for one site or none.
double radiusOfGyration(const std::vector<Site>& sites);
/// The same for the arrivals of a large lattice.
double radiusOfGyrationOf(const std::deque<Site>& sites);

}  // namespace dla::cli

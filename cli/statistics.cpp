#include "statistics.h"

#include <cmath>

namespace dla::cli {

Moments describe(const std::vector<double>& values) {
    Moments m;
    m.count = values.size();
    if (values.empty()) return m;
    double sum = 0.0;
    for (double v : values) sum += v;
    const double n = static_cast<double>(values.size());
    const double mean = sum / n;
    m.mean = mean;
    if (values.size() < 2) return m;
    double squares = 0.0;
    for (double v : values) squares += (v - mean) * (v - mean);
    m.sd = std::sqrt(squares / (n - 1.0));
    m.sem = *m.sd / std::sqrt(n);
    return m;
}

std::optional<LineFit> fitLine(const std::vector<FitPoint>& points) {
    if (points.size() < 2) return std::nullopt;
    const double n = static_cast<double>(points.size());
    double meanX = 0.0, meanY = 0.0;
    for (const FitPoint& p : points) {
        meanX += p.x;
        meanY += p.y;
    }
    meanX /= n;
    meanY /= n;
    double sxx = 0.0, syy = 0.0;
    for (const FitPoint& p : points) {
        sxx += (p.x - meanX) * (p.x - meanX);
        syy += (p.y - meanY) * (p.y - meanY);
    }
    if (!(sxx > 0.0)) return std::nullopt;

    LineFit fit;
    fit.points = points.size();
    // The engine's own formula, so that the slope reported here is the dimension to the last bit.
    fit.slope = leastSquaresSlope(points);
    fit.intercept = meanY - fit.slope * meanX;
    double residuals = 0.0;
    for (const FitPoint& p : points) {
        const double r = p.y - (fit.intercept + fit.slope * p.x);
        residuals += r * r;
    }
    if (points.size() >= 3) fit.slopeStandardError = std::sqrt(residuals / (n - 2.0) / sxx);
    if (syy > 0.0) fit.rSquared = 1.0 - residuals / syy;
    return fit;
}

namespace {

template <class Sites>
double gyration(const Sites& sites) {
    if (sites.size() < 2) return 0.0;
    const double n = static_cast<double>(sites.size());
    double cx = 0.0, cy = 0.0;
    for (const Site& s : sites) {
        cx += s.x;
        cy += s.y;
    }
    cx /= n;
    cy /= n;
    double sum = 0.0;
    for (const Site& s : sites) sum += (s.x - cx) * (s.x - cx) + (s.y - cy) * (s.y - cy);
    return std::sqrt(sum / n);
}

}  // namespace

double radiusOfGyration(const std::vector<Site>& sites) {
    return gyration(sites);
}

double radiusOfGyrationOf(const std::deque<Site>& sites) {
    return gyration(sites);
}

}  // namespace dla::cli

#include "measure/statistics.h"

namespace dla {

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

}  // namespace dla

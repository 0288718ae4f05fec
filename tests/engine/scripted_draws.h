#pragma once

#include <cstddef>
#include <vector>

/// Draw sequences that make the shuffled source return chosen values.
namespace dla::testing {

/// The draws for one re-initialising call followed by ordinary calls, such that the calls return
/// `outputs` in order (outputs[0] is the re-initialising call's own result). Every call selects
/// entry 1 (a selecting draw of 0) and refills it with the next wanted value.
inline std::vector<double> drawsReturning(const std::vector<double>& outputs) {
    std::vector<double> draws(97, 0.0);                   // warm-up, thrown away
    draws.push_back(outputs.empty() ? 0.0 : outputs[0]);  // v(1)
    for (int i = 2; i <= 97; ++i) draws.push_back(0.5);
    draws.push_back(0.0);  // y, replaced at once
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        draws.push_back(0.0);  // selects v(1)
        draws.push_back(i + 1 < outputs.size() ? outputs[i + 1] : 0.5);
    }
    return draws;
}

/// A deviate whose step direction is k (1: x+1, 2: x-1, 3: y+1, 4: y-1).
inline double stepDeviate(int k) {
    return (k - 1) * 0.25 + 0.1;
}

}  // namespace dla::testing

#include "estimate/dimension_estimate.h"

#include <cmath>

#include "base/conversions.h"

namespace dla {

std::vector<std::int32_t> boxSidesFor(std::int32_t systemSize) {
    std::vector<std::int32_t> sides;
    if (systemSize < kSmallestMeasurableSize) return sides;
    const std::int32_t step = floorToInt32(5.0 / 100.0 * systemSize);
    const double limit = std::floor(systemSize / 2.0);
    std::int32_t side = step;
    do {
        sides.push_back(side);
        side += step;
    } while (limit > side);
    return sides;
}

}  // namespace dla

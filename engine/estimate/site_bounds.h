#pragma once

#include <algorithm>
#include <cstdint>

#include "base/growth_law.h"

namespace dla {

/// The rectangle that bounds a set of sites, and how many there are: what both box counters
/// need first, found in one pass.
struct SiteBounds {
    std::int64_t xMin = 0, xMax = -1, yMin = 0, yMax = -1;
    std::int64_t sites = 0;

    template <class Sites>
    static SiteBounds of(const Sites& sites) {
        SiteBounds b;
        for (const Site s : sites) {
            if (b.sites++ == 0) b.xMin = b.xMax = s.x, b.yMin = b.yMax = s.y;
            b.xMin = std::min<std::int64_t>(b.xMin, s.x);
            b.xMax = std::max<std::int64_t>(b.xMax, s.x);
            b.yMin = std::min<std::int64_t>(b.yMin, s.y);
            b.yMax = std::max<std::int64_t>(b.yMax, s.y);
        }
        return b;
    }
    bool empty() const { return sites == 0; }
    /// Cells of the rectangle (0 for no sites).
    std::int64_t cells() const { return empty() ? 0 : (xMax - xMin + 1) * (yMax - yMin + 1); }
};

}  // namespace dla

#include "jump_walk.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace dla {

JumpWalker::JumpWalker(int largest, const ExitTables& tables, JumpFault fault)
    : largest_(largest), tables_(&tables), fault_(fault), map_(largest) {
    if (largest < 1 || largest > tables.largest()) {
        throw std::invalid_argument("largest jump outside the exit tables");
    }
}

int JumpWalker::jumpSize(const Lattice& lattice, int x, int y) {
    map_.sync(lattice);
    return limit(map_.bound(x, y), x, y, killBound(lattice));
}

int JumpWalker::killLimit(int a, int b, std::int64_t kill) {
    // The far corner (a + k, b + k) stays inside while 2k^2 + 2(a + b)k + a^2 + b^2 <= kill; the
    // root in double precision is then corrected in exact integers.
    const auto fits = [&](std::int64_t k) { return (a + k) * (a + k) + (b + k) * (b + k) <= kill; };
    const double d = static_cast<double>(a - b);
    const double root =
        (std::sqrt(std::max(0.0, 2.0 * static_cast<double>(kill) - d * d)) - (a + b)) / 2.0;
    // Nothing beyond the Lattice's width matters; the bound keeps a disc far larger than the
    // Lattice (or none at all) from overflowing the squares.
    constexpr std::int64_t kFar = 4 * Lattice::kSide;
    auto k =
        static_cast<std::int64_t>(std::clamp(std::floor(root), 0.0, static_cast<double>(kFar)));
    while (k > 0 && !fits(k)) --k;
    while (k < kFar && fits(k + 1)) ++k;
    return static_cast<int>(k) + 1;
}

int JumpWalker::faultyLimit(int fromMap, int x, int y, std::int64_t kill) const {
    const int a = std::abs(x), b = std::abs(y);
    const int edge = Lattice::kExtent - std::max(a, b);
    const int safe = std::min({fromMap, edge, killLimit(a, b, kill)});
    switch (fault_) {
        case JumpFault::KillCircleIgnored:
            return std::min(fromMap, edge);
        case JumpFault::KillLimitOneTooLarge:
            return std::min({fromMap, edge, killLimit(a, b, kill) + 1});
        case JumpFault::OneTooLarge:
            return std::min({safe + 1, largest_, edge});
        case JumpFault::None:
            break;
    }
    return safe;
}

}  // namespace dla

#include "batch/seed.h"

#include <random>

namespace dla {

std::uint64_t drawSeed() {
    std::random_device entropy;
    static_assert(sizeof(std::random_device::result_type) * 8 + 20 <= 52);
    return ((std::uint64_t{entropy()} << 20) ^ entropy()) % kDrawnSeedBound;
}

}  // namespace dla

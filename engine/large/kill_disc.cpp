#include "large/kill_disc.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace dla {

namespace {

// floor(sqrt(t)) for 0 <= t <= 2^51: the double's root is within one of it, then exact integers
// settle it.
std::int64_t integerRoot(std::int64_t t) {
    auto q = static_cast<std::int64_t>(std::sqrt(static_cast<double>(t)));
    while (q * q > t) --q;
    while ((q + 1) * (q + 1) <= t) ++q;
    return q;
}

}  // namespace

KillDisc::KillDisc(std::int64_t square) : square_(square) {
    if (square < 0 || square > std::int64_t{1} << 50) {
        throw std::invalid_argument("kill disc outside 0..2^50");
    }
    const std::int64_t twice = 2 * square;
    // The roots fall as d rises: each starts from the one before and steps down. |a - b| is at
    // most the first root inside the disc.
    std::int64_t q = integerRoot(twice);
    roots_.resize(std::min(static_cast<std::size_t>(q) + 1, kLargestTable));
    for (std::size_t d = 0; d < roots_.size(); ++d) {
        const std::int64_t t = twice - static_cast<std::int64_t>(d * d);
        while (q * q > t) --q;
        roots_[d] = static_cast<std::int32_t>(q);
    }
}

std::int64_t KillDisc::rootBeyondTable(std::size_t d) const {
    return integerRoot(2 * square_ - static_cast<std::int64_t>(d * d));
}

}  // namespace dla

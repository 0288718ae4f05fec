#include "large/exit_ladder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

#include "large/exit_law.h"

namespace dla {

static_assert(ExitLadder::kDense == 1 << ExitLadder::kDenseBits);
static_assert(ExitLadder::kLargest <= 1 << 17, "an alias |j| must fit in 17 bits");

ExitLadder::ExitLadder(int reach) {
    if (reach < 2) throw std::invalid_argument("exit ladder needs a reach of at least 2");
    extendTo(reach);
}

int ExitLadder::halfSide(int rung) {
    if (rung < kDense - 2) return rung + 2;
    const int k = rung - (kDense - 2);
    return (4 + k % 4) << (kDenseBits + k / 4 - 2);
}

void ExitLadder::extendTo(int reach) {
    const int last = rungOf(std::clamp(reach, 2, kLargest));
    for (auto rung = static_cast<int>(rungs_.size()); rung <= last; ++rung) addRung(halfSide(rung));
}

void ExitLadder::addRung(int m) {
    const std::vector<double> side = truncatedSideLaw(m);
    const auto n = static_cast<std::size_t>(m);
    // The folded law of |j|: j = 0 on either side's axis, and j = +-k.
    std::vector<long double> scaled(n);
    long double sum = 0.0L;
    for (std::size_t k = 0; k < n; ++k) {
        scaled[k] = static_cast<long double>(side[k]) * (k == 0 ? 4.0L : 8.0L);
        sum += scaled[k];
    }
    // Vose: the scaled weights n p_k; entries below 1 are topped up by one above 1. Extended
    // precision keeps the round-off that the pairing hands on below that of the stored doubles.
    const std::size_t first = entries_.size();
    entries_.resize(first + n);
    std::vector<std::size_t> small, large;
    for (std::size_t k = 0; k < n; ++k) {
        scaled[k] = scaled[k] / sum * static_cast<long double>(n);
        (scaled[k] < 1.0L ? small : large).push_back(k);
    }
    // The coin keeps an entry's own |j| below keep 2^kKeepBits; a full entry is its own alias.
    const auto entry = [](long double keep, std::size_t alias) {
        const auto threshold =
            static_cast<std::uint64_t>(std::llround(std::ldexp(keep, kKeepBits)));
        return std::min(threshold, (std::uint64_t{1} << kKeepBits) - 1) << kAliasBits | alias;
    };
    while (!small.empty() && !large.empty()) {
        const std::size_t s = small.back();
        small.pop_back();
        const std::size_t l = large.back();
        entries_[first + s] = entry(scaled[s], l);
        scaled[l] = (scaled[l] + scaled[s]) - 1.0L;
        if (scaled[l] < 1.0L) {
            large.pop_back();
            small.push_back(l);
        }
    }
    // What is left is 1 up to round-off.
    small.insert(small.end(), large.begin(), large.end());
    for (std::size_t k : small) entries_[first + k] = entry(1.0L, k);
    rungs_.push_back({static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(first)});
}

}  // namespace dla

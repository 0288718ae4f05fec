#include "window/lattice.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace dla {

namespace {

// Largest w >= 0 with w^2 <= value, or -1 when value < 0.
std::int64_t isqrtFloor(std::int64_t value) {
    if (value < 0) return -1;
    auto w = static_cast<std::int64_t>(std::sqrt(static_cast<double>(value)));
    while (w * w > value) --w;
    while ((w + 1) * (w + 1) <= value) ++w;
    return w;
}

}  // namespace

Lattice::Lattice() : flags_(static_cast<std::size_t>(kSide) * kSide) {
    clear();
}

std::size_t Lattice::checked(int x, int y) {
    if (!contains(x, y)) throw std::out_of_range("lattice index outside -1000..1000");
    return static_cast<std::size_t>(index(x, y));
}

void Lattice::clear() {
    std::fill(flags_.begin(), flags_.end(), std::uint8_t{0});
    for (int i = -kExtent; i <= kExtent; ++i) {
        flags_[static_cast<std::size_t>(index(i, -kExtent))] |= Edge;
        flags_[static_cast<std::size_t>(index(i, kExtent))] |= Edge;
        flags_[static_cast<std::size_t>(index(-kExtent, i))] |= Edge;
        flags_[static_cast<std::size_t>(index(kExtent, i))] |= Edge;
    }
    occupied_ = 0;
    occupiedReach_ = -1;
    killRadius_ = -1;
}

void Lattice::occupy(int x, int y) {
    const std::size_t at = checked(x, y);
    if (flags_[at] & Occupied) return;
    flags_[at] |= Occupied;
    ++occupied_;
    occupiedReach_ = std::max({occupiedReach_, std::abs(x), std::abs(y)});
    if (x > -kExtent) flags_[at - 1] |= Near;
    if (x < kExtent) flags_[at + 1] |= Near;
    if (y > -kExtent) flags_[at - kStride] |= Near;
    if (y < kExtent) flags_[at + kStride] |= Near;
}

void Lattice::setKillRadius(int radius) {
    assert(radius >= 0);
    if (radius == killRadius_) return;
    if (killRadius_ < 0 || radius < killRadius_) {
        // A fresh disc (or a smaller one, after a nested run): flag every cell beyond it.
        for (auto& f : flags_) f = static_cast<std::uint8_t>(f | Outside);
        markOutsideRing(-1, radius);
    } else {
        markOutsideRing(killRadius_, radius);
    }
    killRadius_ = radius;
}

// Clears Outside on the cells with (2 fromRadius)^2 < x^2 + y^2 <= (2 toRadius)^2; fromRadius -1
// means the whole disc of toRadius.
void Lattice::markOutsideRing(int fromRadius, int toRadius) {
    const std::int64_t inner = fromRadius < 0 ? -1 : 4LL * fromRadius * fromRadius;
    const std::int64_t outer = 4LL * toRadius * toRadius;
    const int reach = static_cast<int>(std::min<std::int64_t>(isqrtFloor(outer), kExtent));
    for (int y = -reach; y <= reach; ++y) {
        const std::int64_t yy = static_cast<std::int64_t>(y) * y;
        const std::int64_t outerHalf = std::min<std::int64_t>(isqrtFloor(outer - yy), kExtent);
        const std::int64_t innerHalf = std::min<std::int64_t>(isqrtFloor(inner - yy), kExtent);
        // Cells with innerHalf < |x| <= outerHalf are in the ring.
        for (std::int64_t x = innerHalf + 1; x <= outerHalf; ++x) {
            flags_[static_cast<std::size_t>(index(static_cast<int>(x), y))] &=
                static_cast<std::uint8_t>(~Outside);
            flags_[static_cast<std::size_t>(index(static_cast<int>(-x), y))] &=
                static_cast<std::uint8_t>(~Outside);
        }
    }
}

std::uint64_t Lattice::hash() const {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i < flags_.size(); ++i) {
        if (!(flags_[i] & Occupied)) continue;
        std::uint64_t v = i;
        for (int b = 0; b < 4; ++b) {
            h ^= v & 0xFF;
            h *= 0x100000001b3ULL;
            v >>= 8;
        }
    }
    return h;
}

}  // namespace dla

#include "box_counter.h"

#include <algorithm>

namespace dla {

BoxCounter::BoxCounter(const Lattice& lattice, int low, int high)
    : low_(std::max(low, -Lattice::kExtent)), high_(std::min(high, Lattice::kExtent)) {
    if (high_ < low_) high_ = low_ - 1;
    width_ = static_cast<std::size_t>(high_ - low_ + 2);
    sums_.assign(width_ * width_, 0);
    const std::uint8_t* flags = lattice.flags();
    for (int y = low_; y <= high_; ++y) {
        const std::size_t row = static_cast<std::size_t>(y - low_ + 1) * width_;
        const std::size_t above = row - width_;
        const std::uint8_t* cells = flags + Lattice::index(low_, y);
        std::uint32_t running = 0;
        for (std::size_t i = 0; i + 1 < width_; ++i) {
            running += cells[i] & Lattice::Occupied;
            sums_[row + i + 1] = sums_[above + i + 1] + running;
        }
    }
}

std::int64_t BoxCounter::prefix(int x, int y) const {
    x = std::clamp(x, low_, high_ + 1);
    y = std::clamp(y, low_, high_ + 1);
    return sums_[static_cast<std::size_t>(y - low_) * width_ + static_cast<std::size_t>(x - low_)];
}

std::int64_t BoxCounter::count(int x0, int y0, int side) const {
    const int x1 = x0 + side;
    const int y1 = y0 + side;
    return prefix(x1, y1) - prefix(x0, y1) - prefix(x1, y0) + prefix(x0, y0);
}

}  // namespace dla

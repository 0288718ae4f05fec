#include "estimate/sparse_box_counter.h"

#include <algorithm>

namespace dla {

void SparseBoxCounter::Lines::sortBands() {
    for (std::size_t b = 0; b + 1 < start_.size(); ++b)
        std::sort(low_.begin() + static_cast<std::ptrdiff_t>(start_[b]),
                  low_.begin() + static_cast<std::ptrdiff_t>(start_[b + 1]));
}

std::size_t SparseBoxCounter::Lines::firstAtLeast(std::size_t b, std::int64_t low) const {
    const auto first = low_.begin() + static_cast<std::ptrdiff_t>(start_[b]);
    const auto last = low_.begin() + static_cast<std::ptrdiff_t>(start_[b + 1]);
    return static_cast<std::size_t>(
        std::lower_bound(first, last, low,
                         [](std::uint16_t v, std::int64_t target) { return v < target; }) -
        low_.begin());
}

std::size_t SparseBoxCounter::Lines::below(std::size_t k, std::int64_t v) const {
    const std::size_t first = k * bands_;
    if (v <= 0) return 0;
    const auto band = static_cast<std::size_t>(v >> kBandShift);
    if (band >= bands_) return start_[first + bands_] - start_[first];
    return firstAtLeast(first + band, v & 0xFFFF) - start_[first];
}

bool SparseBoxCounter::Lines::holds(std::size_t k, std::int64_t v) const {
    const std::size_t b = k * bands_ + static_cast<std::size_t>(v >> kBandShift);
    const std::size_t i = firstAtLeast(b, v & 0xFFFF);
    return i < start_[b + 1] && low_[i] == (v & 0xFFFF);
}

// One block more than the bounding box needs, so that the block index of xMax_ + 1 exists, and
// a first row and column of zeros.
void SparseBoxCounter::makeBlocks() {
    const std::int64_t span = std::max(xMax_ + 1 - xMin_, yMax_ + 1 - yMin_);
    const auto wide = [span](int shift) { return static_cast<std::size_t>((span >> shift) + 2); };
    while (wide(blockShift_) * wide(blockShift_) > 4 * sites_ + 64) ++blockShift_;
    blocksWide_ = wide(blockShift_);
    blockTable_.assign(blocksWide_ * blocksWide_, 0);
}

void SparseBoxCounter::sumBlocks() {
    for (std::size_t by = 1; by < blocksWide_; ++by)
        for (std::size_t bx = 1; bx < blocksWide_; ++bx)
            blockTable_[by * blocksWide_ + bx] += blockTable_[(by - 1) * blocksWide_ + bx] +
                                                  blockTable_[by * blocksWide_ + bx - 1] -
                                                  blockTable_[(by - 1) * blocksWide_ + bx - 1];
}

std::int64_t SparseBoxCounter::dominated(std::int64_t x, std::int64_t y) const {
    x = std::clamp(x, xMin_, xMax_ + 1);
    y = std::clamp(y, yMin_, yMax_ + 1);
    const std::int64_t bxIndex = (x - xMin_) >> blockShift_, byIndex = (y - yMin_) >> blockShift_;
    const std::int64_t bx = xMin_ + (bxIndex << blockShift_), by = yMin_ + (byIndex << blockShift_);
    auto total = blockTable_[static_cast<std::size_t>(byIndex) * blocksWide_ +
                             static_cast<std::size_t>(bxIndex)];
    for (std::int64_t row = by; row < y; ++row)
        total += static_cast<std::int64_t>(rows_.below(static_cast<std::size_t>(row - yMin_), bx - xMin_));
    for (std::int64_t column = bx; column < x; ++column)
        total += static_cast<std::int64_t>(
            columns_.below(static_cast<std::size_t>(column - xMin_), y - yMin_));
    return total;
}

std::int64_t SparseBoxCounter::count(std::int32_t x0, std::int32_t y0, std::int32_t side) const {
    if (sites_ == 0) return 0;
    const std::int64_t x1 = std::int64_t{x0} + side, y1 = std::int64_t{y0} + side;
    return dominated(x1, y1) - dominated(x0, y1) - dominated(x1, y0) + dominated(x0, y0);
}

std::size_t SparseBoxCounter::memoryBytes() const {
    return rows_.memoryBytes() + columns_.memoryBytes() +
           blockTable_.capacity() * sizeof(std::int64_t);
}

}  // namespace dla

#include "estimate/sparse_box_counter.h"

#include <algorithm>

namespace dla {

void SparseBoxCounter::sortRuns(std::vector<std::int32_t>& values,
                                const std::vector<std::size_t>& start) {
    for (std::size_t k = 0; k + 1 < start.size(); ++k)
        std::sort(values.begin() + static_cast<std::ptrdiff_t>(start[k]),
                  values.begin() + static_cast<std::ptrdiff_t>(start[k + 1]));
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

std::size_t SparseBoxCounter::firstAtLeast(const std::vector<std::int32_t>& values,
                                           std::size_t begin, std::size_t end, std::int64_t value) {
    const auto first = values.begin() + static_cast<std::ptrdiff_t>(begin);
    const auto last = values.begin() + static_cast<std::ptrdiff_t>(end);
    return static_cast<std::size_t>(
        std::lower_bound(first, last, value,
                         [](std::int32_t v, std::int64_t target) { return v < target; }) -
        values.begin());
}

std::int64_t SparseBoxCounter::dominated(std::int64_t x, std::int64_t y) const {
    x = std::clamp(x, xMin_, xMax_ + 1);
    y = std::clamp(y, yMin_, yMax_ + 1);
    const std::int64_t bxIndex = (x - xMin_) >> blockShift_, byIndex = (y - yMin_) >> blockShift_;
    const std::int64_t bx = xMin_ + (bxIndex << blockShift_), by = yMin_ + (byIndex << blockShift_);
    auto total = blockTable_[static_cast<std::size_t>(byIndex) * blocksWide_ +
                             static_cast<std::size_t>(bxIndex)];
    for (std::int64_t row = by; row < y; ++row) {
        const auto r = static_cast<std::size_t>(row - yMin_);
        total += static_cast<std::int64_t>(firstAtLeast(rowX_, rowStart_[r], rowStart_[r + 1], bx) -
                                           rowStart_[r]);
    }
    for (std::int64_t column = bx; column < x; ++column) {
        const auto c = static_cast<std::size_t>(column - xMin_);
        total += static_cast<std::int64_t>(
            firstAtLeast(columnY_, columnStart_[c], columnStart_[c + 1], y) - columnStart_[c]);
    }
    return total;
}

std::int64_t SparseBoxCounter::count(std::int32_t x0, std::int32_t y0, std::int32_t side) const {
    if (sites_ == 0) return 0;
    const std::int64_t x1 = std::int64_t{x0} + side, y1 = std::int64_t{y0} + side;
    return dominated(x1, y1) - dominated(x0, y1) - dominated(x1, y0) + dominated(x0, y0);
}

std::size_t SparseBoxCounter::memoryBytes() const {
    return (rowX_.capacity() + columnY_.capacity()) * sizeof(std::int32_t) +
           (rowStart_.capacity() + columnStart_.capacity()) * sizeof(std::size_t) +
           blockTable_.capacity() * sizeof(std::int64_t);
}

}  // namespace dla

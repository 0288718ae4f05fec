#include "block_level.h"

#include <cstdlib>
#include <stdexcept>

#include "byte_min.h"

namespace dla {

BlockLevel::BlockLevel(int shift, int cap) : shift_(shift), cap_(cap) {
    if (shift < 1 || shift > 20 || cap < 2 || cap > 255) {
        throw std::invalid_argument("block level outside its range");
    }
    const int side = 2 * cap - 1;
    stamp_.resize(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
    for (int dy = -(cap - 1); dy <= cap - 1; ++dy) {
        for (int dx = -(cap - 1); dx <= cap - 1; ++dx) {
            stamp_[static_cast<std::size_t>((dy + cap - 1) * side + (dx + cap - 1))] =
                static_cast<std::uint8_t>(std::max(std::abs(dx), std::abs(dy)));
        }
    }
}

void BlockLevel::mark(std::int32_t x, std::int32_t y) {
    const std::int32_t r = cap_ - 1;
    const std::int32_t bx = x >> shift_, by = y >> shift_;
    if (std::max({bx + r + 1, r - bx, by + r + 1, r - by}) > half_) {
        grow(std::max({bx + r + 1, r - bx, by + r + 1, r - by}));
    }
    const auto cx = static_cast<std::uint32_t>(bx + half_),
               cy = static_cast<std::uint32_t>(by + half_);
    if (grid_[at(cx, cy)] == 0) return;
    // Every block the stamp reaches is inside the grid; a block beyond it was at cap already.
    // Each row of the stamp crosses the squares of the grid in runs of at most 8 blocks.
    const auto side = static_cast<std::uint32_t>(2 * r + 1);
    const std::uint32_t low = cx - static_cast<std::uint32_t>(r);
    for (std::uint32_t row = 0; row < side; ++row) {
        const std::uint8_t* src = stamp_.data() + static_cast<std::size_t>(row) * side;
        const std::uint32_t gy = cy - static_cast<std::uint32_t>(r) + row;
        for (std::uint32_t from = 0; from < side;) {
            const std::uint32_t gx = low + from;
            const std::uint32_t run = std::min(side - from, kSquare - gx % kSquare);
            minInto(grid_.data() + at(gx, gy), src + from, run);
            from += run;
        }
    }
}

void BlockLevel::grow(std::int32_t reach) {
    // Far beyond any memory, but it keeps the block indices inside their types.
    constexpr std::int32_t kLargestWidth = 1 << 24;
    std::int32_t half = std::max(reach, half_ + half_ / 4 + 4);
    half = (half + kSquare - 1) / kSquare * kSquare;
    if (2 * half > kLargestWidth) throw std::length_error("block level beyond its largest grid");
    const auto width = static_cast<std::uint32_t>(2 * half);
    std::vector<std::uint8_t, HugePageAllocator<std::uint8_t>> grid(
        static_cast<std::size_t>(width) * width, static_cast<std::uint8_t>(cap_));
    // Whole squares move, since both halves are multiples of their side.
    const auto shift = static_cast<std::uint32_t>(half - half_);
    for (std::uint32_t gy = 0; gy < width_; gy += kSquare) {
        for (std::uint32_t gx = 0; gx < width_; gx += kSquare) {
            std::copy_n(
                grid_.begin() + static_cast<std::ptrdiff_t>(at(gx, gy)), kSquare * kSquare,
                grid.begin() + static_cast<std::ptrdiff_t>(at(gx + shift, gy + shift, width)));
        }
    }
    grid_ = std::move(grid);
    half_ = half;
    width_ = width;
}

}  // namespace dla

#include "large/block_level.h"

#include <cstdlib>
#include <stdexcept>

#include "large/byte_min.h"

namespace dla {

BlockLevel::BlockLevel(int shift, int cap) : shift_(shift), cap_(cap) {
    if (shift < 1 || shift > 20 || cap < 2 || cap > 255) {
        throw std::invalid_argument("block level outside its range");
    }
    // The distances around a new mark, padded with cap, which the grid never exceeds, so that
    // the squares the stamp reaches are lowered whole.
    const int r = cap - 1;
    stampSide_ = static_cast<std::size_t>(2 * (r + kPad) + 1);
    stamp_.assign(stampSide_ * stampSide_, static_cast<std::uint8_t>(cap));
    for (int dy = -r; dy <= r; ++dy) {
        for (int dx = -r; dx <= r; ++dx) {
            stamp_[static_cast<std::size_t>(dy + r + kPad) * stampSide_ +
                   static_cast<std::size_t>(dx + r + kPad)] =
                static_cast<std::uint8_t>(std::max(std::abs(dx), std::abs(dy)));
        }
    }
}

void BlockLevel::markNew(std::int32_t x, std::int32_t y) {
    const std::int32_t r = cap_ - 1;
    const std::int32_t bx = x >> shift_, by = y >> shift_;
    if (std::max({bx + r + 1, r - bx, by + r + 1, r - by}) > half_) {
        grow(std::max({bx + r + 1, r - bx, by + r + 1, r - by}));
    }
    const auto cx = static_cast<std::uint32_t>(bx + half_),
               cy = static_cast<std::uint32_t>(by + half_);
    // The block is not marked yet (mark() saw to that). The stamp reaches blocks cx - r..cx + r,
    // all inside the grid; a block beyond it was at cap already. So are the squares holding them,
    // since the grid's width is a multiple of their side, and the padding covers those squares'
    // blocks beyond the stamp: at most kPad a side.
    const auto reach = static_cast<std::uint32_t>(r);
    std::uint32_t left = cx - reach, right = cx + reach, bottom = cy - reach, top = cy + reach;
    // A block on the far side of a marked neighbour, by one or more rows (or columns), is at
    // least as near that neighbour as the new mark: only the half of the stamp on this side of
    // it can lower anything. A new mark usually has one, most often the occupied cell's block.
    if (grid_[at(cx - 1, cy)] == 0) left = cx;
    if (grid_[at(cx + 1, cy)] == 0) right = cx;
    if (grid_[at(cx, cy - 1)] == 0) bottom = cy;
    if (grid_[at(cx, cy + 1)] == 0) top = cy;
    const std::uint32_t corner = reach + kPad;  // cx, cy in the padded stamp
    for (std::uint32_t sy = bottom / kSquare * kSquare; sy <= top; sy += kSquare) {
        const std::uint8_t* row = stamp_.data() + (sy + corner - cy) * stampSide_;
        for (std::uint32_t sx = left / kSquare * kSquare; sx <= right; sx += kSquare) {
            minSquareInto(grid_.data() + at(sx, sy), row + (sx + corner - cx), stampSide_);
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

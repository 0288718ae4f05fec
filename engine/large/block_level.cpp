#include "large/block_level.h"

#include <algorithm>
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
    blank_.assign(kTileBlocks, static_cast<std::uint8_t>(cap));
    for (int dy = -r; dy <= r; ++dy) {
        for (int dx = -r; dx <= r; ++dx) {
            stamp_[static_cast<std::size_t>(dy + r + kPad) * stampSide_ +
                   static_cast<std::size_t>(dx + r + kPad)] =
                static_cast<std::uint8_t>(std::max(std::abs(dx), std::abs(dy)));
        }
    }
}

namespace {

// Tiles are made in chunks, so that a tile costs no allocation of its own: chunks as large as
// the tiles made so far, from 4 tiles up to 2 MB, so that a small aggregate's coarse levels hold
// a few tiles rather than a chunk each.
constexpr std::size_t kFirstChunkTiles = 4;
constexpr std::size_t kChunkTiles = 512;

}  // namespace

void BlockLevel::markNew(std::int32_t bx, std::int32_t by) {
    const std::int32_t r = cap_ - 1;
    // The block is not marked yet (mark() saw to that). The stamp reaches blocks bx - r..bx + r;
    // a block beyond it was at cap already. The squares holding them are lowered whole, the
    // padding covering those squares' blocks beyond the stamp: at most kPad a side.
    std::int32_t left = bx - r, right = bx + r, bottom = by - r, top = by + r;
    // A block on the far side of a marked neighbour, by one or more rows (or columns), is at
    // least as near that neighbour as the new mark: only the half of the stamp on this side of
    // it can lower anything. A new mark usually has one, most often the occupied cell's block.
    if (at(bx - 1, by) == 0) left = bx;
    if (at(bx + 1, by) == 0) right = bx;
    if (at(bx, by - 1) == 0) bottom = by;
    if (at(bx, by + 1) == 0) top = by;
    const std::int32_t corner = r + kPad;  // bx, by in the padded stamp
    for (std::int32_t sy = bottom & ~kPad; sy <= top; sy += kSquare) {
        const std::uint8_t* row =
            stamp_.data() + static_cast<std::size_t>(sy + corner - by) * stampSide_;
        for (std::int32_t sx = left & ~kPad; sx <= right; sx += kSquare) {
            minSquareInto(tile(sx, sy) + inTile(sx, sy), row + (sx + corner - bx), stampSide_);
        }
    }
}

std::uint8_t* BlockLevel::tile(std::int32_t bx, std::int32_t by) {
    const std::int32_t tx = bx >> kTileShift, ty = by >> kTileShift;
    const std::int32_t reach = std::max({tx + 1, -tx, ty + 1, -ty});
    if (reach > half_) growDirectory(reach);
    std::uint8_t*& slot = directory_[static_cast<std::size_t>(ty + half_) * width_ +
                                     static_cast<std::size_t>(tx + half_)];
    if (slot != blank_.data()) return slot;
    if (left_ == 0) {
        left_ = std::clamp(made_, kFirstChunkTiles, kChunkTiles);
        chunks_.emplace_back(left_ * kTileBlocks, static_cast<std::uint8_t>(cap_));
        held_ += left_ * kTileBlocks;
    }
    slot = chunks_.back().data() + chunks_.back().size() - left_ * kTileBlocks;
    --left_;
    ++made_;
    return slot;
}

void BlockLevel::growDirectory(std::int32_t reach) {
    // Far beyond any memory, but it keeps the block indices inside their types.
    constexpr std::int32_t kLargestHalf = 1 << (24 - kTileShift);
    if (reach > kLargestHalf) throw std::length_error("block level beyond its largest grid");
    const std::int32_t half = std::min(std::max(reach, half_ + half_ / 4 + 4), kLargestHalf);
    const auto width = static_cast<std::uint32_t>(2 * half);
    std::vector<std::uint8_t*, HugePageAllocator<std::uint8_t*>> directory(
        static_cast<std::size_t>(width) * width, blank_.data());
    for (std::int32_t ty = -half_; ty < half_; ++ty) {
        std::copy_n(
            directory_.begin() +
                static_cast<std::ptrdiff_t>(ty + half_) * static_cast<std::ptrdiff_t>(width_),
            width_,
            directory.begin() +
                static_cast<std::ptrdiff_t>(ty + half) * static_cast<std::ptrdiff_t>(width) +
                (half - half_));
    }
    directory_ = std::move(directory);
    half_ = half;
    width_ = width;
}

void BlockLevel::clear() {
    directory_ = {};
    chunks_ = {};
    half_ = 0;
    width_ = 0;
    made_ = 0;
    left_ = 0;
    held_ = 0;
}

std::size_t BlockLevel::memoryBytes() const {
    return held_ + directory_.size() * sizeof(std::uint8_t*);
}

}  // namespace dla

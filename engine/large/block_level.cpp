#include "large/block_level.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "large/byte_min.h"

namespace dla {

BlockLevel::BlockLevel(int shift, int cap)
    : shift_(shift),
      cap_(cap),
      blank_(kTileBlocks, static_cast<std::uint8_t>(cap)),
      // Far beyond any memory, but it keeps the block indices inside their types.
      directory_(blank_.data(), 1 << (24 - kTileShift), "block level beyond its largest grid") {
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
    std::uint8_t*& slot = directory_.slot(bx >> kTileShift, by >> kTileShift);
    if (slot != blank_.data()) return slot;
    if (left_ == 0) {
        left_ = std::clamp(made_, kFirstChunkTiles, kChunkTiles);
        chunks_.emplace_back(left_ * kTileBlocks, static_cast<std::uint8_t>(cap_));
    }
    slot = chunks_.back().data() + chunks_.back().size() - left_ * kTileBlocks;
    --left_;
    ++made_;
    return slot;
}

void BlockLevel::clear() {
    directory_.clear();
    chunks_ = {};
    made_ = 0;
    left_ = 0;
}

std::size_t BlockLevel::memoryBytes() const {
    std::size_t bytes = directory_.memoryBytes();
    for (const auto& chunk : chunks_) bytes += chunk.size();
    return bytes;
}

}  // namespace dla

#include "large/cell_tiles.h"

#include <algorithm>
#include <stdexcept>

namespace dla {

namespace {

// Tiles are made in chunks, so that a tile costs no allocation of its own.
constexpr std::size_t kChunk = (std::size_t{1} << 21) / sizeof(CellTiles::Tile);
// Beyond this the directory alone would outgrow any machine: 2^25 cells from the origin.
constexpr std::int32_t kLargestHalf = 1 << (25 - CellTiles::kShift);

}  // namespace

CellTiles::CellTiles()
    : directory_(&blank_, kLargestHalf, "lattice beyond 2^25 cells from the origin") {
    blank_.nibbles.fill(0);
}

CellTiles::Tile& CellTiles::make(std::int32_t tx, std::int32_t ty) {
    Tile*& slot = directory_.slot(tx, ty);
    if (slot != &blank_) return *slot;
    if (made_ % kChunk == 0) chunks_.emplace_back().reserve(kChunk);
    chunks_.back().emplace_back();
    slot = &chunks_.back().back();
    ++made_;
    slot->nibbles.fill(0);
    return *slot;
}

void CellTiles::clear() {
    directory_.clear();
    chunks_ = {};
    made_ = 0;
}

std::size_t CellTiles::memoryBytes() const {
    return chunks_.size() * kChunk * sizeof(Tile) + directory_.memoryBytes();
}

}  // namespace dla

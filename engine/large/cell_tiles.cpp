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

CellTiles::CellTiles() { blank_.nibbles.fill(0); }

CellTiles::Tile& CellTiles::make(std::int32_t tx, std::int32_t ty) {
    const std::int32_t reach = std::max({tx + 1, -tx, ty + 1, -ty});
    if (reach > half_) growDirectory(reach);
    Tile*& slot = directory_[static_cast<std::size_t>(ty + half_) * width_ +
                             static_cast<std::size_t>(tx + half_)];
    if (slot != &blank_) return *slot;
    if (made_ % kChunk == 0) chunks_.emplace_back().reserve(kChunk);
    chunks_.back().emplace_back();
    slot = &chunks_.back().back();
    ++made_;
    slot->nibbles.fill(0);
    return *slot;
}

void CellTiles::growDirectory(std::int32_t reach) {
    if (reach > kLargestHalf) throw std::length_error("lattice beyond 2^25 cells from the origin");
    const std::int32_t half = std::min(std::max(reach, half_ + half_ / 4 + 4), kLargestHalf);
    const auto width = static_cast<std::uint32_t>(2 * half);
    std::vector<Tile*, HugePageAllocator<Tile*>> directory(static_cast<std::size_t>(width) * width,
                                                           &blank_);
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

void CellTiles::clear() {
    directory_ = {};
    chunks_ = {};
    half_ = 0;
    width_ = 0;
    made_ = 0;
}

std::size_t CellTiles::memoryBytes() const {
    return chunks_.size() * kChunk * sizeof(Tile) + directory_.size() * sizeof(Tile*);
}

}  // namespace dla

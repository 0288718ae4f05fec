#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "large/huge_page_allocator.h"

namespace dla {

/// Where the tiles of a sparse layer are: a square of pointers around the origin, tile
/// coordinates -half..half - 1 a side, that grows (by a quarter or more at a time) when a tile
/// beyond it is asked for. A place that was never given a tile holds `blank`, a tile that reads as
/// nothing written.
template <class T>
class TileDirectory {
  public:
    /// `blank` must outlive the directory; the square never grows past `largestHalf`, beyond
    /// which a tile is refused with std::length_error(`beyond`).
    TileDirectory(T* blank, std::int32_t largestHalf, const char* beyond)
        : blank_(blank), largestHalf_(largestHalf), beyond_(beyond) {}

    T* blank() const { return blank_; }

    /// The tile at (tx, ty), the blank one where none was given.
    T* find(std::int32_t tx, std::int32_t ty) const {
        const auto ux = static_cast<std::uint32_t>(tx + half_);
        const auto uy = static_cast<std::uint32_t>(ty + half_);
        if (ux >= width_ || uy >= width_) return blank_;
        return slots_[static_cast<std::size_t>(uy) * width_ + ux];
    }

    /// The place of the tile at (tx, ty), the square grown to hold it.
    T*& slot(std::int32_t tx, std::int32_t ty) {
        const std::int32_t reach = std::max({tx + 1, -tx, ty + 1, -ty});
        if (reach > half_) grow(reach);
        return slots_[static_cast<std::size_t>(ty + half_) * width_ +
                      static_cast<std::size_t>(tx + half_)];
    }

    std::size_t memoryBytes() const { return slots_.size() * sizeof(T*); }
    /// No tile anywhere, and no memory held.
    void clear() {
        slots_ = {};
        half_ = 0;
        width_ = 0;
    }

  private:
    void grow(std::int32_t reach) {
        if (reach > largestHalf_) throw std::length_error(beyond_);
        const std::int32_t half = std::min(std::max(reach, half_ + half_ / 4 + 4), largestHalf_);
        const auto width = static_cast<std::uint32_t>(2 * half);
        std::vector<T*, HugePageAllocator<T*>> slots(static_cast<std::size_t>(width) * width,
                                                     blank_);
        for (std::int32_t ty = -half_; ty < half_; ++ty) {
            std::copy_n(
                slots_.begin() +
                    static_cast<std::ptrdiff_t>(ty + half_) * static_cast<std::ptrdiff_t>(width_),
                width_,
                slots.begin() +
                    static_cast<std::ptrdiff_t>(ty + half) * static_cast<std::ptrdiff_t>(width) +
                    (half - half_));
        }
        slots_ = std::move(slots);
        half_ = half;
        width_ = width;
    }

    T* blank_;
    std::int32_t largestHalf_;
    const char* beyond_;
    std::int32_t half_ = 0;    ///< the square covers tiles -half_..half_ - 1 a side
    std::uint32_t width_ = 0;  ///< 2 half_
    std::vector<T*, HugePageAllocator<T*>> slots_;
};

}  // namespace dla

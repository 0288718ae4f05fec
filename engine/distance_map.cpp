#include "distance_map.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace dla {

namespace {

constexpr int kExtent = Lattice::kExtent;

std::size_t cellIndex(int x, int y) {
    return static_cast<std::size_t>(Lattice::index(x, y));
}

}  // namespace

DistanceMap::DistanceMap(int cap)
    : cap_(cap),
      map_(static_cast<std::size_t>(Lattice::kSide) * Lattice::kSide,
           static_cast<std::uint8_t>(cap)) {
    if (cap < 1 || cap > 255) throw std::invalid_argument("distance cap outside 1..255");
    const int side = 2 * cap + 1;
    stamp_.resize(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
    static constexpr int kNx[4] = {1, -1, 0, 0};
    static constexpr int kNy[4] = {0, 0, 1, -1};
    for (int dy = -cap; dy <= cap; ++dy) {
        for (int dx = -cap; dx <= cap; ++dx) {
            int d = cap;
            for (int k = 0; k < 4; ++k)
                d = std::min(d, std::max(std::abs(dx - kNx[k]), std::abs(dy - kNy[k])));
            stamp_[static_cast<std::size_t>((dy + cap) * side + (dx + cap))] =
                static_cast<std::uint8_t>(d);
        }
    }
}

void DistanceMap::widenDirty(int low, int high, int bottom, int top) {
    if (dirty_.empty()) {
        dirty_ = {low, high, bottom, top};
        return;
    }
    dirty_.low = std::min(dirty_.low, low);
    dirty_.high = std::max(dirty_.high, high);
    dirty_.bottom = std::min(dirty_.bottom, bottom);
    dirty_.top = std::max(dirty_.top, top);
}

void DistanceMap::addOccupied(const Lattice& lattice, int x, int y) {
    if (!synced_ || lattice.version() != version_ + 1) {
        // Unchanged: the cell was occupied already and its neighbours are in the map. Anything
        // else: the Lattice moved on without us.
        if (!synced_ || lattice.version() != version_) rebuild(lattice);
        return;
    }
    version_ = lattice.version();
    const int low = std::max(x - cap_, -kExtent), high = std::min(x + cap_, kExtent);
    const int bottom = std::max(y - cap_, -kExtent), top = std::min(y + cap_, kExtent);
    const auto side = static_cast<std::size_t>(2 * cap_ + 1);
    const auto width = static_cast<std::size_t>(high - low + 1);
    for (int row = bottom; row <= top; ++row) {
        std::uint8_t* dst = map_.data() + cellIndex(low, row);
        const std::uint8_t* src = stamp_.data() + static_cast<std::size_t>(row - y + cap_) * side +
                                  static_cast<std::size_t>(low - x + cap_);
        for (std::size_t i = 0; i < width; ++i) dst[i] = std::min(dst[i], src[i]);
    }
    widenDirty(low, high, bottom, top);
}

void DistanceMap::rebuild(const Lattice& lattice) {
    const auto cap = static_cast<std::uint8_t>(cap_);
    if (!dirty_.empty()) {
        const auto width = static_cast<std::size_t>(dirty_.high - dirty_.low + 1);
        for (int row = dirty_.bottom; row <= dirty_.top; ++row) {
            std::fill_n(map_.data() + cellIndex(dirty_.low, row), width, cap);
        }
        dirty_ = Box{};
    }
    version_ = lattice.version();
    synced_ = true;

    // The box of the cells with an occupied neighbour.
    const std::uint8_t* flags = lattice.flags();
    Box near;
    for (int row = -kExtent; row <= kExtent; ++row) {
        const std::uint8_t* line = flags + cellIndex(-kExtent, row);
        std::uint8_t any = 0;
        for (int i = 0; i < Lattice::kSide; ++i) any = static_cast<std::uint8_t>(any | line[i]);
        if (!(any & Lattice::Near)) continue;
        int first = 0;
        while (!(line[first] & Lattice::Near)) ++first;
        int last = Lattice::kSide - 1;
        while (!(line[last] & Lattice::Near)) --last;
        if (near.empty()) near = {first - kExtent, last - kExtent, row, row};
        near.low = std::min(near.low, first - kExtent);
        near.high = std::max(near.high, last - kExtent);
        near.top = row;
    }
    if (near.empty()) return;

    // Only cells within cap - 1 of that box can be below cap.
    const int low = std::max(near.low - (cap_ - 1), -kExtent),
              high = std::min(near.high + (cap_ - 1), kExtent);
    const int bottom = std::max(near.bottom - (cap_ - 1), -kExtent),
              top = std::min(near.top + (cap_ - 1), kExtent);
    widenDirty(low, high, bottom, top);
    for (int row = bottom; row <= top; ++row) {
        for (int col = low; col <= high; ++col) {
            const std::size_t i = cellIndex(col, row);
            map_[i] = (flags[i] & Lattice::Near) ? std::uint8_t{0} : cap;
        }
    }
    // The two raster passes of the chessboard distance transform, exact for this metric: each
    // cell takes one more than the least of the four neighbours already swept.
    const auto stride = static_cast<std::size_t>(Lattice::kStride);
    auto relax = [&](std::size_t i, std::size_t j) {
        const int through = map_[j] + 1;
        if (through < map_[i]) map_[i] = static_cast<std::uint8_t>(through);
    };
    for (int row = bottom; row <= top; ++row) {
        for (int col = low; col <= high; ++col) {
            const std::size_t i = cellIndex(col, row);
            if (col > low) relax(i, i - 1);
            if (row > bottom) {
                relax(i, i - stride);
                if (col > low) relax(i, i - stride - 1);
                if (col < high) relax(i, i - stride + 1);
            }
        }
    }
    for (int row = top; row >= bottom; --row) {
        for (int col = high; col >= low; --col) {
            const std::size_t i = cellIndex(col, row);
            if (col < high) relax(i, i + 1);
            if (row < top) {
                relax(i, i + stride);
                if (col > low) relax(i, i + stride - 1);
                if (col < high) relax(i, i + stride + 1);
            }
        }
    }
}

}  // namespace dla

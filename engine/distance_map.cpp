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

// Distance from a point at offset q to the interval [low, high] along one axis.
int gap(int q, int low, int high) {
    return std::max({0, low - q, q - high});
}

}  // namespace

DistanceMap::DistanceMap(int cap)
    : cap_(cap),
      fineCap_(std::min(cap, kFineCap)),
      // Below kFineCap the fine layer alone is exact everywhere, and the coarse one is not read.
      threshold_(cap <= kFineCap ? cap + 1 : kFineCap - kBlock + 1),
      coarseReach_(cap / kBlock + 2) {
    if (cap < 1 || cap > 255) throw std::invalid_argument("distance cap outside 1..255");
    fine_.assign(static_cast<std::size_t>(Lattice::kSide) * Lattice::kSide,
                 static_cast<std::uint8_t>(fineCap_));
    coarse_.assign(static_cast<std::size_t>(kBlocksPerAxis) * kBlocksPerAxis,
                   static_cast<std::uint8_t>(cap_));

    const int side = 2 * fineCap_ + 1;
    fineStamp_.resize(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
    for (int dy = -fineCap_; dy <= fineCap_; ++dy) {
        for (int dx = -fineCap_; dx <= fineCap_; ++dx) {
            int d = fineCap_;
            for (const Step n : kSteps)
                d = std::min(d, std::max(std::abs(dx - n.dx), std::abs(dy - n.dy)));
            fineStamp_[static_cast<std::size_t>((dy + fineCap_) * side + (dx + fineCap_))] =
                static_cast<std::uint8_t>(d);
        }
    }

    // For the cell at (ox, oy) inside its block, the block (i, j) blocks away spans offsets
    // i kBlock - ox .. i kBlock - ox + kBlock - 1 across (and alike down) from the cell.
    const int reach = coarseReach_;
    const int blocks = 2 * reach + 1;
    coarseStamp_.resize(static_cast<std::size_t>(kBlock * kBlock * blocks * blocks));
    std::size_t out = 0;
    for (int oy = 0; oy < kBlock; ++oy) {
        for (int ox = 0; ox < kBlock; ++ox) {
            for (int j = -reach; j <= reach; ++j) {
                for (int i = -reach; i <= reach; ++i) {
                    const int low = i * kBlock - ox, bottom = j * kBlock - oy;
                    int d = cap_;
                    for (const Step n : kSteps) {
                        d = std::min(d, std::max(gap(n.dx, low, low + kBlock - 1),
                                                 gap(n.dy, bottom, bottom + kBlock - 1)));
                    }
                    coarseStamp_[out++] = static_cast<std::uint8_t>(d);
                }
            }
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
    stampFine(x, y);
    stampCoarse(x, y);
}

void DistanceMap::stampFine(int x, int y) {
    const int reach = fineCap_;
    const int low = std::max(x - reach, -kExtent), high = std::min(x + reach, kExtent);
    const int bottom = std::max(y - reach, -kExtent), top = std::min(y + reach, kExtent);
    const auto side = static_cast<std::size_t>(2 * reach + 1);
    const auto width = static_cast<std::size_t>(high - low + 1);
    for (int row = bottom; row <= top; ++row) {
        std::uint8_t* dst = fine_.data() + cellIndex(low, row);
        const std::uint8_t* src = fineStamp_.data() +
                                  static_cast<std::size_t>(row - y + reach) * side +
                                  static_cast<std::size_t>(low - x + reach);
        for (std::size_t i = 0; i < width; ++i) dst[i] = std::min(dst[i], src[i]);
    }
    widenDirty(low, high, bottom, top);
}

void DistanceMap::stampCoarse(int x, int y) {
    const int reach = coarseReach_;
    const int bx = (x + kExtent) >> kBlockShift, by = (y + kExtent) >> kBlockShift;
    const int ox = (x + kExtent) & (kBlock - 1), oy = (y + kExtent) & (kBlock - 1);
    const auto blocks = static_cast<std::size_t>(2 * reach + 1);
    const std::uint8_t* stamp =
        coarseStamp_.data() + static_cast<std::size_t>(oy * kBlock + ox) * blocks * blocks;
    const int low = std::max(bx - reach, 0), high = std::min(bx + reach, kBlocksPerAxis - 1);
    const int bottom = std::max(by - reach, 0), top = std::min(by + reach, kBlocksPerAxis - 1);
    const auto width = static_cast<std::size_t>(high - low + 1);
    for (int row = bottom; row <= top; ++row) {
        std::uint8_t* dst = coarse_.data() + static_cast<std::size_t>(row * kBlocksPerAxis + low);
        const std::uint8_t* src = stamp + static_cast<std::size_t>(row - by + reach) * blocks +
                                  static_cast<std::size_t>(low - bx + reach);
        for (std::size_t i = 0; i < width; ++i) dst[i] = std::min(dst[i], src[i]);
    }
}

void DistanceMap::rebuild(const Lattice& lattice) {
    if (!dirty_.empty()) {
        const auto width = static_cast<std::size_t>(dirty_.high - dirty_.low + 1);
        for (int row = dirty_.bottom; row <= dirty_.top; ++row) {
            std::fill_n(fine_.data() + cellIndex(dirty_.low, row), width,
                        static_cast<std::uint8_t>(fineCap_));
        }
        dirty_ = Box{};
    }
    std::fill(coarse_.begin(), coarse_.end(), static_cast<std::uint8_t>(cap_));
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

    // Only cells within cap - 1 of that box can be below cap. The distances up to cap are
    // worked out in the fine layer first, to fill the coarse one; then the fine one is capped.
    const int low = std::max(near.low - (cap_ - 1), -kExtent),
              high = std::min(near.high + (cap_ - 1), kExtent);
    const int bottom = std::max(near.bottom - (cap_ - 1), -kExtent),
              top = std::min(near.top + (cap_ - 1), kExtent);
    widenDirty(low, high, bottom, top);
    const auto cap = static_cast<std::uint8_t>(cap_);
    for (int row = bottom; row <= top; ++row) {
        for (int col = low; col <= high; ++col) {
            const std::size_t i = cellIndex(col, row);
            fine_[i] = (flags[i] & Lattice::Near) ? std::uint8_t{0} : cap;
        }
    }
    // The two raster passes of the chessboard distance transform, exact for this metric: each
    // cell takes one more than the least of the four neighbours already swept.
    const auto stride = static_cast<std::size_t>(Lattice::kStride);
    auto relax = [&](std::size_t i, std::size_t j) {
        const int through = fine_[j] + 1;
        if (through < fine_[i]) fine_[i] = static_cast<std::uint8_t>(through);
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
    const auto fineCap = static_cast<std::uint8_t>(fineCap_);
    for (int row = bottom; row <= top; ++row) {
        for (int col = low; col <= high; ++col) {
            std::uint8_t& f = fine_[cellIndex(col, row)];
            std::uint8_t& c = coarse_[blockIndex(col, row)];
            c = std::min(c, f);
            f = std::min(f, fineCap);
        }
    }
}

}  // namespace dla

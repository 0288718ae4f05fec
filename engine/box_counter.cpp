#include "box_counter.h"

#include <algorithm>
#include <cstring>

namespace dla {

BoxCounter::BoxCounter(const Lattice& lattice, int low, int high) {
    const int reach = std::min(lattice.occupiedReach(), Lattice::kExtent);
    low_ = std::max(low, -reach);
    high_ = std::min(high, reach);
    if (high_ < low_) high_ = low_ - 1;
    cells_ = static_cast<std::uint32_t>(high_ - low_ + 1);
    words_ = (cells_ + 63) / 64;
    width_ = cells_ + std::size_t{1};
    // Every entry is written below: the first row and column are zero, the rest sums.
    sums_.reset(new std::uint32_t[width_ * width_]);
    std::fill_n(sums_.get(), width_, 0u);
    bits_.assign(std::max<std::size_t>(std::size_t{words_} * cells_, 1), 0);
    // A row at a time: the occupied flags as 0/1 bytes (padded to whole words), packed into bits
    // eight bytes at a time, their running count, and the sums, each pass simple enough for the
    // compiler to vectorise where it can.
    std::vector<std::uint8_t> row(std::size_t{words_} * 64, 0);
    std::vector<std::uint32_t> running(std::size_t{words_} * 64);
    for (std::uint32_t dy = 0; dy < cells_; ++dy) {
        const std::uint8_t* flags =
            lattice.flags() + Lattice::index(low_, low_ + static_cast<int>(dy));
        for (std::uint32_t dx = 0; dx < cells_; ++dx) row[dx] = flags[dx] & Lattice::Occupied;

        std::uint64_t* bits = bits_.data() + static_cast<std::size_t>(dy) * words_;
        for (std::uint32_t w = 0; w < words_; ++w) {
            std::uint64_t word = 0;
            for (std::uint32_t byte = 0; byte < 8; ++byte) {
                std::uint64_t eight;
                std::memcpy(&eight, row.data() + 64 * w + 8 * byte, 8);
                // Bytes of 0 or 1: the product gathers byte i into bit 56 + i, without carries.
                word |= ((eight * 0x0102040810204080ULL) >> 56) << (8 * byte);
            }
            bits[w] = word;
        }

        // Running counts eight cells at a time: for bytes of 0 or 1 the product holds in byte i
        // the sum of bytes 0..i, so the chain of additions goes by eights, not by ones.
        std::uint32_t count = 0;
        for (std::uint32_t dx = 0; dx < cells_; dx += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, row.data() + dx, 8);
            const std::uint64_t sums8 = eight * 0x0101010101010101ULL;
            for (std::uint32_t i = 0; i < 8; ++i)
                running[dx + i] = count + static_cast<std::uint32_t>((sums8 >> (8 * i)) & 0xff);
            count += static_cast<std::uint32_t>(sums8 >> 56);
        }
        std::uint32_t* sums = sums_.get() + (dy + std::size_t{1}) * width_;
        const std::uint32_t* above = sums - width_;
        sums[0] = 0;
        for (std::uint32_t dx = 0; dx < cells_; ++dx) sums[dx + 1] = above[dx + 1] + running[dx];
    }
}

std::int64_t BoxCounter::prefix(int x, int y) const {
    x = std::clamp(x, low_, high_ + 1);
    y = std::clamp(y, low_, high_ + 1);
    return sums_[static_cast<std::size_t>(y - low_) * width_ + static_cast<std::size_t>(x - low_)];
}

std::int64_t BoxCounter::count(int x0, int y0, int side) const {
    const int x1 = x0 + side;
    const int y1 = y0 + side;
    return prefix(x1, y1) - prefix(x0, y1) - prefix(x1, y0) + prefix(x0, y0);
}

}  // namespace dla

#include "estimate/box_counter.h"

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
    bits_.assign(std::max<std::size_t>(std::size_t{words_} * cells_, 1), 0);
    // Every entry is written in build(): the first row and column are zero, the rest sums.
    if (lattice.occupiedCount() < (std::int64_t{1} << 16)) {
        narrowSums_.reset(new std::uint16_t[width_ * width_]);
        build(lattice, narrowSums_.get());
    } else {
        sums_.reset(new std::uint32_t[width_ * width_]);
        build(lattice, sums_.get());
    }
}

template <class Sum>
void BoxCounter::build(const Lattice& lattice, Sum* table) {
    std::fill_n(table, width_, Sum{0});
    // A row at a time: the occupied flags as 0/1 bytes (padded to whole words), packed into bits
    // eight bytes at a time, their running count, and the sums, each pass simple enough for the
    // compiler to vectorise where it can.
    std::vector<std::uint8_t> row(std::size_t{words_} * 64, 0);
    std::vector<Sum> running(std::size_t{words_} * 64);
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
        // the sum of bytes 0..i, so the chain of additions goes by eights, not by ones. (Narrow
        // sums wrap around as the table's do.)
        Sum count = 0;
        for (std::uint32_t dx = 0; dx < cells_; dx += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, row.data() + dx, 8);
            const std::uint64_t sums8 = eight * 0x0101010101010101ULL;
            for (std::uint32_t i = 0; i < 8; ++i)
                running[dx + i] = static_cast<Sum>(count + ((sums8 >> (8 * i)) & 0xff));
            count = static_cast<Sum>(count + (sums8 >> 56));
        }
        Sum* sums = table + (dy + std::size_t{1}) * width_;
        const Sum* above = sums - width_;
        sums[0] = 0;
        for (std::uint32_t dx = 0; dx < cells_; ++dx)
            sums[dx + 1] = static_cast<Sum>(above[dx + 1] + running[dx]);
    }
}

std::size_t BoxCounter::at(int x, int y) const {
    x = std::clamp(x, low_, high_ + 1);
    y = std::clamp(y, low_, high_ + 1);
    return static_cast<std::size_t>(y - low_) * width_ + static_cast<std::size_t>(x - low_);
}

std::int64_t BoxCounter::count(int x0, int y0, int side) const {
    const std::size_t a = at(x0, y0), b = at(x0 + side, y0), c = at(x0, y0 + side),
                      d = at(x0 + side, y0 + side);
    if (narrowSums_) {
        const std::uint16_t* s = narrowSums_.get();
        return static_cast<std::uint16_t>(s[d] - s[c] - s[b] + s[a]);
    }
    const std::uint32_t* s = sums_.get();
    return std::int64_t{s[d]} - s[c] - s[b] + s[a];
}

}  // namespace dla

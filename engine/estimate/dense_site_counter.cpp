#include "estimate/dense_site_counter.h"

namespace dla {

void DenseSiteCounter::sumRows() {
    const std::size_t stride = width_ + 1;
    sums_.assign(stride * (height_ + 1), 0);
    for (std::size_t dy = 0; dy < height_; ++dy) {
        const std::uint64_t* row = bits_.data() + dy * words_;
        const std::uint32_t* above = sums_.data() + dy * stride;
        std::uint32_t* sums = sums_.data() + (dy + 1) * stride;
        std::uint32_t running = 0;
        for (std::size_t dx = 0; dx < width_; ++dx) {
            running += static_cast<std::uint32_t>((row[dx / 64] >> (dx % 64)) & 1);
            sums[dx + 1] = above[dx + 1] + running;
        }
    }
}

}  // namespace dla

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dla {

/// The disc x^2 + y^2 <= S inside which a walker lives, and how far a square around a walker
/// may reach before its far corner leaves it.
///
/// For a, b >= 0, (a + k)^2 + (b + k)^2 <= S is (2k + a + b)^2 <= 2S - (a - b)^2: the largest
/// such k is floor((q - a - b) / 2) with q the integer square root of 2S - (a - b)^2. The roots
/// depend on |a - b| alone, so they are kept in a table, which turns the walker's test of its
/// corner into one read and a subtraction, where a square root would sit on its critical path.
class KillDisc {
  public:
    /// The table stops at this many roots (1 MiB); a disc wider than that (a kill radius beyond
    /// about 2^17.5) takes the rest from a square root.
    static constexpr std::size_t kLargestTable = std::size_t{1} << 18;

    /// S in 0..2^50 (a kill radius up to 2^25).
    explicit KillDisc(std::int64_t square = 0);

    std::int64_t square() const { return square_; }
    bool outside(std::int32_t x, std::int32_t y) const {
        return std::int64_t{x} * x + std::int64_t{y} * y > square_;
    }

    /// The largest k >= 0 with (a + k)^2 + (b + k)^2 <= S, for a, b >= 0 and (a, b) inside.
    std::int64_t cornerReach(std::int64_t a, std::int64_t b) const {
        const auto d = static_cast<std::size_t>(a > b ? a - b : b - a);
        const std::int64_t q = d < roots_.size() ? roots_[d] : rootBeyondTable(d);
        return (q - (a + b)) >> 1;
    }

  private:
    std::int64_t rootBeyondTable(std::size_t d) const;

    std::int64_t square_;
    std::vector<std::int32_t> roots_;  ///< floor(sqrt(2S - d^2)), d = 0, 1, ...
};

}  // namespace dla

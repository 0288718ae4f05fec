#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "random/generators.h"

/// Exits of squares of every size a walker far from the aggregate can cross in one move.
namespace dla {

/// A displacement from the centre of a square to a cell of its border.
struct Jump {
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    friend constexpr bool operator==(Jump, Jump) = default;
};

/// The half-sides m of the squares a walker may jump across and the exact first-passage law of
/// each: every m from 2 to kDense, then four rungs an octave (the values of m with all but their
/// three leading bits zero: 64, 80, 96, 112, 128, 160, ...), ratio at most 1.25, up to
/// kLargest. A walker that may cross any square up to m takes the rung rungOf(m), the largest not
/// above m.
///
/// Each rung is sampled with one deviate by the square's eightfold symmetry: three bits of it
/// choose the side (x = m, x = -m, y = m, y = -m) and the sign of j, the rest choose |j| in
/// 0..m - 1 through an alias table (Walker's method, Vose's construction) over the folded law
/// 4 P(0), 8 P(1), ..., 8 P(m - 1) of truncatedSideLaw(). A table holds m entries, not 8m - 4.
///
/// Rungs are built on demand (extendTo()), so that a small aggregate does not pay for the
/// tables of a large one.
class ExitLadder {
  public:
    static constexpr int kDense = 64;
    static constexpr int kDenseBits = 6;
    static constexpr int kLargest = 1 << 17;

    /// Rungs up to rungOf(min(reach, kLargest)); `reach` >= 2.
    explicit ExitLadder(int reach = kDense);

    /// Builds the missing rungs up to rungOf(min(reach, kLargest)).
    void extendTo(int reach);
    /// The rung of the largest half-side <= m, m in 2..kLargest; built or not.
    static int rungOf(int m) {
        if (m < kDense) return m - 2;
        const int octave = static_cast<int>(std::bit_width(static_cast<unsigned>(m))) - 1;
        const int lead = m >> (octave - 2);  // the three leading bits, 4..7
        return kDense - 2 + 4 * (octave - kDenseBits) + (lead - 4);
    }
    /// The half-side of a rung.
    static int halfSide(int rung);

    /// The exit cell of the square of the built rung rungOf(m) for the deviate u = t 2^-53, given
    /// as its ticks t < 2^53. A u uniform on the multiples of 2^-53 in [0, 1), as the random
    /// source gives them, gives each border cell with its probability to within 2^-47 of an
    /// alias slot: the coin is drawn in exact integers from the 50 bits of u below the three that
    /// choose the octant. The rung's half-side, halfSide(rungOf(m)), is m below kDense and m's
    /// three leading bits from there on (as rungOf() reads them); it is worked out from m rather
    /// than read, so that the draw's product does not wait on the rung's entry.
    Jump sampleSquare(int m, std::uint64_t bits) const {
        const int low = static_cast<int>(std::bit_width(static_cast<unsigned>(m))) - 3;
        const auto half = static_cast<std::uint32_t>(m < kDense ? m : m >> low << low);
        return sampleRung({half, rungs_[static_cast<std::size_t>(rungOf(m))].first}, bits);
    }

  private:
    struct Rung {
        std::uint32_t m = 0;
        std::uint32_t first = 0;  ///< first entry
    };

    Jump sampleRung(Rung r, std::uint64_t bits) const {
        const unsigned octant = static_cast<unsigned>(bits >> 50) & 7u;
        const Scaled scaled = scale(bits & kLow50, r.m);
        const std::uint32_t i = scaled.whole;
        const std::uint64_t e = entries_[r.first + i];
        const std::uint64_t coin = scaled.fraction >> (50 - kKeepBits);
        const auto j = static_cast<std::int32_t>(coin < (e >> kAliasBits) ? i : e & kAliasMask);
        const auto m = static_cast<std::int32_t>(r.m);
        const std::int32_t along = (octant & 1) ? -j : j;
        const std::int32_t across = (octant & 2) ? -m : m;
        return (octant & 4) ? Jump{along, across} : Jump{across, along};
    }

  public:
    static constexpr std::uint64_t kLow50 = (std::uint64_t{1} << 50) - 1;

    /// x m for x < 2^50 and m < 2^32 (a product below 2^82): its bits from 50 up, and its low
    /// 50 bits.
    struct Scaled {
        std::uint32_t whole;
        std::uint64_t fraction;
    };
    static Scaled scale(std::uint64_t x, std::uint32_t m) {
#if defined(__SIZEOF_INT128__) && !defined(__wasm__)
        __extension__ using Wide = unsigned __int128;
        const Wide product = static_cast<Wide>(x) * m;
        return {static_cast<std::uint32_t>(product >> 50),
                static_cast<std::uint64_t>(product) & kLow50};
#else
        return scaleInHalves(x, m);
#endif
    }
    /// The same without 128-bit integers, which WebAssembly lacks (the library's product costs
    /// more there than the rest of the draw): two 64-bit products of x's 25-bit halves, each
    /// below 2^57, summed exactly.
    static constexpr Scaled scaleInHalves(std::uint64_t x, std::uint32_t m) {
        constexpr std::uint64_t kLow25 = (std::uint64_t{1} << 25) - 1;
        const std::uint64_t high = (x >> 25) * m;
        const std::uint64_t low = ((high & kLow25) << 25) + (x & kLow25) * m;
        return {static_cast<std::uint32_t>((high >> 25) + (low >> 50)), low & kLow50};
    }

  private:
    // An alias entry in one word: the threshold below which the coin keeps the entry's own |j|
    // (kKeepBits), then the other |j| (kAliasBits, enough for kLargest).
    static constexpr int kAliasBits = 17;
    static constexpr int kKeepBits = 64 - kAliasBits;
    static constexpr std::uint64_t kAliasMask = (std::uint64_t{1} << kAliasBits) - 1;
    void addRung(int m);

    std::vector<Rung> rungs_;
    std::vector<std::uint64_t> entries_;
};

}  // namespace dla

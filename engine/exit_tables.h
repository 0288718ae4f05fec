#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// Where a simple random walk on the square lattice first leaves a square around its start.
namespace dla {

/// A displacement from the centre of a square to a cell of its border.
struct ExitCell {
    std::int16_t dx = 0;
    std::int16_t dy = 0;
    friend constexpr bool operator==(ExitCell, ExitCell) = default;
};

/// The exit law of the square of half-side m, for every m from 2 to largest():
///
/// A walker at the centre c that takes unit steps in the four axis directions, each with
/// probability 1/4, first reaches Chebyshev distance m from c on a border cell (m, j), (-m, j),
/// (j, m) or (j, -m) with |j| <= m - 1 (the four corners can only be reached through the border,
/// so they never come first). By symmetry each side is reached with probability 1/4 and the law
/// along a side is even in j (exactSideLaw() gives one side, cellProbability() every cell).
///
/// The probabilities come from the discrete sine series of the lattice-harmonic function with a
/// unit value at the exit cell:
///
///     P(m, j) = 1/(2m) * sum over odd l < 2m of cos(l pi j / (2m)) / cosh(m a_l),
///     cosh a_l = 2 - cos(l pi / (2m)),
///
/// whose terms fall off like exp(-m a_l), so a sum of at most m terms gives every probability to
/// a few units in the last place of double precision (about 1e-17 absolute).
///
/// Each square is sampled with one deviate through an alias table over its 8m - 4 border cells
/// (Walker's method, built with Vose's stable algorithm), so a draw costs one multiplication, one
/// table read and one comparison whatever m is.
class ExitTables {
  public:
    /// The largest half-side of the default tables. Larger squares make jumps far from the
    /// aggregate longer but the tables and the distance map's update after each stuck particle
    /// dearer; 64 measured best for whole runs (96 about as good, 48 and 128 worse).
    static constexpr int kLargest = 64;

    /// The exact exit law for m = 2..largest. `largest` in 1..255; 1 gives no table at all (a
    /// walker then only ever takes single steps).
    explicit ExitTables(int largest = kLargest);

    /// The default tables (largest() == kLargest), built on first use, once per process;
    /// thread-safe.
    static const ExitTables& shared();

    int largest() const { return largest_; }

    /// Number of border cells that a jump of half-side m can land on: 8m - 4.
    static constexpr int borderCells(int m) { return 8 * m - 4; }

    /// The exit cell for the deviate u in [0, 1), m in 2..largest(). A u uniform on [0, 1) gives
    /// each cell with its probability.
    ExitCell sample(int m, double u) const {
        const Square& sq = squares_[static_cast<std::size_t>(m)];
        const double t = u * sq.cells;
        auto i = static_cast<std::size_t>(t);
        // u * cells can round up to cells for u just below 1.
        if (i >= sq.count) i = sq.count - 1;
        const AliasEntry& e = alias_[sq.first + i];
        // A select on whole words rather than a branch: the comparison is a coin toss.
        const std::uint32_t pick = (t - static_cast<double>(i) < e.keep) ? e.ownBits : e.otherBits;
        return unpack(pick);
    }

    /// The border cell number `k` in 0..borderCells(m) - 1 of the square of half-side m: sides
    /// x = m, x = -m, y = m, y = -m in turn, j rising along each.
    static ExitCell borderCell(int m, int k);

  private:
    struct AliasEntry {
        double keep;              ///< take `own` when the fractional part is below this
        std::uint32_t ownBits;    ///< pack(own cell)
        std::uint32_t otherBits;  ///< pack(alias cell)
    };
    static std::uint32_t pack(ExitCell c) {
        return static_cast<std::uint32_t>(static_cast<std::uint16_t>(c.dx)) |
               (static_cast<std::uint32_t>(static_cast<std::uint16_t>(c.dy)) << 16);
    }
    static ExitCell unpack(std::uint32_t bits) {
        return {static_cast<std::int16_t>(static_cast<std::uint16_t>(bits & 0xFFFFu)),
                static_cast<std::int16_t>(static_cast<std::uint16_t>(bits >> 16))};
    }
    struct Square {
        std::size_t first = 0;  ///< first alias entry
        std::size_t count = 0;  ///< border cells
        double cells = 0.0;     ///< count as a double
    };

    /// The alias table of the square of half-side m from its border law (in the order of
    /// borderCell(), 8m - 4 probabilities summing to 1 up to round-off).
    void addSquare(int m, const std::vector<double>& law);

    int largest_ = 1;
    std::vector<Square> squares_;
    std::vector<AliasEntry> alias_;
};

/// The exact side law of the square of half-side m >= 2 by the sine series: 2m - 1 values,
/// j = -(m - 1)..m - 1, summing to 1/4 up to round-off.
std::vector<double> exactSideLaw(int m);

/// The side law of the square of half-side m >= 2 for j = 0..m - 1 (it is even in j) by the same
/// series with its negligible terms left out. The terms are 1/cosh(m a_l) times a cosine, and a_l
/// rises with l, so once one weight 1/cosh(m a_l) is below 2e-17 the at most m terms from there
/// on change a probability (which carries a factor 1/(2m)) by less than 1e-17 in absolute value.
/// About 13 terms remain at any m, so a side costs O(m) instead of O(m^2).
std::vector<double> truncatedSideLaw(int m);

}  // namespace dla

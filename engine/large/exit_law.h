#pragma once

#include <vector>

/// Where a simple random walk on the square lattice first leaves a square around its start.
namespace dla {

/// The exit law of the square of half-side m:
///
/// A walker at the centre c that takes unit steps in the four axis directions, each with
/// probability 1/4, first reaches Chebyshev distance m from c on a border cell (m, j), (-m, j),
/// (j, m) or (j, -m) with |j| <= m - 1 (the four corners can only be reached through the border,
/// so they never come first). By symmetry each side is reached with probability 1/4 and the law
/// along a side is even in j (exactSideLaw() gives one side).
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

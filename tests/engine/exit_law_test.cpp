#include "large/exit_law.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <vector>

#include "large/exit_ladder.h"
#include "window/lattice.h"

namespace dla {
namespace {

// The exit law by another route: the walk's probability mass moved from the centre one step at
// a time, each cell handing a quarter to each neighbour, until less than 1e-20 is left inside;
// what reaches (m, j) is the chance of leaving there.
std::vector<double> propagatedSideLaw(int m) {
    const int w = 2 * m + 1;
    std::vector<long double> mass(static_cast<std::size_t>(w * w)), next(mass.size()),
        exits(mass.size());
    const auto at = [&](int x, int y) { return static_cast<std::size_t>((y + m) * w + x + m); };
    mass[at(0, 0)] = 1;
    for (long double inside = 1; inside > 1e-20L;) {
        std::fill(next.begin(), next.end(), 0);
        for (int y = 1 - m; y < m; ++y)
            for (int x = 1 - m; x < m; ++x)
                for (const Step s : kSteps)
                    (std::abs(x + s.dx) < m && std::abs(y + s.dy) < m
                         ? next
                         : exits)[at(x + s.dx, y + s.dy)] += mass[at(x, y)] / 4;
        mass.swap(next);
        inside = std::accumulate(mass.begin(), mass.end(), 0.0L);
    }
    std::vector<double> side;
    for (int j = 1 - m; j < m; ++j) side.push_back(static_cast<double>(exits[at(m, j)]));
    return side;
}

// The series against the propagated walk for small squares, and the ladder's truncated series
// (half a side, by symmetry) against the whole one up to 2500: the terms left out and the
// rounding together stay below 2e-17.
TEST(ExitLawTest, SeriesAgreeWithThePropagatedWalkAndEachOther) {
    for (const int m : {2, 3, 5, 8, 12}) {
        const std::vector<double> series = exactSideLaw(m), walked = propagatedSideLaw(m);
        for (std::size_t i = 0; i < series.size(); ++i)
            EXPECT_NEAR(series[i], walked[i], 1e-15) << m << ", " << i;
    }
    EXPECT_THROW(exactSideLaw(1), std::invalid_argument);
    for (int m : {2, 3, 5, 24, 64, 500, 2500}) {
        const std::vector<double> law = truncatedSideLaw(m), exact = exactSideLaw(m);
        ASSERT_EQ(law.size(), static_cast<std::size_t>(m));
        double sum = -law[0];
        for (std::size_t j = 0; j < law.size(); ++j) {
            EXPECT_NEAR(law[j], exact[static_cast<std::size_t>(m - 1) + j], 2e-17) << m << " " << j;
            sum += 2.0 * law[j];
        }
        EXPECT_NEAR(sum, 0.25, 1e-15);
    }
}

// Deviates spread evenly over [0, 1) land on each of the 8m - 4 border cells (no corner) in
// proportion to its exact probability, to within the spacing of the deviates; the largest
// deviate below 1 still lands on the border.
TEST(ExitLawTest, LadderSpreadsEvenDeviatesOverTheBorderByTheExactLaw) {
    const ExitLadder ladder(1024);
    constexpr int kDeviates = 1 << 23;
    for (const int m : {2, 7, 64, 160, 1024}) {
        const std::vector<double> side = truncatedSideLaw(m);
        std::map<std::pair<int, int>, double> count;
        for (int i = 0; i <= kDeviates; ++i) {
            const Jump c = ladder.sampleSquare(
                m, toTicks(i < kDeviates ? (i + 0.5) / kDeviates : std::nextafter(1.0, 0.0)));
            ASSERT_EQ(std::max(std::abs(c.dx), std::abs(c.dy)), m);
            ASSERT_LT(std::min(std::abs(c.dx), std::abs(c.dy)), m);
            count[{c.dx, c.dy}] += i < kDeviates;
        }
        EXPECT_EQ(count.size(), static_cast<std::size_t>(8 * m - 4));
        for (const auto& [cell, n] : count) {
            const int j = std::min(std::abs(cell.first), std::abs(cell.second));
            EXPECT_NEAR(n / kDeviates, side[static_cast<std::size_t>(j)], 16.0 / kDeviates)
                << "m " << m << " cell " << cell.first << ", " << cell.second;
        }
    }
    // Named by the largest half-side it may cross, a square is its rung's.
    for (int m = 2; m <= 1024; ++m) {
        const int rung = ExitLadder::halfSide(ExitLadder::rungOf(m));
        for (const std::uint64_t t : {0ULL, 0x1234567890ABCULL, (1ULL << 53) - 1})
            ASSERT_EQ(ladder.sampleSquare(m, t), ladder.sampleSquare(rung, t)) << m;
    }
    // The product without 128-bit integers, which the page's build draws with, is the product.
    std::uint64_t x = 0x9E3779B97F4A7C15ULL;
    for (int k = 0; k < 100000; ++k) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        const std::uint64_t t = k < 2 ? ExitLadder::kLow50 * static_cast<std::uint64_t>(k) : x;
        const auto m = static_cast<std::uint32_t>(k < 2 ? 0xFFFFFFFFu : x >> 32);
        const ExitLadder::Scaled wide = ExitLadder::scale(t & ExitLadder::kLow50, m),
                                 halves = ExitLadder::scaleInHalves(t & ExitLadder::kLow50, m);
        ASSERT_EQ(halves.whole, wide.whole) << t << " " << m;
        ASSERT_EQ(halves.fraction, wide.fraction) << t << " " << m;
    }
}

}  // namespace
}  // namespace dla

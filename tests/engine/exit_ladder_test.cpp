#include "exit_ladder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <vector>

#include "exit_tables.h"

namespace dla {
namespace {

// The truncated series against the whole one (which exit_tables_test checks against a direct
// solve): the terms left out and the rounding together stay below 2e-17.
TEST(ExitLadderTest, TruncatedLawIsTheExactLaw) {
    for (int m : {2, 3, 5, 24, 64, 500, 2500}) {
        const std::vector<double> law = truncatedSideLaw(m);
        const std::vector<double> exact = exactSideLaw(m);
        ASSERT_EQ(law.size(), static_cast<std::size_t>(m));
        double sum = -law[0];
        for (int j = 0; j < m; ++j) {
            EXPECT_NEAR(law[static_cast<std::size_t>(j)],
                        exact[static_cast<std::size_t>(m - 1 + j)], 2e-17)
                << "m " << m << " j " << j;
            sum += 2.0 * law[static_cast<std::size_t>(j)];
        }
        EXPECT_NEAR(sum, 0.25, 1e-15);
    }
}

// The rung of m is the largest half-side on the ladder not above m; the ladder is dense to 64
// and never widens by more than a quarter.
TEST(ExitLadderTest, RungOfIsTheLargestRungNotAbove) {
    for (int m = 2; m <= ExitLadder::kLargest; ++m) {
        const int rung = ExitLadder::rungOf(m);
        ASSERT_TRUE(ExitLadder::halfSide(rung) == m || (m > 64 && ExitLadder::halfSide(rung) < m));
        ASSERT_GT(ExitLadder::halfSide(rung + 1), m);
        ASSERT_LE(ExitLadder::halfSide(rung + 1), ExitLadder::halfSide(rung) * 5 / 4 + 1);
    }
}

// Deviates spread evenly over [0, 1) land on each border cell in proportion to its exact
// probability, to within the spacing of the deviates, and never off the border.
TEST(ExitLadderTest, SampleSpreadsEvenDeviatesOverTheBorderByTheExactLaw) {
    ExitLadder ladder(1024);
    EXPECT_EQ(ladder.top(), 1024);
    constexpr int kDeviates = 1 << 23;
    for (int m : {2, 7, 64, 160, 1024}) {
        std::map<std::pair<int, int>, double> count;
        for (int i = 0; i < kDeviates; ++i) {
            const Jump c = ladder.sample(ExitLadder::rungOf(m), (i + 0.5) / kDeviates);
            ASSERT_EQ(std::max(std::abs(c.dx), std::abs(c.dy)), m);
            ASSERT_LT(std::min(std::abs(c.dx), std::abs(c.dy)), m);
            count[{c.dx, c.dy}] += 1.0;
        }
        const std::vector<double> side = truncatedSideLaw(m);
        for (const auto& [cell, n] : count) {
            const int j = std::min(std::abs(cell.first), std::abs(cell.second));
            EXPECT_NEAR(n / kDeviates, side[static_cast<std::size_t>(j)], 16.0 / kDeviates)
                << "m " << m << " cell " << cell.first << ", " << cell.second;
        }
        EXPECT_EQ(count.size(), static_cast<std::size_t>(8 * m - 4));
        const Jump last = ladder.sample(ExitLadder::rungOf(m), std::nextafter(1.0, 0.0));
        EXPECT_EQ(std::max(std::abs(last.dx), std::abs(last.dy)), m);
    }
}

}  // namespace
}  // namespace dla

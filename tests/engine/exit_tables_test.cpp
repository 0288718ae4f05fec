#include "exit_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>

#include "lattice.h"

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

TEST(ExitTablesTest, SeriesAgreesWithThePropagatedWalk) {
    for (const int m : {2, 3, 5, 8, 12}) {
        const std::vector<double> series = exactSideLaw(m), walked = propagatedSideLaw(m);
        for (std::size_t i = 0; i < series.size(); ++i)
            EXPECT_NEAR(series[i], walked[i], 1e-15) << m << ", " << i;
    }
    EXPECT_THROW(exactSideLaw(1), std::invalid_argument);
}

// Deviates spread evenly over [0, 1) land on the 8m - 4 border cells (no corner) in proportion to
// the law, to within the spacing of the deviates; the largest deviate below 1 still lands.
TEST(ExitTablesTest, SampleMapsEvenlySpreadDeviatesOntoTheLaw) {
    constexpr int kDeviates = 1 << 20;
    for (const int m : {2, 7, 64}) {
        const std::vector<double> side = exactSideLaw(m);
        std::map<std::pair<int, int>, int> count;
        for (int i = 0; i <= kDeviates; ++i) {
            const ExitCell c = ExitTables::shared().sample(
                m, i < kDeviates ? (i + 0.5) / kDeviates : std::nextafter(1.0, 0.0));
            count[{c.dx, c.dy}] += i < kDeviates;
        }
        EXPECT_EQ(count.size(), static_cast<std::size_t>(8 * m - 4));
        for (const auto& [cell, n] : count) {
            const auto [x, y] = cell;
            ASSERT_EQ(std::max(std::abs(x), std::abs(y)), m);
            const int j = std::abs(x) == m ? y : x;
            ASSERT_LT(std::abs(j), m);
            EXPECT_NEAR(n / double(kDeviates), side[static_cast<std::size_t>(j + m - 1)],
                        2.0 * (8 * m - 4) / kDeviates);
        }
    }
}

}  // namespace
}  // namespace dla

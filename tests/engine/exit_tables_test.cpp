#include "exit_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "generators.h"
#include "walk_statistics.h"

namespace dla {
namespace {

// The exit law by an independent route: G = (I - P)^-1 e_0 on the (2m - 1)^2 interior cells by
// Gaussian elimination, and P(exit at (m, j)) = G(m - 1, j) / 4, the chance of being at the
// border's inner neighbour times that of the one step out.
std::vector<double> solvedSideLaw(int m) {
    const int w = 2 * m - 1;
    const int n = w * w;
    auto cell = [&](int x, int y) { return (y + m - 1) * w + (x + m - 1); };
    std::vector<double> a(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0.0);
    std::vector<double> b(static_cast<std::size_t>(n), 0.0);
    auto at = [&](int r, int c) -> double& {
        return a[static_cast<std::size_t>(r) * static_cast<std::size_t>(n) +
                 static_cast<std::size_t>(c)];
    };
    for (int y = -(m - 1); y <= m - 1; ++y) {
        for (int x = -(m - 1); x <= m - 1; ++x) {
            const int r = cell(x, y);
            at(r, r) = 1.0;
            const int nx[4] = {x + 1, x - 1, x, x};
            const int ny[4] = {y, y, y + 1, y - 1};
            for (int k = 0; k < 4; ++k) {
                if (std::abs(nx[k]) < m && std::abs(ny[k]) < m) at(r, cell(nx[k], ny[k])) -= 0.25;
            }
        }
    }
    b[static_cast<std::size_t>(cell(0, 0))] = 1.0;
    for (int p = 0; p < n; ++p) {  // the matrix is diagonally dominant: no pivoting needed
        for (int r = p + 1; r < n; ++r) {
            const double f = at(r, p) / at(p, p);
            if (f == 0.0) continue;
            for (int c = p; c < n; ++c) at(r, c) -= f * at(p, c);
            b[static_cast<std::size_t>(r)] -= f * b[static_cast<std::size_t>(p)];
        }
    }
    std::vector<double> g(static_cast<std::size_t>(n));
    for (int r = n - 1; r >= 0; --r) {
        double s = b[static_cast<std::size_t>(r)];
        for (int c = r + 1; c < n; ++c) s -= at(r, c) * g[static_cast<std::size_t>(c)];
        g[static_cast<std::size_t>(r)] = s / at(r, r);
    }
    std::vector<double> law;
    for (int j = -(m - 1); j <= m - 1; ++j)
        law.push_back(g[static_cast<std::size_t>(cell(m - 1, j))] / 4.0);
    return law;
}

class ExactLaw : public ::testing::TestWithParam<int> {};

TEST_P(ExactLaw, SeriesAgreesWithADirectSolve) {
    const int m = GetParam();
    const std::vector<double> series = exactSideLaw(m);
    const std::vector<double> solved = solvedSideLaw(m);
    ASSERT_EQ(series.size(), solved.size());
    for (std::size_t i = 0; i < series.size(); ++i)
        EXPECT_NEAR(series[i], solved[i], 1e-15) << "j index " << i;
}

INSTANTIATE_TEST_SUITE_P(SmallSquares, ExactLaw, ::testing::Values(2, 3, 4, 6, 9, 12));

TEST(ExitTablesTest, EachSideSumsToAQuarterAndIsSymmetricAndPeaksInTheMiddle) {
    for (int m = 2; m <= ExitTables::kLargest; ++m) {
        const std::vector<double> law = exactSideLaw(m);
        ASSERT_EQ(law.size(), static_cast<std::size_t>(2 * m - 1));
        double sum = 0.0;
        for (double p : law) sum += p;
        EXPECT_NEAR(sum, 0.25, 4e-16) << "m " << m;
        for (int j = 1; j < m; ++j) {
            const auto up = static_cast<std::size_t>(m - 1 + j),
                       down = static_cast<std::size_t>(m - 1 - j);
            EXPECT_EQ(law[up], law[down]) << "m " << m << " j " << j;
            EXPECT_LT(law[up], law[up - 1]) << "m " << m << " j " << j;
            EXPECT_GT(law[up], 0.0);
        }
    }
}

TEST(ExitTablesTest, BorderCellsGoRoundTheFourSides) {
    EXPECT_EQ(ExitTables::borderCell(3, 0), (ExitCell{3, -2}));
    EXPECT_EQ(ExitTables::borderCell(3, 4), (ExitCell{3, 2}));
    EXPECT_EQ(ExitTables::borderCell(3, 5), (ExitCell{-3, -2}));
    EXPECT_EQ(ExitTables::borderCell(3, 12), (ExitCell{0, 3}));
    EXPECT_EQ(ExitTables::borderCell(3, 19), (ExitCell{2, -3}));
    // Every border cell once, never a corner.
    for (int m = 2; m <= 9; ++m) {
        std::map<std::pair<int, int>, int> seen;
        for (int k = 0; k < ExitTables::borderCells(m); ++k) {
            const ExitCell c = ExitTables::borderCell(m, k);
            EXPECT_EQ(std::max(std::abs(c.dx), std::abs(c.dy)), m);
            EXPECT_LT(std::min(std::abs(c.dx), std::abs(c.dy)), m);
            ++seen[{c.dx, c.dy}];
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(8 * m - 4));
    }
}

TEST(ExitTablesTest, AliasTablesCarryTheExactLaw) {
    const ExitTables& tables = ExitTables::shared();
    ASSERT_EQ(tables.largest(), ExitTables::kLargest);
    for (int m = 2; m <= tables.largest(); ++m) {
        const std::vector<double> side = exactSideLaw(m);
        for (int k = 0; k < ExitTables::borderCells(m); ++k) {
            const double exact = side[static_cast<std::size_t>(k % (2 * m - 1))];
            EXPECT_NEAR(tables.cellProbability(m, k), exact, 5e-17) << "m " << m << " k " << k;
            EXPECT_NEAR(tables.sampledProbability(m, ExitTables::borderCell(m, k)), exact, 2e-16)
                << "m " << m << " k " << k;
        }
    }
}

// Deviates spread evenly over [0, 1) land on each cell in proportion to its probability, to
// within the spacing of the deviates; the largest deviate below 1 still gives a border cell.
TEST(ExitTablesTest, SampleMapsEvenlySpreadDeviatesOntoTheLaw) {
    const ExitTables& tables = ExitTables::shared();
    constexpr int kDeviates = 1 << 20;
    for (int m : {2, 7, 64}) {
        std::map<std::pair<int, int>, double> count;
        for (int i = 0; i < kDeviates; ++i) {
            const ExitCell c = tables.sample(m, (i + 0.5) / kDeviates);
            count[{c.dx, c.dy}] += 1.0;
        }
        for (int k = 0; k < ExitTables::borderCells(m); ++k) {
            const ExitCell c = ExitTables::borderCell(m, k);
            const double share = count[{c.dx, c.dy}] / kDeviates;
            EXPECT_NEAR(share, tables.cellProbability(m, k),
                        2.0 * ExitTables::borderCells(m) / kDeviates)
                << "m " << m << " k " << k;
        }
        const ExitCell last = tables.sample(m, std::nextafter(1.0, 0.0));
        EXPECT_EQ(std::max(std::abs(last.dx), std::abs(last.dy)), m);
    }
}

TEST(ExitTablesTest, RefusesSizesAndLawsItCannotHold) {
    EXPECT_THROW(ExitTables(0), std::invalid_argument);
    EXPECT_THROW(ExitTables(256), std::invalid_argument);
    EXPECT_EQ(ExitTables(1).largest(), 1);
    EXPECT_THROW(exactSideLaw(1), std::invalid_argument);
    EXPECT_THROW(ExitTables(std::vector<std::vector<double>>{std::vector<double>(11, 1.0)}),
                 std::invalid_argument);
    std::vector<double> negative(12, 1.0);
    negative[3] = -0.5;
    EXPECT_THROW(ExitTables(std::vector<std::vector<double>>{negative}), std::invalid_argument);
}

// Tables with the exact laws except for one border cell, whose weight is multiplied by
// `factor` (the law is normalised again), or with every cell equally likely.
std::vector<std::vector<double>> exactLaws(int largest) {
    std::vector<std::vector<double>> laws;
    for (int m = 2; m <= largest; ++m) {
        const std::vector<double> side = exactSideLaw(m);
        std::vector<double>& law = laws.emplace_back();
        for (int s = 0; s < 4; ++s) law.insert(law.end(), side.begin(), side.end());
    }
    return laws;
}

// Exits of plain single-step walks from the centre of the square of half-side m, against the
// law that `tables` samples: the normal score of Pearson's chi-square.
double bruteForceScore(const ExitTables& tables, int m, int walks, std::uint64_t seed) {
    FastGenerator g = FastGenerator::seeded(seed);
    std::map<std::pair<int, int>, std::int64_t> count;
    for (int i = 0; i < walks; ++i) {
        int x = 0, y = 0;
        while (std::abs(x) < m && std::abs(y) < m) {
            switch (static_cast<int>(g.draw() * 4.0)) {
                case 0:
                    ++x;
                    break;
                case 1:
                    --x;
                    break;
                case 2:
                    ++y;
                    break;
                default:
                    --y;
                    break;
            }
        }
        ++count[{x, y}];
    }
    double chi = 0.0;
    int cells = 0;
    for (int k = 0; k < ExitTables::borderCells(m); ++k) {
        const ExitCell c = ExitTables::borderCell(m, k);
        const double expected = walks * tables.sampledProbability(m, c);
        const double d = static_cast<double>(count[{c.dx, c.dy}]) - expected;
        chi += d * d / expected;
        ++cells;
    }
    const double score = test::chiSquareScore(chi, cells - 1);
    ::testing::Test::RecordProperty("score_m" + std::to_string(m), std::to_string(score));
    return score;
}

struct BruteForceCase {
    int m;
    int walks;
};

void PrintTo(const BruteForceCase& c, std::ostream* os) {
    *os << "m = " << c.m << ", " << c.walks << " walks";
}

class ExitTablesBruteForce : public ::testing::TestWithParam<BruteForceCase> {};

TEST_P(ExitTablesBruteForce, SingleStepWalksExitAsTheTablesSay) {
    const auto [m, walks] = GetParam();
    EXPECT_LT(bruteForceScore(ExitTables::shared(), m, walks, 1000 + static_cast<std::uint64_t>(m)),
              test::kRejectScore);
}

INSTANTIATE_TEST_SUITE_P(FewSquares, ExitTablesBruteForce,
                         ::testing::Values(BruteForceCase{2, 8'000'000},
                                           BruteForceCase{3, 2'000'000},
                                           BruteForceCase{5, 1'000'000},
                                           BruteForceCase{8, 400'000}),
                         [](const auto& info) { return "M" + std::to_string(info.param.m); });

// The same comparison rejects tables that are slightly or grossly wrong: one cell of the
// smallest square 1 % too likely, or every border cell equally likely.
TEST(ExitTablesBruteForceTest, RejectsASkewedCellAndUniformExits) {
    std::vector<std::vector<double>> skewed = exactLaws(8);
    skewed[0][1] *= 1.01;  // (2, 0)
    EXPECT_GT(bruteForceScore(ExitTables(skewed), 2, 16'000'000, 1002), test::kRejectScore);

    std::vector<std::vector<double>> uniform;
    for (int m = 2; m <= 8; ++m)
        uniform.emplace_back(static_cast<std::size_t>(ExitTables::borderCells(m)), 1.0);
    EXPECT_GT(bruteForceScore(ExitTables(uniform), 5, 1'000'000, 1005), test::kRejectScore);
}

}  // namespace
}  // namespace dla

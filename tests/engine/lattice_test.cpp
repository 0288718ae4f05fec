#include "lattice.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dla {
namespace {

// Every cell's flags against their definitions; reports the first cell that disagrees.
void expectFlagsConsistent(const Lattice& lattice, int radius) {
    const std::int64_t kill = 4LL * radius * radius;
    const auto occupied = [&](int a, int b) {
        return Lattice::contains(a, b) && lattice.isOccupied(a, b);
    };
    for (int y = -Lattice::kExtent; y <= Lattice::kExtent; ++y) {
        for (int x = -Lattice::kExtent; x <= Lattice::kExtent; ++x) {
            const bool near = occupied(x + 1, y) || occupied(x - 1, y) || occupied(x, y + 1) ||
                              occupied(x, y - 1);
            const bool outside =
                radius >= 0 &&
                static_cast<std::int64_t>(x) * x + static_cast<std::int64_t>(y) * y > kill;
            const bool edge = std::abs(x) == Lattice::kExtent || std::abs(y) == Lattice::kExtent;
            const std::uint8_t f = lattice.flags()[Lattice::index(x, y)];
            if (((f & Lattice::Near) != 0) != near || ((f & Lattice::Outside) != 0) != outside ||
                ((f & Lattice::Edge) != 0) != edge) {
                FAIL() << "flags of (" << x << ", " << y << ") are " << int{f}
                       << " with R = " << radius;
            }
        }
    }
}

TEST(LatticeTest, CellsReadZeroOrMinusOneAndTrackTheirNeighbours) {
    Lattice lattice;
    EXPECT_EQ(lattice(0, 0), 0);
    lattice.occupy(0, 0);
    lattice.occupy(1000, -1000);
    lattice.occupy(1000, -1000);  // again: no change
    lattice.occupy(-1000, 3);
    EXPECT_EQ(lattice(0, 0), -1);
    EXPECT_EQ(lattice(1000, -1000), -1);
    EXPECT_EQ(lattice.occupiedCount(), 3);
    expectFlagsConsistent(lattice, -1);
    lattice.clear();
    EXPECT_EQ(lattice.occupiedCount(), 0);
    EXPECT_EQ(lattice(1000, -1000), 0);
    expectFlagsConsistent(lattice, -1);
}

TEST(LatticeTest, IndicesOutsideTheGridAreRefused) {
    Lattice lattice;
    EXPECT_THROW((void)lattice(1001, 0), std::out_of_range);
    EXPECT_THROW((void)lattice(0, -1001), std::out_of_range);
    EXPECT_THROW(lattice.occupy(-1001, 0), std::out_of_range);
    EXPECT_EQ(Lattice::xOf(Lattice::index(-1000, 1000)), -1000);
    EXPECT_EQ(Lattice::yOf(Lattice::index(-1000, 1000)), 1000);
    EXPECT_EQ(Lattice::xOf(Lattice::index(7, -3)), 7);
    EXPECT_EQ(Lattice::yOf(Lattice::index(7, -3)), -3);
}

TEST(LatticeTest, KillDiscFollowsTheRadiusUpAndDown) {
    Lattice lattice;
    lattice.occupy(0, 0);
    // Growing step by step, a jump, then smaller (as after a nested run), then beyond the grid.
    for (const int radius : {4, 8, 9, 30, 12, 4, 700}) {
        lattice.setKillRadius(radius);
        ASSERT_EQ(lattice.killRadius(), radius);
        expectFlagsConsistent(lattice, radius);
    }
}

TEST(LatticeTest, IntegerKillTestEqualsTheSquareRootTest) {
    // sqrt(s) > 2R must hold exactly when s > 4R^2; the square root is monotonic, so the two
    // integers on either side of 4R^2 decide it for every s.
    for (int r = 0; r <= 32767 / 2; ++r) {
        const std::int64_t limit = 4LL * r * r;
        ASSERT_FALSE(std::sqrt(static_cast<double>(limit)) > 2 * r) << r;
        ASSERT_TRUE(std::sqrt(static_cast<double>(limit + 1)) > 2 * r) << r;
    }
}

TEST(LatticeTest, HashAndVersionFollowTheOccupiedCells) {
    Lattice a, b;
    const std::uint64_t empty = a.hash();
    const std::uint64_t v0 = a.version();
    a.occupy(1, 2);
    EXPECT_NE(a.version(), v0);
    const std::uint64_t v1 = a.version();
    a.occupy(1, 2);
    EXPECT_EQ(a.version(), v1);
    b.occupy(2, 1);
    EXPECT_NE(a.hash(), empty);
    EXPECT_NE(a.hash(), b.hash());
    b.clear();
    b.occupy(1, 2);
    EXPECT_EQ(a.hash(), b.hash());
}

}  // namespace
}  // namespace dla

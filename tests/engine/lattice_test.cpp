#include "lattice.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dla {
namespace {

// The walk tests sqrt(x^2 + y^2) > 2R as x^2 + y^2 > 4R^2: the two agree around every 4R^2.
TEST(LatticeTest, IntegerKillTestEqualsTheSquareRootTest) {
    for (int r = 0; r <= 32767 / 2; ++r) {
        const double limit = 4.0 * r * r;
        ASSERT_FALSE(std::sqrt(limit) > 2 * r) << r;
        ASSERT_TRUE(std::sqrt(limit + 1) > 2 * r) << r;
    }
    EXPECT_THROW(Lattice().occupy(0, -1001), std::out_of_range);
}

}  // namespace
}  // namespace dla

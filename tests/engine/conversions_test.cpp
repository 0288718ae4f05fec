#include "conversions.h"

#include <gtest/gtest.h>

#include <limits>

#include "growth.h"

namespace dla {
namespace {

TEST(Conversions, FloorGoesTowardMinusInfinity) {
    EXPECT_EQ(floorToInt32(3.99), 3);
    EXPECT_EQ(floorToInt32(-0.0001), -1);
    EXPECT_EQ(floorToInt32(-4.0), -4);
    EXPECT_EQ(floorToInt16(-32767.5), -32768);
    EXPECT_EQ(floorToInt16(32767.9), 32767);
}

struct RoundCase {
    double value;
    double rounded;
};

void PrintTo(const RoundCase& c, std::ostream* os) {
    *os << c.value;
}

class RoundHalfEven : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(GetParam().value), GetParam().rounded);
}

INSTANTIATE_TEST_SUITE_P(Values, RoundHalfEven,
                         ::testing::Values(RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{2.5, 2},
                                           RoundCase{-0.5, 0}, RoundCase{-1.5, -2},
                                           RoundCase{-2.5, -2}, RoundCase{100.5, 100},
                                           RoundCase{101.5, 102}, RoundCase{2.4999999, 2},
                                           RoundCase{2.5000001, 3}, RoundCase{-32768.5, -32768},
                                           RoundCase{7.0, 7}));

struct HalfSideCase {
    std::int32_t n;
    std::int16_t h;
};

void PrintTo(const HalfSideCase& c, std::ostream* os) {
    *os << "N = " << c.n;
}

class HalfSide : public ::testing::TestWithParam<HalfSideCase> {};

TEST_P(HalfSide, IsHalfTheSizeRoundedTiesToEven) {
    EXPECT_EQ(halfSideFor(GetParam().n), GetParam().h);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, HalfSide,
    ::testing::Values(HalfSideCase{0, 0}, HalfSideCase{1, 0}, HalfSideCase{-1, 0},
                      HalfSideCase{-2, -1}, HalfSideCase{2, 1}, HalfSideCase{3, 2},
                      HalfSideCase{5, 2}, HalfSideCase{7, 4}, HalfSideCase{201, 100},
                      HalfSideCase{203, 102}, HalfSideCase{999, 500}, HalfSideCase{1000, 500},
                      HalfSideCase{kSmallestSystemSize, -32768}, HalfSideCase{-65536, -32768}));

}  // namespace
}  // namespace dla

#include "random_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "recording_toolkit.h"

namespace dla {
namespace {

// d1, d2, ... all distinct and inside [0, 1).
std::vector<double> numberedDraws(std::size_t count) {
    std::vector<double> draws(count);
    for (std::size_t i = 0; i < count; ++i) draws[i] = static_cast<double>(i + 1) / 1024.0;
    return draws;
}

double d(std::size_t i) {
    return static_cast<double>(i) / 1024.0;
}  // the i-th draw, from 1

struct Fixture : ::testing::Test {
    RecordingToolkit toolkit;
};

using RandomSourceTest = Fixture;

TEST_F(RandomSourceTest, CreatedStateReturnsZeroAndFillsOneEntry) {
    RandomSource source(ScriptedGenerator({0.5, 0.25}), toolkit);
    const std::int16_t zero = 0;
    EXPECT_EQ(source.Random(zero), 0.0);
    const auto& v = source.table().v;
    // 0.5 selects j = 1 + floor(48.5) = 49, which is refilled with 0.25; nothing else changes.
    EXPECT_EQ(v[49], 0.25);
    EXPECT_EQ(std::count(v.begin(), v.end(), 0.0), 97);
    EXPECT_EQ(source.generator().drawCount(), 2u);
    EXPECT_EQ(source.generator().reseedCount(), 0u);
}

TEST_F(RandomSourceTest, ReinitialisationFollowsTheDrawSequence) {
    RandomSource source(ScriptedGenerator(numberedDraws(300)), toolkit);
    const std::int16_t idum = -1;
    const double first = source.Random(idum);
    // d1..d97 are thrown away, d98..d194 fill v(1)..v(97), d195 goes to y and is replaced by
    // d196, which selects j; the result is d(97 + j) and v(j) is refilled with d197.
    const int j = 1 + static_cast<int>(std::floor(97.0 * d(196)));
    EXPECT_EQ(first, d(97 + static_cast<std::size_t>(j)));
    EXPECT_EQ(source.table().v[static_cast<std::size_t>(j)], d(197));
    EXPECT_EQ(source.table().v[1], j == 1 ? d(197) : d(98));
    EXPECT_EQ(source.generator().drawCount(), 197u);
    EXPECT_EQ(source.generator().reseedCount(), 1u);
    EXPECT_EQ(idum, -1);

    const int j2 = 1 + static_cast<int>(std::floor(97.0 * d(198)));
    const double expected = source.table().v[static_cast<std::size_t>(j2)];
    EXPECT_EQ(source.Random(0), expected);
    EXPECT_EQ(source.table().v[static_cast<std::size_t>(j2)], d(199));
    EXPECT_EQ(source.generator().drawCount(), 199u);
}

TEST_F(RandomSourceTest, OnlyTheSignOfIdumMatters) {
    for (const std::int16_t idum : {std::int16_t{-1}, std::int16_t{-32768}}) {
        RandomSource source(ScriptedGenerator(numberedDraws(400)), toolkit);
        const std::int16_t before = idum;
        (void)source.Random(idum);
        EXPECT_EQ(idum, before);
        EXPECT_EQ(source.generator().drawCount(), 197u);
        (void)source.Random(std::int16_t{5});
        EXPECT_EQ(source.generator().drawCount(), 199u);
    }
}

TEST_F(RandomSourceTest, EachNegativeCallRebuildsTheTable) {
    RandomSource source(ScriptedGenerator(numberedDraws(500)), toolkit);
    (void)source.Random(-1);
    const double second = source.Random(-1);
    EXPECT_EQ(source.generator().reseedCount(), 2u);
    EXPECT_EQ(source.generator().drawCount(), 394u);
    // The second table holds d(197 + 98) .. d(197 + 194).
    for (int i = 1; i <= 97; ++i) {
        const double v = source.table().v[static_cast<std::size_t>(i)];
        EXPECT_TRUE(v == d(197 + 97 + static_cast<std::size_t>(i)) || v == d(394)) << i;
    }
    EXPECT_GE(second, d(197 + 98));
    EXPECT_LE(second, d(197 + 194));
}

TEST_F(RandomSourceTest, IndexBoundsOfTheSelectingDraw) {
    // 0 selects entry 1, the largest draw below 1 entry 97.
    for (const auto& [draw, entry] :
         {std::pair{0.0, 1}, std::pair{1.0 - 0x1.0p-24, 97}, std::pair{1.0 - 0x1.0p-53, 97}}) {
        std::vector<double> draws = numberedDraws(196);
        draws.push_back(0.0);  // d197 refills
        draws[195] = draw;     // d196 selects
        RandomSource source(ScriptedGenerator(draws), toolkit);
        EXPECT_EQ(source.Random(-1), d(97 + static_cast<std::size_t>(entry))) << draw;
    }
    EXPECT_TRUE(toolkit.calls.empty());
}

TEST_F(RandomSourceTest, EveryResultIsTheChosenEntrysFormerValue) {
    RandomSource source(FastGenerator::seeded(7), toolkit);
    (void)source.Random(-1);
    for (int i = 0; i < 10000; ++i) {
        const ShuffleTable before = source.table();
        const double u = source.Random(0);
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        ASSERT_NE(std::find(before.v.begin() + 1, before.v.end(), u), before.v.end());
    }
}

TEST_F(RandomSourceTest, ADrawOutsideTheUnitIntervalShowsErrorAndKeepsTheTableWhole) {
    std::vector<double> draws = numberedDraws(196);
    draws.push_back(0.75);
    draws.push_back(1.0);  // selects index 98
    draws.push_back(0.125);
    RandomSource source(ScriptedGenerator(draws), toolkit);
    (void)source.Random(-1);
    const double u = source.Random(0);
    ASSERT_EQ(toolkit.messages(), std::vector<std::string>{"Error"});
    EXPECT_EQ(toolkit.calls.back().style, MessageStyle::None);
    // Clamped to the last entry, which is returned and refilled.
    EXPECT_GE(u, 0.0);
    EXPECT_LT(u, 1.0);
    EXPECT_EQ(source.table().v[97], 0.125);
}

TEST(FastGeneratorTest, SeededStreamsRepeatAndReseedsNeverRepeatAStream) {
    FastGenerator a = FastGenerator::seeded(42);
    FastGenerator b = FastGenerator::seeded(42);
    std::vector<double> streams;
    for (int reseed = 0; reseed < 4; ++reseed) {
        a.reseed();
        b.reseed();
        for (int i = 0; i < 100; ++i) {
            const double x = a.draw();
            ASSERT_EQ(x, b.draw());
            ASSERT_GE(x, 0.0);
            ASSERT_LT(x, 1.0);
            if (i == 0) streams.push_back(x);
        }
    }
    std::sort(streams.begin(), streams.end());
    EXPECT_EQ(std::adjacent_find(streams.begin(), streams.end()), streams.end());
    EXPECT_EQ(a.seed(), std::optional<std::uint64_t>(42));

    FastGenerator other = FastGenerator::seeded(43);
    other.reseed();
    FastGenerator again = FastGenerator::seeded(42);
    again.reseed();
    EXPECT_NE(other.draw(), again.draw());
}

TEST(FastGeneratorTest, ClockSeededGeneratorsDiffer) {
    FastGenerator a = FastGenerator::clockSeeded();
    FastGenerator b = FastGenerator::clockSeeded();
    a.reseed();
    b.reseed();
    EXPECT_FALSE(a.seed().has_value());
    EXPECT_NE(a.draw(), b.draw());
}

TEST(FastGeneratorTest, DrawsAreUniform) {
    // Chi-square over 64 bins of a million draws; 64 - 1 degrees of freedom, the 0.999 quantile
    // is about 103.4.
    FastGenerator g = FastGenerator::seeded(2026);
    g.reseed();
    std::array<int, 64> bins{};
    const int n = 1'000'000;
    for (int i = 0; i < n; ++i) ++bins[static_cast<std::size_t>(g.draw() * 64.0)];
    const double expected = n / 64.0;
    double chi2 = 0.0;
    for (int c : bins) chi2 += (c - expected) * (c - expected) / expected;
    EXPECT_LT(chi2, 103.4);
}

}  // namespace
}  // namespace dla

#include "estimate/fractal_dimension.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "base/trig_floor.h"
#include "estimate/box_counter.h"
#include "estimate/box_mass.h"
#include "recording_toolkit.h"
#include "window/growth.h"

namespace dla {
namespace {

// The sides are the multiples of N div 20 below N div 2, so N = 100 stops at 45 and N = 1000 at
// 450; the values are shown with four decimals and the user's separator.
TEST(EstimateTest, SidesAndFormat) {
    const std::tuple<int, int, std::size_t> sides[] = {
        {100, 45, 9}, {102, 50, 10}, {112, 55, 11}, {999, 490, 10}, {1000, 450, 9}};
    for (const auto& [n, last, count] : sides)
        EXPECT_EQ(std::pair(boxSidesFor(n).back(), boxSidesFor(n).size()), std::pair(last, count));
    const std::tuple<double, const char*, const char*> formats[] = {
        {1.71234, ".", "1.7123"},
        {-0.25, ".", "-0.2500"},
        {1.71236, ",", "1,7124"},
        {-0.00004, ",", "0,0000"},
        {12.5, "\u066B", "12\u066B5000"}};
    for (const auto& [value, separator, text] : formats)
        EXPECT_EQ(formatFourDecimals(value, separator), text);
}

// Below 100, and on an empty Lattice (the first yield of the first run), the estimate refuses,
// after the re-initialisation it always makes; otherwise it shows the slope.
TEST(EstimateTest, RefusesWhatItCannotMeasureAndShowsTheSlopeOtherwise) {
    for (const auto& [n, grown] : {std::pair{99, true}, {1, true}, {500, false}, {100, true}}) {
        test::RecordingToolkit toolkit;
        toolkit.separator = ",";
        Lattice lattice;
        RandomSource source(FastGenerator::seeded(1), toolkit),
            twin(FastGenerator::seeded(1), toolkit);
        for (auto* random : {&source, &twin})
            if (grown) (void)Gerar_DLA(n, lattice, *random, toolkit);
        toolkit.calls.clear();
        const auto estimate = Dimensão_Fractal(n, lattice, source, toolkit);
        EXPECT_EQ(estimate.has_value(), n == 100);
        (void)twin.Random(-1);
        EXPECT_EQ(source.next() == twin.next(), !estimate);
        ASSERT_EQ(toolkit.calls.size(), 1u);
        EXPECT_EQ(toolkit.calls[0].text,
                  estimate ? "Dimensão Fractal = " + formatFourDecimals(estimate->dimension, ",")
                           : std::string(kEstimateRefusal));
        EXPECT_EQ(toolkit.calls[0].style,
                  estimate ? MessageStyle::Information : MessageStyle::Exclamation);
    }
}

// Any change to the estimate (its draws, boxes, sides or fit) changes these. They were taken where
// the estimate matched a plain transcription of its definition, box counted cell by cell, draw
// for draw; at N = 112 an eleventh side enters the fit.
TEST(EstimateTest, GoldenSeededEstimates) {
    for (const auto& [n, draws, dimension] :
         {std::tuple{112, 187774, 1.6339989265650003}, {203, 146243, 1.7043150393713016}}) {
        SilentToolkit toolkit;
        Lattice lattice;
        RandomSource grow(FastGenerator::seeded(static_cast<std::uint64_t>(n)), toolkit);
        (void)Gerar_DLA(n, lattice, grow, toolkit);
        RandomSource source(FastGenerator::seeded(77), toolkit),
            twin(FastGenerator::seeded(77), toolkit);
        const auto estimate = Dimensão_Fractal(n, lattice, source, toolkit);
        EXPECT_EQ(std::tuple(estimate->draws, estimate->dimension), std::tuple(draws, dimension));
        // Two deviates a corner, and the source goes on from there.
        (void)twin.Random(-1);
        for (std::int64_t i = 0; i < 2 * draws; ++i) (void)twin.next();
        EXPECT_EQ(source.next(), twin.next());
    }
}

// The fast floors of the corners and release points are the library's, bit for bit: on random
// angles, on every part of the table, and on both sides of the angles where the value crosses
// an integer. Test cells round halves to even.
TEST(EstimateTest, FastFloorsAreTheLibrarysBitForBit) {
    const double pi = 4.0 * std::atan(1.0);
    std::mt19937_64 bits(7);
    for (const double h : {0.0, 1.0, 50.0, 50.5, 499.5, 500.0, 32766.5, 40000.0, 5e5}) {
        const trig::FloorCosTable table(h, pi);
        std::vector<double> us;
        for (int i = 0; i < 100000; ++i) us.push_back(static_cast<double>(bits() >> 11) * 0x1p-53);
        for (int i = 0; i < trig::FloorCosTable::kBuckets; ++i) us.push_back(i * 0x1p-16);
        for (int k = static_cast<int>(-h); k <= h && h <= 500; ++k) {
            const double u = std::acos(k / h) / (2 * pi);
            for (const double v : {u, 1 - u}) {
                us.push_back(std::nextafter(v, 0.0));
                us.push_back(std::nextafter(v, 1.0));
            }
        }
        for (const double u : us) {
            const double theta = u * 2.0 * pi;
            const std::int32_t c = floorToInt32(h * std::cos(theta));
            ASSERT_EQ(table(u), c) << h << " " << u;
            ASSERT_EQ(trig::floorScaledCos(h, theta), c) << h << " " << u;
            ASSERT_EQ(trig::floorsScaled(h, theta).sin, floorToInt32(h * std::sin(theta))) << h;
        }
    }
    for (int corner = -600; corner <= 600; ++corner)
        for (int side = 1; side <= 60; ++side)
            ASSERT_EQ(testCell(corner, side), roundHalfEvenToInt32(corner + side / 2.0));
}

// The shuffled source's index, taken in integers from ticks, is the double's on both sides of
// every place where 97 y reaches an integer, where rounding decides.
TEST(EstimateTest, TickIndexIsTheShufflesIndex) {
    for (std::uint64_t k = 1; k < 97; ++k) {
        const std::uint64_t edge = (k << 53) / 97;
        for (std::uint64_t t = edge - 300; t <= edge + 300; ++t) {
            const double y = static_cast<double>(t) * 0x1p-53;
            ASSERT_EQ(DetachedSource<FastGenerator>::shuffleIndex(t),
                      static_cast<std::size_t>(static_cast<int>(97.0 * y)))
                << t;
        }
    }
}

// The fast generator without its ticks, which takes the estimate's plain path.
struct WithoutTicks {
    FastGenerator generator;
    double draw() { return generator.draw(); }
    void reseed() { generator.reseed(); }
};

// Corners made in batches ahead of their tests give the estimate of one corner at a time, draw
// for draw, and leave the source where it would be: on a grown aggregate, and where the limit is
// passed in the middle of a batch and the direct draws take over.
TEST(EstimateTest, BatchedCornersAreThePlainLoopsDrawForDraw) {
    SilentToolkit toolkit;
    Lattice grown, sparse;
    RandomSource grow(FastGenerator::seeded(8), toolkit);
    (void)Gerar_DLA(150, grown, grow, toolkit);
    for (const auto& [x, y] : {std::pair{0, 0}, {472, 0}, {449, 0}}) sparse.occupy(x, y);
    for (const auto& [n, lattice] : {std::pair{150, &grown}, {900, &sparse}}) {
        const BoxCounter view(*lattice, -Lattice::kExtent, Lattice::kExtent);
        RandomSource batched(FastGenerator::seeded(4), toolkit);
        RandomSource plain(WithoutTicks{FastGenerator::seeded(4)}, toolkit);
        (void)batched.Random(-1);
        (void)plain.Random(-1);
        const auto a = detail::boxMassEstimate(n, view, batched);
        const auto b = detail::boxMassEstimate(n, view, plain);
        EXPECT_EQ(a->draws > kRejectedDrawLimit, n == 900);
        EXPECT_EQ(std::tuple(a->draws, a->dimension), std::tuple(b->draws, b->dimension));
        for (std::size_t i = 0; i < a->points.size(); ++i)
            EXPECT_EQ(a->points[i].meanMass, b->points[i].meanMass);
        EXPECT_EQ(batched.next(), plain.next());
    }

    // A search that may reject only so many corners stops where the loop would, whether the
    // allowance runs out inside a batch, at its end, or just before an accepted corner.
    const BoxCounter view(grown, -Lattice::kExtent, Lattice::kExtent);
    const trig::FloorCosTable table(75.0, 4.0 * std::atan(1.0));
    for (const std::int32_t side : {7, 22}) {
        for (const std::int64_t allowance : {1, 2, 3, 5, 8, 13, 21, 255, 256, 257}) {
            RandomSource batched(FastGenerator::seeded(9), toolkit);
            RandomSource plain(WithoutTicks{FastGenerator::seeded(9)}, toolkit);
            (void)batched.Random(-1);
            (void)plain.Random(-1);
            auto detached = batched.detach();
            detail::CornerBatches<FastGenerator> a(detached, table);
            detail::PlainCorners<WithoutTicks> b(plain, table);
            for (int k = 0; k < 40; ++k) {
                const detail::CornerSearch x = a.next(view, side, allowance),
                                           y = b.next(view, side, allowance);
                ASSERT_EQ(std::tuple(x.used, x.found, x.x0, x.y0),
                          std::tuple(y.used, y.found, y.x0, y.y0))
                    << side << " " << allowance << " " << k;
            }
            a.settle();
            batched.attach(detached);
            EXPECT_EQ(batched.next(), plain.next());
        }
    }
}

// Box counts are cell counts, also for boxes reaching out of the window, and just below 2^16
// occupied cells, where the sums are kept modulo 2^16, as well as above.
TEST(EstimateTest, BoxCountsAreCellCounts) {
    std::mt19937 random(3);
    for (const int filled : {65535, 65536}) {
        Lattice lattice;
        for (int i = 0; i < filled; ++i) lattice.occupy(i % 300 - 150, i / 300 - 120);
        const BoxCounter boxes(lattice, -200, 200);
        for (int k = 0; k < 60; ++k) {
            const int x0 = static_cast<int>(random() % 400) - 250,
                      y0 = static_cast<int>(random() % 400) - 250,
                      side = static_cast<int>(random() % 300) + 1;
            std::int64_t cells = 0;
            for (int y = std::max(y0, -200); y < std::min(y0 + side, 201); ++y)
                for (int x = std::max(x0, -200); x < std::min(x0 + side, 201); ++x)
                    cells += lattice.isOccupied(x, y);
            ASSERT_EQ(boxes.count(x0, y0, side), cells) << filled << " " << x0 << " " << y0;
        }
        EXPECT_EQ(boxes.count(-200, -200, 401), filled);
    }
}

// The seed alone: the loop would reject about 10^8 corners at N = 100 and 10^11 at N = 1000.
// Past the limit each box is drawn directly, and every box holds just the seed.
TEST(EstimateTest, SeedOnlyEndsSoonAfterTheRejectionLimitWithDimensionZero) {
    Lattice lattice;
    lattice.occupy(0, 0);
    SilentToolkit toolkit;
    for (const std::int32_t n : {100, 1000}) {
        RandomSource source(FastGenerator::seeded(3), toolkit);
        const auto estimate = Dimensão_Fractal(n, lattice, source, toolkit);
        ASSERT_TRUE(estimate) << n;
        EXPECT_EQ(estimate->dimension, 0.0) << n;
        EXPECT_GT(estimate->draws, kRejectedDrawLimit) << n;
        EXPECT_LE(estimate->draws, kRejectedDrawLimit + 1 + 1000 * std::ssize(estimate->points));
    }
}

// One accepted box: its corner, its mass, and the chance q(x0) q(y0) of drawing that corner.
struct Box {
    int x0, y0, mass;
    double weight;
};

// For each side, every box whose test cell is occupied. q, the law of one corner coordinate
// floor(h cos(2 pi u)), is counted on an even grid of a few million u.
std::vector<std::vector<Box>> acceptedBoxes(const Lattice& lattice, std::int32_t n) {
    const double h = n / 2.0, pi = 4.0 * std::atan(1.0);
    const int low = static_cast<int>(std::floor(-h)), high = static_cast<int>(std::floor(h));
    std::vector<double> q(static_cast<std::size_t>(high - low + 1));
    for (int i = 0; i < 1 << 22; ++i)
        q.at(static_cast<std::size_t>(std::floor(h * std::cos((i + 0.5) / (1 << 22) * 2 * pi)) -
                                      low)) += 0x1p-22;
    std::vector<std::vector<Box>> all;
    for (const std::int32_t side : boxSidesFor(n)) {
        std::vector<Box>& boxes = all.emplace_back();
        for (int x0 = low; x0 <= high; ++x0)
            for (int y0 = low; y0 <= high; ++y0) {
                const auto cell = [side](int c) {
                    return testCell(static_cast<std::int16_t>(c), side);
                };
                if (!lattice.isOccupied(cell(x0), cell(y0))) continue;
                int mass = 0;
                for (int x = x0; x < x0 + side; ++x)
                    for (int y = y0; y < y0 + side; ++y) mass += lattice.isOccupied(x, y);
                boxes.push_back({x0, y0, mass,
                                 q[static_cast<std::size_t>(x0 - low)] *
                                     q[static_cast<std::size_t>(y0 - low)]});
            }
    }
    return all;
}

// Mean masses against the exact mean and variance of one box, side by side. At N = 100 a grown
// aggregate keeps the estimate in its rejection loop; at N = 900 the seed and two particles pass
// the limit within the first side. There the test cell (472, 0) takes most boxes of side 45; it
// comes from the corner x0 = 449 only (450 has probability 0), whose box also holds (449, 0):
// mass 2, where x0 = 450 would give 1.
class BoxMassLaw : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(BoxMassLaw, MeanMassesMatchTheirExpectation) {
    const std::int32_t n = GetParam();
    SilentToolkit toolkit;
    Lattice lattice;
    RandomSource source(FastGenerator::seeded(12), toolkit);
    if (n == 100)
        (void)Gerar_DLA(n, lattice, source, toolkit);
    else
        for (const auto& [x, y] : {std::pair{0, 0}, {472, 0}, {449, 0}}) lattice.occupy(x, y);
    const std::vector<std::vector<Box>> boxes = acceptedBoxes(lattice, n);
    const auto estimate = Dimensão_Fractal(n, lattice, source, toolkit);
    EXPECT_EQ(estimate->draws > kRejectedDrawLimit, n == 900);
    std::vector<double> means;
    for (const FitPoint& p : estimate->points) means.push_back(p.meanMass);
    double worst = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        double m[3] = {};
        for (const Box& b : boxes[i])
            for (int k = 0; k < 3; ++k) m[k] += b.weight * std::pow(b.mass, k);
        const double mean = m[1] / m[0], sd = std::sqrt((m[2] / m[0] - mean * mean) / 1000);
        worst = std::max(worst, std::fabs(means[i] - mean) / std::max(sd, 1e-9));
    }
    RecordProperty("worst_score", std::to_string(worst));
    EXPECT_LT(worst, 5.0);
}

INSTANTIATE_TEST_SUITE_P(RejectionLoopThenDirect, BoxMassLaw, ::testing::Values(100, 900));

}  // namespace
}  // namespace dla

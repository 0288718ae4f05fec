#include "statistics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dla::cli {
namespace {

std::vector<FitPoint> points(const std::vector<double>& xs, const std::vector<double>& ys) {
    std::vector<FitPoint> result;
    for (std::size_t i = 0; i < xs.size(); ++i) result.push_back({0, 0.0, xs[i], ys[i]});
    return result;
}

TEST(Moments, MeanSampleDeviationAndStandardError) {
    // Deviations from the mean 5 square to 32 in all.
    const Moments m = describe({2, 4, 4, 4, 5, 5, 7, 9});
    EXPECT_EQ(m.count, 8u);
    EXPECT_DOUBLE_EQ(*m.mean, 5.0);
    EXPECT_DOUBLE_EQ(*m.sd, std::sqrt(32.0 / 7.0));
    EXPECT_DOUBLE_EQ(*m.sem, std::sqrt(32.0 / 7.0) / std::sqrt(8.0));
}

TEST(Moments, WhatTooFewValuesLeaveUndefined) {
    const Moments none = describe({});
    EXPECT_EQ(none.count, 0u);
    EXPECT_FALSE(none.mean);
    EXPECT_FALSE(none.sd);
    const Moments one = describe({1.7});
    EXPECT_DOUBLE_EQ(*one.mean, 1.7);
    EXPECT_FALSE(one.sd);
    EXPECT_FALSE(one.sem);
}

TEST(LineFit, HandCheckedDataSet) {
    // x = 1..5, y = 2 4 5 4 5: Sxx = 10, Sxy = 6, so slope 0.6 and intercept 2.2; the residuals
    // -0.8 0.6 1 -0.6 -0.2 square to 2.4 against a total of 6 about the mean 4, so R^2 = 0.6 and
    // the slope's standard error is sqrt(2.4 / 3 / 10) = sqrt(0.08).
    const auto fit = fitLine(points({1, 2, 3, 4, 5}, {2, 4, 5, 4, 5}));
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->points, 5u);
    EXPECT_NEAR(fit->slope, 0.6, 1e-14);
    EXPECT_NEAR(fit->intercept, 2.2, 1e-14);
    EXPECT_NEAR(*fit->rSquared, 0.6, 1e-14);
    EXPECT_NEAR(*fit->slopeStandardError, std::sqrt(0.08), 1e-14);
}

TEST(LineFit, ExactLineHasNoErrorAndFullR2) {
    const auto fit = fitLine(points(
        {0, std::log(2.0), std::log(3.0), std::log(4.0)},
        {1.0, 1.0 + 1.7 * std::log(2.0), 1.0 + 1.7 * std::log(3.0), 1.0 + 1.7 * std::log(4.0)}));
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->slope, 1.7, 1e-12);
    EXPECT_NEAR(fit->intercept, 1.0, 1e-12);
    EXPECT_NEAR(*fit->slopeStandardError, 0.0, 1e-7);
    EXPECT_NEAR(*fit->rSquared, 1.0, 1e-12);
}

TEST(LineFit, SlopeIsTheEstimatesOwnToTheLastBit) {
    const auto data = points({0, 0.69, 1.1, 1.39, 1.61, 1.79, 1.95, 2.08, 2.2},
                             {0, 1.13, 1.83, 2.33, 2.72, 3.05, 3.31, 3.55, 3.76});
    EXPECT_EQ(fitLine(data)->slope, leastSquaresSlope(data));
}

TEST(LineFit, UndefinedPartsAreEmpty) {
    EXPECT_FALSE(fitLine(points({1}, {2})));
    EXPECT_FALSE(fitLine(points({1, 1, 1}, {2, 3, 4}))) << "no spread in x";
    const auto two = fitLine(points({1, 2}, {1, 3}));
    ASSERT_TRUE(two);
    EXPECT_DOUBLE_EQ(two->slope, 2.0);
    EXPECT_FALSE(two->slopeStandardError) << "two points leave no degree of freedom";
    const auto flat = fitLine(points({1, 2, 3}, {5, 5, 5}));
    ASSERT_TRUE(flat);
    EXPECT_FALSE(flat->rSquared) << "no spread in y";
}

TEST(RadiusOfGyration, AboutTheCentreOfMass) {
    EXPECT_DOUBLE_EQ(radiusOfGyration({}), 0.0);
    EXPECT_DOUBLE_EQ(radiusOfGyration({{0, 0}}), 0.0);
    EXPECT_DOUBLE_EQ(radiusOfGyration({{0, 0}, {2, 0}}), 1.0);
    EXPECT_DOUBLE_EQ(radiusOfGyration({{10, 10}, {12, 10}}), 1.0);
    EXPECT_DOUBLE_EQ(radiusOfGyration({{0, 0}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}}), std::sqrt(0.8));
}

}  // namespace
}  // namespace dla::cli

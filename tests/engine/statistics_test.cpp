// Sample statistics, the line fit and the ensemble summary against values worked out by hand.
#include "measure/statistics.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/growth_law.h"
#include "measure/ensemble.h"

namespace dla {
namespace {

struct Point {
    double x, y;
};

std::vector<Point> points(const std::vector<double>& xs, const std::vector<double>& ys) {
    std::vector<Point> result;
    for (std::size_t i = 0; i < xs.size(); ++i) result.push_back({xs[i], ys[i]});
    return result;
}

TEST(Statistics, MomentsOfAHandCheckedSample) {
    // Deviations from the mean 5 square to 32 in all.
    const Moments m = describe({2, 4, 4, 4, 5, 5, 7, 9});
    EXPECT_DOUBLE_EQ(*m.mean, 5.0);
    EXPECT_DOUBLE_EQ(*m.sd, std::sqrt(32.0 / 7.0));
    EXPECT_DOUBLE_EQ(*m.sem, std::sqrt(32.0 / 7.0 / 8.0));
    EXPECT_FALSE(describe({}).mean);
    EXPECT_FALSE(describe({1.7}).sd);
}

TEST(Statistics, LineFitOfAHandCheckedSample) {
    // x = 1..5, y = 2 4 5 4 5: Sxx = 10, Sxy = 6, so slope 0.6 and intercept 2.2; the residuals
    // -0.8 0.6 1 -0.6 -0.2 square to 2.4 against a total of 6 about the mean 4, so R^2 = 0.6 and
    // the slope's standard error is sqrt(2.4 / 3 / 10).
    const auto fit = fitLine(points({1, 2, 3, 4, 5}, {2, 4, 5, 4, 5}));
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->slope, 0.6, 1e-14);
    EXPECT_NEAR(fit->intercept, 2.2, 1e-14);
    EXPECT_NEAR(*fit->rSquared, 0.6, 1e-14);
    EXPECT_NEAR(*fit->slopeStandardError, std::sqrt(0.08), 1e-14);
    EXPECT_FALSE(fitLine(points({1, 1, 1}, {2, 3, 4}))) << "no spread in x";
    EXPECT_FALSE(fitLine(points({1, 2}, {1, 3}))->slopeStandardError) << "no degree of freedom";
    EXPECT_FALSE(fitLine(points({1, 2, 3}, {5, 5, 5}))->rSquared) << "no spread in y";
}

TEST(Statistics, RadiusOfGyrationAboutTheCentreOfMass) {
    EXPECT_DOUBLE_EQ(radiusOfGyration(std::vector<Site>{{10, 10}, {12, 10}}), 1.0);
    EXPECT_DOUBLE_EQ(radiusOfGyration(std::vector<Site>{{0, 0}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}}),
                     std::sqrt(0.8));
}

TEST(Statistics, SummaryPerSizeAndMassRadiusSlope) {
    // Sites 3 Rg^1.7: the slope of ln sites on ln Rg is 1.7 up to the rounding of the counts.
    Ensemble ensemble;
    for (const auto& [size, rg, dimension] : std::vector<std::tuple<std::int32_t, double, double>>{
             {100, 20, 1.6}, {100, 24, 1.7}, {200, 50, 1.65}, {400, 100, 1.75}}) {
        EnsembleRun run;
        run.size = size;
        run.sites = std::round(3.0 * std::pow(rg, 1.7));
        run.particles = run.sites - 1;
        run.radiusOfGyration = rg;
        run.dimension = dimension;
        ensemble.add(run);
    }
    const EnsembleSummary s = ensemble.summarise();
    ASSERT_EQ(s.bySize.size(), 3u);
    EXPECT_EQ(s.bySize[0].runs, 2);
    EXPECT_DOUBLE_EQ(*s.bySize[0].radiusOfGyration.mean, 22.0);
    EXPECT_NEAR(*s.bySize[0].dimension.sd, std::sqrt(0.005), 1e-15);
    EXPECT_NEAR(*s.all.dimension.mean, 1.675, 1e-15);
    ASSERT_TRUE(s.massRadius);
    EXPECT_NEAR(s.massRadius->slope, 1.7, 1e-3);
}

}  // namespace
}  // namespace dla

#include "summary.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dla::cli {
namespace {

RunRecord record(std::int32_t size, std::int64_t particles, double rg,
                 std::optional<double> dimension, std::int64_t sites = 0) {
    RunRecord r;
    r.plan.size = size;
    r.growth.particles = particles;
    r.sites = sites > 0 ? sites : particles + 1;
    r.radiusOfGyration = rg;
    if (dimension) {
        DimensionEstimate e;
        e.dimension = *dimension;
        r.estimate = e;
    }
    return r;
}

TEST(Summary, StatisticsForEachSizeAndForAll) {
    SummaryBuilder builder;
    builder.add(record(100, 900, 20.0, 1.6));
    builder.add(record(100, 1100, 22.0, 1.7));
    builder.add(record(200, 3000, 50.0, 1.65));
    builder.add(record(200, 3400, 54.0, 1.75));
    const Summary s = builder.build();

    ASSERT_EQ(s.bySize.size(), 2u);
    const GroupSummary& small = s.bySize[0];
    EXPECT_EQ(small.size, 100);
    EXPECT_EQ(small.runs, 2);
    EXPECT_DOUBLE_EQ(*small.particles.mean, 1000.0);
    EXPECT_DOUBLE_EQ(*small.particles.sd, std::sqrt(20000.0));
    EXPECT_DOUBLE_EQ(*small.radiusOfGyration.mean, 21.0);
    EXPECT_DOUBLE_EQ(*small.radiusOfGyration.sd, std::sqrt(2.0));
    EXPECT_NEAR(*small.dimension.mean, 1.65, 1e-15);
    EXPECT_NEAR(*small.dimension.sd, std::sqrt(0.005), 1e-15);
    EXPECT_NEAR(*small.dimension.sem, 0.05, 1e-15);
    EXPECT_EQ(s.bySize[1].size, 200);
    EXPECT_DOUBLE_EQ(*s.bySize[1].particles.mean, 3200.0);

    EXPECT_EQ(s.all.runs, 4);
    EXPECT_DOUBLE_EQ(*s.all.particles.mean, 2100.0);
    EXPECT_NEAR(*s.all.dimension.mean, 1.675, 1e-15);
}

TEST(Summary, UnmeasuredRunsCountButHaveNoDimension) {
    SummaryBuilder builder;
    builder.add(record(50, 400, 10.0, std::nullopt));
    builder.add(record(50, 420, 11.0, std::nullopt));
    const Summary s = builder.build();
    EXPECT_EQ(s.all.runs, 2);
    EXPECT_DOUBLE_EQ(*s.all.particles.mean, 410.0);
    EXPECT_EQ(s.all.dimension.count, 0u);
    EXPECT_FALSE(s.all.dimension.mean);
    EXPECT_FALSE(s.massRadius) << "one size only";
}

TEST(Summary, MassRadiusSlopeAcrossSizes) {
    // Sites exactly 3 Rg^1.7: the slope of ln sites on ln Rg is 1.7 with no scatter.
    SummaryBuilder builder;
    for (const auto& [size, rg] : std::vector<std::pair<std::int32_t, double>>{
             {100, 20}, {100, 24}, {200, 50}, {400, 100}}) {
        const double sites = 3.0 * std::pow(rg, 1.7);
        builder.add(record(size, 0, rg, 1.7, static_cast<std::int64_t>(std::llround(sites))));
    }
    const Summary s = builder.build();
    ASSERT_TRUE(s.massRadius);
    EXPECT_EQ(s.massRadius->points, 4u);
    EXPECT_NEAR(s.massRadius->slope, 1.7, 1e-3);
    EXPECT_NEAR(*s.massRadius->slopeStandardError, 0.0, 1e-3);
}

}  // namespace
}  // namespace dla::cli

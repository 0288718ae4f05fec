#include "report.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace dla::cli {
namespace {

struct Numbered {
    std::string path;
    std::int64_t index;
    std::int64_t total;
    std::string expected;
};

void PrintTo(const Numbered& c, std::ostream* os) {
    *os << c.expected;
}

class NumberedPath : public ::testing::TestWithParam<Numbered> {};

TEST_P(NumberedPath, PutsThePaddedRunNumberBeforeTheExtension) {
    const Numbered& c = GetParam();
    EXPECT_EQ(numberedPath(c.path, c.index, c.total), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, NumberedPath,
                         ::testing::Values(Numbered{"out.png", 0, 1, "out.png"},
                                           Numbered{"out.png", 0, 9, "out-1.png"},
                                           Numbered{"out.png", 0, 20, "out-01.png"},
                                           Numbered{"dir/out.png", 9, 10, "dir/out-10.png"},
                                           Numbered{"a.b/plot", 1, 3, "a.b/plot-2"},
                                           Numbered{"x.tar.svg", 99, 100, "x.tar-100.svg"}));

RunRecord measuredRecord() {
    RunRecord r;
    r.plan = {4, 100, 12};
    r.growth.halfSide = 50;
    r.growth.launchRadius = 56;
    r.growth.particles = 1000;
    r.growth.walkersKilled = 300;
    r.growth.steps = 123456789;
    r.sites = 999;
    r.radiusOfGyration = 27.5;
    DimensionEstimate e;
    e.dimension = 1.625;
    e.points = {{5, 10.0, 0.0, 0.0},
                {10, 31.0, std::log(2.0), std::log(3.1)},
                {15, 60.0, std::log(3.0), std::log(6.0)}};
    e.draws = 4000;
    r.estimate = e;
    r.fit = fitLine(e.points);
    return r;
}

TEST(RunJson, CarriesTheRunsFieldsAndItsFit) {
    const std::string json = runJson(measuredRecord(), 10);
    for (const char* member :
         {R"("type":"run")", R"("run":5)", R"("runs":10)", R"("size":100)", R"("seed":12)",
          R"("half_side":50)", R"("particles":1000)", R"("sites":999)", R"("walkers_killed":300)",
          R"("launch_radius":56)", R"("steps":123456789)", R"("dimension":1.625)",
          R"("fit":{"points":[{"side":5,"mean_mass":10,)", R"("r_squared":)",
          R"("slope_standard_error":)", R"("draws":4000)", R"("grow_seconds":)",
          R"("estimate_seconds":)", R"("radius_of_gyration":27.5)"}) {
        EXPECT_NE(json.find(member), std::string::npos) << member << " in " << json;
    }
}

TEST(RunJson, UnmeasuredClockSeededRunHasNulls) {
    RunRecord r;
    r.plan = {0, 50, std::nullopt};
    const std::string json = runJson(r, 1);
    EXPECT_NE(json.find(R"("seed":null)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("dimension":null)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("fit":null)"), std::string::npos) << json;
    EXPECT_EQ(fitCsvRows(r), "");
    EXPECT_NE(runLine(r, 1).find("D=- (N < 100)"), std::string::npos);
}

TEST(FitCsv, OneRowPerSideWithTheRunsFit) {
    const RunRecord r = measuredRecord();
    const std::vector<std::string> rows = test::splitLines(fitCsvRows(r));
    ASSERT_EQ(rows.size(), 3u);
    const auto columns = [](const std::string& line) {
        return std::count(line.begin(), line.end(), ',') + 1;
    };
    EXPECT_EQ(columns(fitCsvHeader()), 10);
    for (const std::string& row : rows) EXPECT_EQ(columns(row), 10) << row;
    EXPECT_EQ(rows[0].rfind("5,12,100,5,10,0,0,", 0), 0u) << rows[0];
    EXPECT_EQ(rows[2].rfind("5,12,100,15,60,", 0), 0u) << rows[2];
}

TEST(RunLine, ShowsDimensionWithItsError) {
    const std::string line = runLine(measuredRecord(), 10);
    EXPECT_NE(line.find("run 5/10"), std::string::npos) << line;
    EXPECT_NE(line.find("seed=12"), std::string::npos) << line;
    EXPECT_NE(line.find("D=1.6250 ± "), std::string::npos) << line;
}

}  // namespace
}  // namespace dla::cli

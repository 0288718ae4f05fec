#include "progress.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dla::cli {
namespace {

struct Line {
    std::int64_t done, total, particles;
    double elapsed;
    std::string expected;
};

void PrintTo(const Line& c, std::ostream* os) {
    *os << c.done << "/" << c.total << " runs";
}

class ProgressLine : public ::testing::TestWithParam<Line> {};

TEST_P(ProgressLine, ShowsRunsParticlesElapsedAndTimeLeft) {
    const Line& c = GetParam();
    EXPECT_EQ(progressLine(c.done, c.total, c.particles, c.elapsed, 10), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgressLine,
    ::testing::Values(
        Line{0, 20, 0, 0.4, "[..........] 0/20 runs  0 particles  0:00 elapsed  ? left"},
        Line{5, 20, 18453, 3.0, "[###.......] 5/20 runs  18453 particles  0:03 elapsed  0:09 left"},
        Line{10, 20, 1, 90.0, "[#####.....] 10/20 runs  1 particles  1:30 elapsed  1:30 left"},
        Line{1, 3, 7, 3600.0, "[###.......] 1/3 runs  7 particles  1:00:00 elapsed  2:00:00 left"},
        Line{4, 4, 9, 61.0, "[##########] 4/4 runs  9 particles  1:01 elapsed  0:00 left"}));

TEST(ProgressBar, DisabledWritesNothingEnabledRedrawsAndErases) {
    std::ostringstream off;
    ProgressBar silent(off, false, 3);
    silent.update(1, 10);
    silent.finish();
    EXPECT_EQ(off.str(), "");

    std::ostringstream on;
    ProgressBar bar(on, true, 3);
    bar.finish();
    EXPECT_EQ(on.str(), "") << "nothing to erase before the first draw";
    bar.update(1, 10);
    bar.finish();
    const std::string text = on.str();
    EXPECT_EQ(text.rfind("\r[", 0), 0u);
    EXPECT_NE(text.find("1/3 runs  10 particles"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\x1b[K");
}

}  // namespace
}  // namespace dla::cli

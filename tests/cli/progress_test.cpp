// The progress bar's time left: one run's follows the growth law of its cost, several runs' the
// rate so far, and the estimate after the last particle is said, not counted down.
#include "progress.h"

#include <gtest/gtest.h>

namespace dla::cli {
namespace {

bool endsWith(const std::string& line, const std::string& tail) {
    return line.size() >= tail.size() &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Progress, TimeLeftFollowsHowARunGrows) {
    // 10^5 of 10^6 particles in 10 s: 10 (10^1.25 - 1) s = 2:48 more, not 1:30 at a constant rate.
    Progress one{0, 1, 100'000, 1'000'000, 0, 10.0};
    EXPECT_TRUE(endsWith(progressLine(one), "0:10 elapsed  2:48 left")) << progressLine(one);
    // A resumed run's time counts from where it was resumed.
    Progress resumed{0, 1, 200'000, 1'000'000, 100'000, 10.0};
    EXPECT_TRUE(endsWith(progressLine(resumed), "1:52 left")) << progressLine(resumed);
    Progress several{1, 4, 100'000, 400'000, 0, 10.0};
    EXPECT_TRUE(endsWith(progressLine(several), "0:30 left")) << progressLine(several);
    Progress measuring{0, 1, 1'000'000, 1'000'000, 0, 30.0};
    EXPECT_TRUE(endsWith(progressLine(measuring), "elapsed  measuring")) << progressLine(measuring);
    Progress sized{0, 3, 5000, std::nullopt, 0, 1.0};
    EXPECT_TRUE(endsWith(progressLine(sized), "? left")) << progressLine(sized);
}

}  // namespace
}  // namespace dla::cli

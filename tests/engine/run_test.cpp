// The front door: a run of either walker grows and measures as the engine's parts do, and a
// saved run goes on as if it had never stopped.
#include "run.h"

#include <gtest/gtest.h>

#include <sstream>

#include "large/large_growth.h"

namespace dla {
namespace {

// The large lattice held to single steps grows the window's aggregate draw for draw; restored
// and measured through the front door, its estimate is then the window run's, draw for draw.
TEST(RunTest, LargeRunMeasuresAsTheWindowRun) {
    dla::Run window({Walker::Literal, 150, {}, kWindowKillFactor, 11});
    ASSERT_TRUE(window.grow());
    LargeGrowth steps(LargeGrowthOptions{150, {}, kWindowKillFactor, 1}, FastGenerator::seeded(11));
    steps.grow();
    std::stringstream saved;
    steps.save(saved);
    const std::unique_ptr<dla::Run> large = dla::Run::restore(saved);
    const RunResult &a = window.result(), &b = large->result();
    ASSERT_TRUE(a.estimate && b.estimate);
    EXPECT_EQ(std::pair(b.estimate->draws, b.estimate->dimension),
              std::pair(a.estimate->draws, a.estimate->dimension));
    EXPECT_EQ(std::tuple(b.sites, b.radiusOfGyration, b.historyDimension),
              std::tuple(a.sites, a.radiusOfGyration, a.historyDimension));
}

// Every front end writes a hash as 16 hex digits, so that the texts compare: this one, of
// --size 30 --seed 8, is below 2^60.
TEST(RunTest, HashTextKeepsItsLeadingZero) {
    dla::Run run({Walker::Jump, 30, {}, kWindowKillFactor, 8});
    ASSERT_TRUE(run.grow());
    EXPECT_EQ(hashText(*run.result().hash), "09d9a8cb8f67db7a");
}

}  // namespace
}  // namespace dla

#include "random_source.h"

#include <gtest/gtest.h>

#include <cmath>

#include "recording_toolkit.h"
#include "scripted_generator.h"

namespace dla {
namespace {

// The i-th draw of a numbered script: distinct values in [0, 1).
double d(std::size_t i) {
    return static_cast<double>(i) / 1024.0;
}

struct Numbered : ::testing::Test {
    test::RecordingToolkit toolkit;
    std::shared_ptr<test::Script> script = std::make_shared<test::Script>();
    RandomSource<test::ScriptedGenerator> source{test::ScriptedGenerator(script), toolkit};
    void SetUp() override {
        for (std::size_t i = 1; i <= 300; ++i) script->values.push_back(d(i));
    }
};

// d1..d97 are thrown away, d98..d194 fill v(1)..v(97), d195 goes to y and is replaced by d196,
// which selects j; the result is d(97 + j), and d197 refills v(j). The next call draws d198 to
// select and d199 to refill. Only the sign of idum counts.
TEST_F(Numbered, ReinitialisationAndTheNextCallFollowTheDrawSequence) {
    const std::int16_t idum = -32768;
    const auto j = static_cast<std::size_t>(1 + std::floor(97.0 * d(196)));
    EXPECT_EQ(source.Random(idum), d(97 + j));
    EXPECT_EQ(source.table().v[j], d(197));
    EXPECT_EQ(script->draws, 197u);
    EXPECT_EQ(script->reseeds, 1u);
    const auto next = static_cast<std::size_t>(1 + std::floor(97.0 * d(198)));
    const double held = source.table().v[next];
    EXPECT_EQ(source.Random(5), held);
    EXPECT_EQ(source.table().v[next], d(199));
    EXPECT_EQ(script->draws, 199u);
}

// A selecting draw of 0 picks v(1), the largest draw below 1 v(97); a draw of 1, which no
// generator of ours gives, shows "Error" and takes v(97).
TEST_F(Numbered, SelectingDrawsAtAndBeyondTheEnds) {
    for (const double select : {0.0, 1.0 - 0x1.0p-53, 1.0}) {
        script->values[195] = select;
        script->draws = 0;
        EXPECT_EQ(source.Random(-1), d(select == 0.0 ? 98 : 194)) << select;
    }
    EXPECT_EQ(toolkit.messages(), std::vector<std::string>{"Error"});
}

}  // namespace
}  // namespace dla

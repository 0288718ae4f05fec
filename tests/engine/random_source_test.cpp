#include "random_source.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scripted_generator.h"

namespace dla {
namespace {

// With the draws d(1), d(2), ... (distinct, in [0, 1)): d1..d97 are thrown away, d98..d194 fill
// v(1)..v(97), d195 goes to y and is replaced by d196, which selects j; the result is d(97 + j),
// and d197 refills v(j). The next call draws d198 to select and d199 to refill. Only the sign of
// idum counts.
TEST(RandomSourceTest, ReinitialisationAndTheNextCallFollowTheDrawSequence) {
    const auto d = [](std::size_t i) { return static_cast<double>(i) / 1024.0; };
    auto script = std::make_shared<test::Script>();
    for (std::size_t i = 1; i <= 199; ++i) script->values.push_back(d(i));
    SilentToolkit toolkit;
    RandomSource source(test::ScriptedGenerator(script), toolkit);
    const auto j = static_cast<std::size_t>(1 + std::floor(97.0 * d(196)));
    EXPECT_EQ(source.Random(-32768), d(97 + j));
    EXPECT_EQ(source.table().v[j], d(197));
    EXPECT_EQ(script->reseeds, 1u);
    const auto next = static_cast<std::size_t>(1 + std::floor(97.0 * d(198)));
    const double held = source.table().v[next];
    EXPECT_EQ(source.Random(5), held);
    EXPECT_EQ(source.table().v[next], d(199));
    EXPECT_EQ(script->draws, 199u);
}

}  // namespace
}  // namespace dla

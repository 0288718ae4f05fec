// Command lines that must be taken, and what they mean; the refused ones run the program.
#include "options.h"

#include <gtest/gtest.h>

#include "output_paths.h"

namespace dla::cli {
namespace {

TEST(Options, AcceptedCommandLinesMeanWhatTheySay) {
    EXPECT_EQ(parseOptions({}, 3).threads, 3);
    // Leading zeros are decimal; the last of a repeated option counts.
    const Options o = parseOptions({"--size=0050,7", "--runs", "20", "--walk", "literal",
                                    "--threads=1", "--threads", "2", "-q", "--json"});
    EXPECT_EQ(o.sizes, (std::vector<std::int32_t>{50, 7}));
    EXPECT_EQ(o.totalRuns(), 40);
    EXPECT_EQ(o.walk, Walk::Literal);
    EXPECT_EQ(o.threads, 2);
    EXPECT_TRUE(o.quiet && o.json);
    EXPECT_EQ(parseOptions({"--seed", "18446744073709551615"}).seed, 18446744073709551615u);
    EXPECT_TRUE(parseOptions({"-h"}).help);

    // The largest picture under the limit; numbered names none of which is the fit's.
    const Options files = parseOptions({"--image", "x.png", "--scale", "18", "--size", "1000",
                                        "--plot", "x.svg", "--fit", "x-3.png", "--runs", "2"});
    EXPECT_EQ(files.scale, 18);
    EXPECT_NO_THROW(checkDistinctOutputs(files));
}

}  // namespace
}  // namespace dla::cli

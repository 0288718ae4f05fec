#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dla::cli {
namespace {

struct Accepted {
    std::vector<std::string> args;
    std::vector<std::int32_t> sizes;
    std::int64_t runs;
    std::optional<std::uint64_t> seed;
    int threads;
};

void PrintTo(const Accepted& c, std::ostream* os) {
    for (const std::string& a : c.args) *os << a << ' ';
}

class AcceptedOptions : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedOptions, ParseToTheirValues) {
    const Accepted& c = GetParam();
    const Options o = parseOptions(c.args, 3);
    EXPECT_EQ(o.sizes, c.sizes);
    EXPECT_EQ(o.runs, c.runs);
    EXPECT_EQ(o.seed, c.seed);
    EXPECT_EQ(o.threads, c.threads);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptedOptions,
    ::testing::Values(
        Accepted{{}, {200}, 1, std::nullopt, 3},
        Accepted{{"--size", "1000"}, {1000}, 1, std::nullopt, 3},
        Accepted{{"--size=1"}, {1}, 1, std::nullopt, 3},
        Accepted{{"--size", "0050"}, {50}, 1, std::nullopt, 3},
        Accepted{{"--size", "100,200,400"}, {100, 200, 400}, 1, std::nullopt, 3},
        Accepted{{"--runs", "20", "--seed", "1"}, {200}, 20, 1u, 3},
        Accepted{{"--seed", "0"}, {200}, 1, 0u, 3},
        Accepted{{"--seed", "18446744073709551615"}, {200}, 1, 18446744073709551615u, 3},
        Accepted{{"--threads=1", "--size", "300", "--size", "400"}, {400}, 1, std::nullopt, 1},
        Accepted{{"--threads", "256"}, {200}, 1, std::nullopt, 256}));

struct Refused {
    std::vector<std::string> args;
    std::string mentions;  // a part of the one-line message
};

void PrintTo(const Refused& c, std::ostream* os) {
    for (const std::string& a : c.args) *os << a << ' ';
}

class RefusedOptions : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedOptions, GiveOneClearLine) {
    const Refused& c = GetParam();
    try {
        (void)parseOptions(c.args);
        FAIL() << "accepted";
    } catch (const UsageError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(c.mentions), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedOptions,
    ::testing::Values(Refused{{"--size", "abc"}, "--size needs a whole number, got 'abc'"},
                      Refused{{"--size", "-5"}, "--size must not be negative"},
                      Refused{{"--size", "1001"}, "--size must be at most 1000"},
                      Refused{{"--size", "0"}, "--size must be at least 1"},
                      Refused{{"--size", "99999999999999999999999"}, "--size must be at most 1000"},
                      Refused{{"--size", "12.5"}, "whole number, got '12.5'"},
                      Refused{{"--size", "+7"}, "whole number"},
                      Refused{{"--size", " 7"}, "whole number"},
                      Refused{{"--size", ""}, "whole number"},
                      Refused{{"--size", "100,,200"}, "whole number, got ''"},
                      Refused{{"--size", "100,200,"}, "whole number, got ''"},
                      Refused{{"--size", "100,100"}, "lists 100 twice"},
                      Refused{{"--size"}, "--size needs a value"},
                      Refused{{"--runs", "0"}, "--runs must be at least 1"},
                      Refused{{"--runs", "-1"}, "--runs must not be negative"},
                      Refused{{"--runs", "ten"}, "--runs needs a whole number"},
                      Refused{{"--threads", "0"}, "--threads must be at least 1"},
                      Refused{{"--threads", "257"}, "--threads must be at most 256"},
                      Refused{{"--seed", "-1"}, "--seed must not be negative"},
                      Refused{{"--seed", "18446744073709551616"}, "--seed must be at most"},
                      Refused{{"--seed", "18446744073709551615", "--runs", "2"},
                              "--seed is too large for 2 runs"},
                      Refused{{"--walk", "fast"}, "--walk must be literal or jump, got 'fast'"},
                      Refused{{"--walk=Jump"}, "--walk must be literal or jump, got 'Jump'"},
                      Refused{{"--walk"}, "--walk needs a value"},
                      Refused{{"--scale", "0"}, "--scale must be at least 1"},
                      Refused{{"--scale", "65"}, "--scale must be at most 64"},
                      Refused{{"--image"}, "--image needs a value"},
                      Refused{{"--image="}, "--image needs a file name"},
                      Refused{{"--fit", "f.csv", "--size", "99"},
                              "--fit needs every size to be at least 100"},
                      Refused{{"--plot", "p.svg", "--size", "100,50"}, "--plot needs every size"},
                      Refused{{"--sizes", "10"}, "unknown option '--sizes'"},
                      Refused{{"--json=yes"}, "--json takes no value"},
                      Refused{{"-x"}, "unexpected argument '-x'"},
                      Refused{{"200"}, "unexpected argument '200'"}));

TEST(Options, FlagsAndFilesAreTakenAsGiven) {
    const Options o = parseOptions({"--json", "--quiet", "--image", "a.png", "--scale", "3",
                                    "--fit=f.csv", "--plot", "p.svg", "--size", "100"});
    EXPECT_TRUE(o.json);
    EXPECT_TRUE(o.quiet);
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.imagePath, "a.png");
    EXPECT_EQ(o.scale, 3);
    EXPECT_EQ(o.fitPath, "f.csv");
    EXPECT_EQ(o.plotPath, "p.svg");
    EXPECT_TRUE(parseOptions({"-h"}).help);
    EXPECT_TRUE(parseOptions({"--help"}).help);
}

TEST(Options, ValueThatLooksLikeAnOptionIsStillTheValue) {
    // "--runs --json" must not read --json as a flag and leave --runs without its number.
    try {
        (void)parseOptions({"--runs", "--json"});
        FAIL() << "accepted";
    } catch (const UsageError& e) {
        EXPECT_NE(std::string(e.what()).find("--runs needs a whole number, got '--json'"),
                  std::string::npos);
    }
}

TEST(Options, WalkIsJumpUnlessLiteralIsAsked) {
    EXPECT_EQ(parseOptions({}).growth.walk, Walk::Jump);
    EXPECT_EQ(parseOptions({"--walk", "literal"}).growth.walk, Walk::Literal);
    EXPECT_EQ(parseOptions({"--walk=jump"}).growth.walk, Walk::Jump);
    EXPECT_EQ(parseOptions({"--walk", "literal", "--walk", "jump"}).growth.walk, Walk::Jump);
    EXPECT_EQ(parseOptions({}).growth.largestJump, GrowthOptions{}.largestJump);
}

TEST(Options, TotalRunsCountEverySize) {
    EXPECT_EQ(parseOptions({"--size", "100,200,300", "--runs", "4"}).totalRuns(), 12);
}

TEST(Options, HelpNamesEveryOptionAndGivesAnExample) {
    const std::string help = helpText();
    for (const char* option : {"--size", "--runs", "--seed", "--threads", "--json", "--quiet",
                               "--image", "--scale", "--fit", "--plot", "--walk", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_NE(help.find("dla-cli --size 200 --runs 20 --seed 1"), std::string::npos);
}

}  // namespace
}  // namespace dla::cli

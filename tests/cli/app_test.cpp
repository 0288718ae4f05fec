#include "app.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "fractal_dimension.h"
#include "output_file.h"
#include "png_image.h"
#include "test_support.h"

namespace dla::cli {
namespace {

struct Outcome {
    int exitCode;
    std::string out;
    std::string err;
};

Outcome run(const std::vector<std::string>& args, bool terminal = false) {
    std::ostringstream out, err;
    const int code = runCli(args, out, err, terminal, 2);
    return {code, out.str(), err.str()};
}

// JSON lines without the members that measure time, which no two runs share.
std::vector<std::string> withoutTimings(const std::string& jsonLines) {
    std::vector<std::string> lines;
    for (const std::string& line : test::splitLines(jsonLines)) {
        lines.push_back(
            std::regex_replace(line, std::regex(R"(,"(grow|estimate)_seconds":[^,}]+)"), ""));
    }
    return lines;
}

struct BadCommandLine {
    std::string args;
    std::string message;
};

void PrintTo(const BadCommandLine& c, std::ostream* os) {
    *os << c.args;
}

class ProgramRefuses : public ::testing::TestWithParam<BadCommandLine> {};

TEST_P(ProgramRefuses, WithOneLineOnStderrAndStatus2) {
    const test::CommandResult r =
        test::runCommand(std::string(DLA_CLI_PROGRAM) + " " + GetParam().args + " 2>&1 >/dev/null");
    EXPECT_EQ(r.exitCode, kExitUsage);
    EXPECT_EQ(r.out, "dla-cli: " + GetParam().message + " (see --help)\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgramRefuses,
    ::testing::Values(BadCommandLine{"--size abc", "--size needs a whole number, got 'abc'"},
                      BadCommandLine{"--size 1001", "--size must be at most 1000, got '1001'"},
                      BadCommandLine{"--runs -2", "--runs must not be negative, got '-2'"},
                      BadCommandLine{"--frobnicate", "unknown option '--frobnicate'"},
                      BadCommandLine{"--seed", "--seed needs a value"}));

TEST(Program, HelpGoesToStdoutWithStatus0) {
    const test::CommandResult r =
        test::runCommand(std::string(DLA_CLI_PROGRAM) + " --help 2>/dev/null");
    EXPECT_EQ(r.exitCode, kExitOk);
    EXPECT_EQ(r.out.rfind("Usage: dla-cli", 0), 0u);
}

TEST(Program, JsonLinesAreValidAndCarryEveryField) {
    test::ScratchFolder folder;
    const std::string output = folder.file("runs.jsonl");
    const test::CommandResult r = test::runCommand(
        std::string(DLA_CLI_PROGRAM) + " --size 50,100 --runs 2 --seed 3 --json --threads 2 > " +
        test::shellQuote(output) + " 2>/dev/null");
    ASSERT_EQ(r.exitCode, 0);
    const std::string script = R"(
import json, sys
lines = open(sys.argv[1]).read().splitlines()
objects = [json.loads(l) for l in lines]
keys = ['size', 'half_side', 'particles', 'sites', 'walkers_killed', 'launch_radius', 'steps', 'jumps', 'dimension',
        'grow_seconds', 'estimate_seconds', 'seed', 'fit', 'radius_of_gyration']
for o in objects[:-1]:
    assert o['type'] == 'run', o
    missing = [k for k in keys if k not in o]
    assert not missing, missing
    assert (o['dimension'] is None) == (o['size'] < 100), o
    assert (o['fit'] is None) == (o['size'] < 100), o
s = objects[-1]
assert s['type'] == 'summary'
print(len(objects), [o['seed'] for o in objects[:-1]], s['runs'], s['dimension']['runs'], len(s['by_size']),
      s['mass_radius'] is not None)
)";
    const std::string scriptPath = folder.file("check.py");
    writeFileAtomically(scriptPath, script);
    const test::CommandResult check = test::runCommand("python3 " + test::shellQuote(scriptPath) +
                                                       " " + test::shellQuote(output) + " 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_EQ(check.out, "5 [3, 4, 5, 6] 4 2 2 True\n");
}

TEST(Program, DoneMeansMeanDimensionOfTwentySeededRuns) {
    const Outcome o = run({"--size", "200", "--runs", "20", "--seed", "1", "--json"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const std::vector<std::string> lines = test::splitLines(o.out);
    ASSERT_EQ(lines.size(), 21u);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(lines.back(), m,
                                  std::regex(R"("dimension":\{"runs":20,"mean":([0-9.eE+-]+))")))
        << lines.back();
    const double mean = std::stod(m[1]);
    EXPECT_GT(mean, 1.55);
    EXPECT_LT(mean, 1.85);
    EXPECT_NE(o.err.find("size  runs  particles"), std::string::npos) << "summary table on stderr";
}

TEST(App, SameSeedSameResults) {
    const Outcome first = run({"--size", "120", "--runs", "3", "--seed", "5", "--json"});
    const Outcome second =
        run({"--size", "120", "--runs", "3", "--seed", "5", "--json", "--threads", "1"});
    ASSERT_EQ(first.exitCode, 0);
    EXPECT_EQ(withoutTimings(first.out), withoutTimings(second.out));

    // The third run (seed 7) repeated alone.
    const Outcome alone = run({"--size", "120", "--seed", "7", "--json"});
    const std::string third = withoutTimings(first.out)[2];
    const std::string repeated = withoutTimings(alone.out)[0];
    const auto body = [](const std::string& line) { return line.substr(line.find("\"size\"")); };
    EXPECT_NE(third.find(R"("seed":7)"), std::string::npos);
    EXPECT_EQ(body(third), body(repeated));
}

TEST(App, ClockSeededRunsPrintNullSeedAndDiffer) {
    const Outcome o = run({"--size", "60", "--runs", "2", "--json"});
    ASSERT_EQ(o.exitCode, 0);
    const std::vector<std::string> lines = withoutTimings(o.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(R"("seed":null)"), std::string::npos);
    const auto body = [](const std::string& line) { return line.substr(line.find("\"size\"")); };
    EXPECT_NE(body(lines[0]), body(lines[1]));
}

// The literal walker takes single steps only; the jump walker mostly jumps. Both give an
// aggregate that ends the run outside the square.
TEST(App, WalkChoosesTheWalker) {
    std::smatch m;
    const std::regex counts(R"("half_side":(\d+),"particles":(\d+).*"steps":(\d+),"jumps":(\d+))");
    for (const char* walk : {"literal", "jump"}) {
        SCOPED_TRACE(walk);
        const Outcome o = run({"--size", "60", "--seed", "4", "--json", "--walk", walk});
        ASSERT_EQ(o.exitCode, 0) << o.err;
        const std::string line = test::splitLines(o.out).at(0);
        ASSERT_TRUE(std::regex_search(line, m, counts)) << line;
        EXPECT_GT(std::stol(m[2]), 100);
        const long steps = std::stol(m[3]), jumps = std::stol(m[4]);
        if (std::string(walk) == "literal") {
            EXPECT_EQ(jumps, 0);
            EXPECT_GT(steps, 10000);
        } else {
            EXPECT_GT(jumps, steps);
        }
    }
}

TEST(App, TextLinesAndSummaryTable) {
    const Outcome o = run({"--size", "100,150", "--seed", "2"});
    ASSERT_EQ(o.exitCode, 0);
    const std::vector<std::string> lines = test::splitLines(o.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("run 1/2  N=100  seed=2  particles=", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("run 2/2  N=150  seed=3  particles=", 0), 0u) << lines[1];
    const std::vector<std::string> table = test::splitLines(o.err);
    ASSERT_EQ(table.size(), 5u) << o.err;
    EXPECT_EQ(table[1].rfind("100   1     ", 0), 0u) << table[1];
    EXPECT_EQ(table[3].rfind("all   2     ", 0), 0u) << table[3];
    EXPECT_EQ(table[4].rfind("mass-radius dimension", 0), 0u) << table[4];
}

TEST(App, WritesImagesPlotsAndFitForEveryRun) {
    test::ScratchFolder folder;
    const Outcome o = run({"--size", "100", "--runs", "2", "--seed", "1", "--json", "--image",
                           folder.file("agg.png"), "--scale", "2", "--plot", folder.file("fit.svg"),
                           "--fit", folder.file("fit.csv")});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"agg-1.png", "agg-2.png", "fit-1.svg",
                                                          "fit-2.svg", "fit.csv"}));
    const Image image = test::decodePng(folder.file("agg-1.png"));
    EXPECT_EQ(image.width, image.height);
    EXPECT_EQ(image.width % 2, 0) << "two pixels a site";
    EXPECT_EQ((image.width / 2) % 2, 1) << "an odd number of sites, the seed in the middle";
    EXPECT_EQ(image.at(image.width / 2, image.height / 2), kSeedMark);
    const std::vector<std::string> rows = test::splitLines(test::readFile(folder.file("fit.csv")));
    EXPECT_EQ(rows.size(), 1 + 2 * boxSides(100).size());
    EXPECT_NE(test::readFile(folder.file("fit-2.svg")).find("N = 100, seed 2"), std::string::npos);
}

TEST(App, UnwritableOutputStopsBeforeAnyRun) {
    test::ScratchFolder folder;
    for (const char* option : {"--image", "--plot", "--fit"}) {
        const std::string path = folder.file("missing/out.file");
        const Outcome o = run({"--size", "100", "--seed", "1", option, path});
        EXPECT_EQ(o.exitCode, kExitFileError) << option;
        EXPECT_EQ(o.out, "") << option;
        EXPECT_EQ(o.err, "dla-cli: cannot write '" + path + "': No such file or directory\n")
            << option;
    }
    EXPECT_TRUE(folder.entries().empty());
}

TEST(App, ProgressOnlyOnATerminalAndNotWhenQuiet) {
    const std::vector<std::string> args{"--size", "40", "--runs",    "2",
                                        "--seed", "1",  "--threads", "1"};
    const Outcome terminal = run(args, true);
    EXPECT_NE(terminal.err.find("\r[........................] 0/2 runs  0 particles"),
              std::string::npos)
        << terminal.err;
    EXPECT_EQ(run(args, false).err.find('\r'), std::string::npos);
    std::vector<std::string> quiet = args;
    quiet.push_back("--quiet");
    EXPECT_EQ(run(quiet, true).err.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace dla::cli

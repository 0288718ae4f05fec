// Parts of a plan (--shard) and their merge: which runs a part makes, what merge refuses, and
// that the parts merge to the summary of the whole.
#include "merge.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app.h"
#include "runner.h"
#include "test_support.h"

namespace dla::cli {
namespace {

struct Ran {
    int status;
    std::string out, err;
};

Ran run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runCli(args, out, err, false, 2);
    return {status, out.str(), err.str()};
}

TEST(Shard, PartsDealTheRunsInTurnKeepingTheirIndicesAndSeeds) {
    Options o =
        parseOptions({"--size", "100,200", "--runs", "3", "--seed", "10", "--shard", "2/4"});
    std::vector<std::tuple<std::int64_t, std::int32_t, std::uint64_t>> got;
    for (const RunPlan& p : planRuns(o)) got.emplace_back(p.index, p.size, *p.seed);
    EXPECT_EQ(got, (decltype(got){{1, 100, 11}, {5, 200, 15}}));
    o.shard = parseShard("7/7");  // more parts than runs: an empty part
    EXPECT_TRUE(planRuns(o).empty());
}

TEST(Shard, RefusesWhatIsNotAPartOfTheRuns) {
    for (const auto& [value, says] : std::vector<std::pair<std::string, std::string>>{
             {"0/3", "needs I from 1 to K, got '0/3'"},
             {"4/3", "needs I from 1 to K"},
             {"1/0", "needs K from 1 to 1000000"},
             {"1/1000001", "needs K from 1"},
             {"two/3", "needs I/K"},
             {"1/3/3", "needs I/K"},
             {"-1/3", "needs I/K"},
             {" 1/3", "needs I/K"},
             {"--x", "needs a value, got the option '--x'"}}) {
        const Ran r = run({"--seed", "1", "--shard", value});
        EXPECT_EQ(r.status, kExitUsage) << value;
        EXPECT_NE(r.err.find("--shard: " + says), std::string::npos) << r.err;
    }
    EXPECT_NE(run({"--shard", "1/2"}).err.find("--shard needs --seed"), std::string::npos);
}

class Merge : public ::testing::Test {
  protected:
    // Three parts of a plan with runs below and above the smallest measured size.
    void SetUp() override {
        for (int i = 1; i <= 3; ++i) {
            parts_.push_back(write("part" + std::to_string(i),
                                   run({"--size", "30,100", "--runs", "4", "--seed", "5", "--json",
                                        "--shard", std::to_string(i) + "/3"})
                                       .out));
        }
    }

    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(folder_.file(name)) << text;
        return folder_.file(name);
    }

    // The lines of part `i` (1-based) with `edit` applied, as a new file.
    std::string edited(int i, const std::function<void(std::vector<std::string>&)>& edit) {
        std::istringstream in(test::readFile(parts_[static_cast<std::size_t>(i - 1)]));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        edit(lines);
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        return write("edited" + std::to_string(++edits_), text);
    }

    test::ScratchFolder folder_;
    std::vector<std::string> parts_;
    int edits_ = 0;
};

TEST_F(Merge, PartsGiveTheSummaryOfTheWhole) {
    const Ran whole = run({"--size", "30,100", "--runs", "4", "--seed", "5", "--json"});
    const Ran merged = run({"merge", "--json", parts_[2], parts_[0], parts_[1]});
    ASSERT_EQ(merged.status, kExitOk) << merged.err;
    EXPECT_EQ(merged.out, whole.out.substr(whole.out.rfind("\n{") + 1));
    EXPECT_EQ(merged.err, whole.err);
    // A whole run merges to itself.
    const Ran alone = run({"merge", write("whole", whole.out)});
    EXPECT_EQ(alone.err, whole.err);
}

TEST_F(Merge, RefusesWithALineNamingTheProblem) {
    const auto replace = [](std::string& s, const std::string& from, const std::string& to) {
        const std::size_t at = s.find(from);
        if (at != std::string::npos) s.replace(at, from.size(), to);
    };
    const std::string& p1 = parts_[0];
    const std::string& p3 = parts_[2];
    const struct {
        std::vector<std::string> files;
        std::string says;
    } cases[] = {
        {{p1, p3}, "no file holds part 2 of 3"},
        {{p1, p3, parts_[1], p3}, "are both part 3 of 3"},
        {{p1, p3, edited(2, [](auto& l) { l.erase(l.begin()); })}, "summary counts 3 runs but"},
        {{p1, p3, edited(2, [](auto& l) { l.pop_back(); })}, "has no summary line"},
        {{p1, p3, edited(2, [&](auto& l) { replace(l[0], "\"run\":2", "\"run\":3"); })},
         "line 1: run 3 is not in part 2 of 3"},
        {{p1, p3, edited(2, [&](auto& l) { replace(l[0], "\"run\":2", "\"run\":99"); })},
         "run 99 is beyond the 8 runs"},
        {{p1, p3,
          edited(2,
                 [&](auto& l) {
                     replace(l[0], "\"run\":2", "\"run\":8");
                     replace(l[2], "\"run\":8", "\"run\":2");
                 })},
         "size its plan gives another run"},
        {{p1, p3, edited(2, [&](auto& l) { replace(l[1], "\"seed\":9", "\"seed\":10"); })},
         "line 2: run 5 has a seed"},
        {{p1, p3, edited(2, [&](auto& l) { replace(l.back(), "\"jump\"", "\"literal\""); })},
         "come from different plans: their \"walk\" differs"},
        {{p1, p3, edited(2, [](auto& l) { l[1] = l[0]; })}, "run 2 appears a second time"},
        {{p1, p3, edited(2, [&](auto& l) { replace(l[0], "\"particles\":", "\"particles\":-"); })},
         "\"particles\" must be a whole number from 0"},
        {{p1, p3,
          edited(2, [&](auto& l) { replace(l[0], "\"sites\":", "\"sites\":1e400,\"x\":"); })},
         "line 1: is not valid JSON"},
        {{edited(1, [&](auto& l) { replace(l[0], "{", "{\"run\":1,"); })},
         "repeats the key \"run\""},
        {{edited(1, [](auto& l) { l[0] = std::string(40, '[') + std::string(40, ']'); })},
         "nests deeper"},
        {{edited(1, [](auto& l) { l[0] = "{\"type\":\"run\",\"run\":[1]}"; })}, "\"run\" must be"},
        {{folder_.file("none")}, "cannot read"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"merge"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const Ran r = run(args);
        EXPECT_EQ(r.status, kExitFileError) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("std::"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace dla::cli

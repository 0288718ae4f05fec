// Parts of a plan (--shard) and their merge: what merge refuses, and that the parts merge to the
// summary of the whole.
#include "merge.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "command.h"
#include "batch/runner.h"
#include "test_support.h"

namespace dla::cli {
namespace {

using test::run;

class Merge : public ::testing::Test {
  protected:
    // Three parts of a plan with runs below and above the smallest measured size.
    void SetUp() override {
        for (int i = 1; i <= 3; ++i) {
            const test::Ran r = run({"--size", "30,100", "--runs", "4", "--seed", "5", "--json",
                                     "--shard", std::to_string(i) + "/3"});
            std::istringstream in(r.out);
            parts_.emplace_back();
            for (std::string line; std::getline(in, line);) parts_.back().push_back(line);
        }
    }

    std::string write(const std::string& text) {
        const std::string path = folder_.file(std::to_string(++files_) + ".json");
        std::ofstream(path) << text;
        return path;
    }

    // Part `part` (1-based) as a file, with `from` replaced by `to` in its line `line` (-1: the
    // last, -2: none); an empty `from` replaces the whole line.
    std::string part(int part, int line = -2, const std::string& from = "",
                     const std::string& to = "") {
        std::vector<std::string> lines = parts_[static_cast<std::size_t>(part - 1)];
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string& l = lines[i];
            if (line == static_cast<int>(i) || (line == -1 && i + 1 == lines.size()))
                l = from.empty() ? to : l.replace(l.find(from), from.size(), to);
            text += l + "\n";
        }
        return write(text);
    }

    test::ScratchFolder folder_;
    std::vector<std::vector<std::string>> parts_;
    int files_ = 0;
};

TEST_F(Merge, PartsGiveTheSummaryAndTheFitsOfTheWhole) {
    const test::Ran whole = run({"--size", "30,100", "--runs", "4", "--seed", "5", "--json"});
    const test::Ran merged = run({"merge", "--json", part(3), part(1), part(2)});
    ASSERT_EQ(merged.status, kExitOk) << merged.err;
    EXPECT_EQ(merged.out, whole.out.substr(whole.out.rfind("\n{") + 1));
    EXPECT_EQ(merged.err, whole.err);
    // The fit file of a plan whose runs are all measured, from parts that take no --fit.
    const std::string wholeFit = folder_.file("whole.csv"), mergedFit = folder_.file("merged.csv");
    const std::vector<std::string> plan{"--size", "100,120", "--runs", "2",
                                        "--seed", "5",       "--json"};
    const std::string wholeCsv = folder_.file("whole-table.csv"),
                      mergedCsv = folder_.file("merged-table.csv");
    std::vector<std::string> one = plan, merge{"merge", "--fit", mergedFit, "--csv", mergedCsv};
    one.insert(one.end(), {"--fit", wholeFit, "--csv", wholeCsv});
    ASSERT_EQ(run(one).status, kExitOk);
    for (const char* shard : {"1/2", "2/2"}) {
        std::vector<std::string> part = plan;
        part.insert(part.end(), {"--shard", shard});
        merge.push_back(write(run(part).out));
    }
    ASSERT_EQ(run(merge).status, kExitOk);
    EXPECT_EQ(test::readFile(mergedFit), test::readFile(wholeFit));
    // A table on stdout has it to itself: the summary goes to stderr.
    merge[2] = "-";
    const test::Finished piped = test::runProgram(merge);
    EXPECT_EQ(piped.out, test::readFile(wholeFit));
    EXPECT_NE(piped.err.find("size  runs"), std::string::npos) << piped.err;
    // The table's rows, but for the timings and the comments that say what made it.
    const auto rows = [](const std::string& path) {
        std::string kept;
        std::istringstream in(test::readFile(path));
        for (std::string line; std::getline(in, line);) {
            if (!line.starts_with("#"))
                kept += line.substr(0, line.rfind(",", line.rfind(",") - 1)) + "\n";
        }
        return kept;
    };
    EXPECT_EQ(rows(mergedCsv), rows(wholeCsv));
    const std::string table = rows(wholeCsv);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5) << "the names and four runs";
    EXPECT_EQ(run({"merge", "--fit", mergedFit, part(1), part(2), part(3)}).err,
              "dla-cli: --fit needs every size to be at least 100\n");
    // A part written before walker versions, which has none in any line, was grown by version
    // 1, whose moves differ from today's: it does not merge with today's parts.
    const std::string version = ",\"walker_version\":2";
    std::string before;
    for (std::string line : parts_[1]) {
        line.erase(line.find(version), version.size());
        before += line + "\n";
    }
    const test::Ran mixed = run({"merge", "--json", part(1), write(before), part(3)});
    EXPECT_EQ(mixed.status, kExitFileError) << mixed.err;
    EXPECT_NE(mixed.err.find("their \"walker_version\" differs"), std::string::npos) << mixed.err;
}

TEST_F(Merge, RefusesWithALineNamingTheProblem) {
    // The second of the three parts holds runs 2, 5 and 8, seeded 6, 9 and 12.
    const std::string p1 = part(1), p3 = part(3);
    const struct {
        std::vector<std::string> files;
        std::string says;
    } cases[] = {
        {{p1, p3}, "no file holds part 2 of 3"},
        {{p1, p3, part(2), p3}, "are both part 3 of 3"},
        {{p1, p3, part(2, 0, "", "")}, "summary counts 3 runs but"},
        {{p1, p3, part(2, -1, "", "")}, "has no summary line"},
        {{p1, p3, part(2, 0, "\"run\":2", "\"run\":3")}, "line 1: run 3 is not in part 2 of 3"},
        {{p1, p3, part(2, 0, "\"runs\":8", "\"runs\":3")}, "run 2 is not one of the 8 runs"},
        {{p1, p3, part(2, 0, "\"size\":30", "\"size\":100")}, "size its plan gives another"},
        {{p1, p3, part(2, 1, "\"seed\":9", "\"seed\":10")}, "line 2: run 5 has a seed"},
        {{p1, p3,
          part(2, -1, "\"jump\",\"walker_version\":2", "\"literal\",\"walker_version\":null")},
         "plans: their \"walk\" differs"},
        {{p1, p3, part(2, -1, "\"walker_version\":2", "\"walker_version\":3")},
         "plans: their \"walker_version\" differs"},
        {{p1, p3, part(2, 1, "\"walker_version\":2", "\"walker_version\":3")},
         "line 2: run 5 was grown by another walker version"},
        {{part(1, -1, "\"walker_version\":2", "\"walker_version\":0")},
         "\"walker_version\" must be a whole number from 1"},
        {{p1, p3, part(2, 0, "\"kill_factor\":2.0", "\"kill_factor\":3.0")}, "a kill factor its"},
        {{p1, p3, part(2, 0, "\"particle_limit\":null", "\"particle_limit\":9")},
         "a particle limit its"},
        {{part(1, -1, "\"walk\":\"jump\"", "\"walk\":\"jumps\"")}, "\"walk\" must be"},
        {{part(1, -1, "\"kill_factor\":2.0}", "\"kill_factor\":2.0,\"x\":1}")},
         "its plan: is not one that dla-cli writes"},
        {{p1, p3, part(2, 1, "", parts_[1][0])}, "run 2 appears a second time"},
        {{p1, p3, part(2, 0, "\"particles\":", "\"particles\":-")}, "\"particles\" must be"},
        {{p1, p3, part(2, 0, "\"sites\":", "\"x\":1e400,\"sites\":")}, "is not valid JSON"},
        {{part(1, 0, "{", "{\"run\":1,")}, "line 1: repeats the key \"run\""},
        {{part(1, 0, "", std::string(40, '[') + std::string(40, ']'))}, "nests deeper"},
        {{part(1, 0, "", "{\"type\":\"run\",\"schema\":1,\"run\":[1]}")},
         "\"run\" must be a whole"},
        {{part(1, 0, "\"schema\":1", "\"schema\":2")},
         "has schema 2, and this dla-cli reads schema 1"},
        {{folder_.file("none")}, "cannot read"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"merge"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const test::Ran r = run(args);
        EXPECT_EQ(r.status, kExitFileError) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("std::"), std::string::npos) << r.err;
    }
    // Where the tables are asked for, a run's fit must be the one its points give.
    for (const auto& [from, to] : {std::pair{"\"mean_mass\":", "\"mean_mass\":1"},
                                   {"\"side\":", "\"side\":1"},
                                   {"\"slope\":", "\"slope\":1"},
                                   {"\"r_squared\":", "\"r_squared\":1"}}) {
        const test::Ran r =
            run({"merge", "--csv", folder_.file("t.csv"), p1, p3, part(2, 1, from, to)});
        EXPECT_EQ(r.status, kExitFileError) << from;
        EXPECT_NE(r.err.find("line 2: its fit: is not the fit that its points"), std::string::npos)
            << r.err;
    }
}

}  // namespace
}  // namespace dla::cli

// The dla-cli program as a process: exit status, its one line on stderr, what it leaves behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "large/large_growth.h"
#include "measure/statistics.h"
#include "test_support.h"

namespace dla::cli {
namespace {

void stdoutToDevFull() {
    ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
}

void stdoutWithoutReader() {
    int p[2];
    if (::pipe(p) == 0) ::dup2(p[1], STDOUT_FILENO);
    ::close(p[0]);
}

template <int resource, rlim_t bytes>
void limit() {
    const rlimit r{bytes, bytes};
    ::setrlimit(resource, &r);
}

// SIGXFSZ stays at its default action, as a shell's ulimit -f leaves it: the program must
// answer the limit with EFBIG, not die of it.
constexpr auto fileSizeLimit = limit<RLIMIT_FSIZE, 4096>;

void fullDiskWithoutUnnamedFiles() {
    test::refuseUnnamedFiles();
    fileSizeLimit();
}

void stdoutToX() {
    ::dup2(::open("x", O_WRONLY | O_CREAT, 0644), STDOUT_FILENO);
}

// A read-only file in a folder that anyone may write to, and the program run by someone else
// than root, whom no permission stops.
void readOnlyFitFile() {
    ::close(::open("f.csv", O_WRONLY | O_CREAT, 0444));
    if (::chmod(".", 0777) != 0 ||
        (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)))
        ::_exit(126);
}

// Run 1's sites would go through a link to run 1's history.
void sitesLinkedToHistory() {
    if (::symlink("h-01.csv", "s-01.csv") != 0) ::_exit(126);
}

struct Refused {
    std::vector<std::string> args;
    int status;
    std::string says;  // a part of the one line on stderr
    void (*setting)() = nullptr;
    std::vector<std::string> leaves{};  // what the setting made, left as it was
    friend void PrintTo(const Refused& c, std::ostream* os) { *os << c.says; }
};

class ProgramRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(ProgramRefuses, WithOneLineOnStderrLeavingNoFile) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (GetParam().says.find("out of memory") != std::string::npos)
        GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
    test::ScratchFolder folder;
    const test::Finished f = test::runProgram(GetParam().args, [&] {
        if (::chdir(folder.file(".").c_str()) != 0) ::_exit(126);
        if (GetParam().setting != nullptr) GetParam().setting();
    });
    EXPECT_EQ(f.exitCode, GetParam().status);
    EXPECT_TRUE(f.err.starts_with("dla-cli: ") && f.err.find('\n') == f.err.size() - 1 &&
                f.err.find(GetParam().says) != std::string::npos)
        << f.err;
    EXPECT_TRUE(GetParam().status != 2 || f.out.empty()) << "refused after a run";
    EXPECT_EQ(folder.entries(), GetParam().leaves);
}

const std::vector<std::string> kSmallRun{"--size", "50", "--runs", "3", "--seed", "1"};
const std::vector<std::string> kFitRuns{"--size", "100", "--runs", "8",
                                        "--seed", "1",   "--fit",  "f.csv"};

INSTANTIATE_TEST_SUITE_P(
    BadCommandLine, ProgramRefuses,
    ::testing::Values(
        Refused{{"--size", "0"}, 2, "--size: must be at least 1, got '0'"},
        Refused{{"--size", "1000001"}, 2, "--size: must be at most 1000000"},
        Refused{{"--size", "1001", "--walk", "literal"}, 2, "literal grows sizes up to 1000"},
        Refused{{"--particles", "9", "--size", "100"}, 2, "give --size or --particles"},
        Refused{{"--kill-factor", "2.5.1"}, 2, "--kill-factor: needs a number"},
        Refused{{"--kill-factor", "16.01"}, 2, "--kill-factor: must be from 2 to 16"},
        Refused{{"--kill-factor", "3", "--walk", "literal"}, 2, "--kill-factor needs --walk jump"},
        Refused{{"--image", "a.png", "--image-size", "64", "--scale", "2"}, 2, "give one of them"},
        Refused{{"--image", "a.png", "--particles", "99"}, 2, "needs --image-size"},
        Refused{{"--checkpoint", "c", "--size", "100,200"}, 2, "takes one run only, not 2"},
        Refused{{"--resume", "c", "--seed", "1"}, 2, "--resume takes the size"},
        Refused{{"--checkpoint", "c", "--fit", "c"}, 2, "--fit and --checkpoint both write"},
        Refused{{"--resume", "c", "--fit", "./c"}, 2, "--fit would write"},
        Refused{{"--size", "100", "--checkpoint", "x", "--json"},
                2,
                "--checkpoint 'x' is the file that standard output",
                stdoutToX,
                {"x"}},
        Refused{{"--size", "100", "--checkpoint", "/dev/null"}, 2, "is not a regular file"},
        Refused{{"--seed", "1", "--shard", "1/2", "--fit", "f.csv"}, 2, "--shard takes no --fit"},
        Refused{{"merge", "--fit", "a.json", "./a.json"}, 2, "one of the files it joins"},
        Refused{{"merge", "-", "a.json", "-"}, 2, "standard input ('-') can be read only once"},
        Refused{{"merge", "--fit", "f.csv", "--csv", "./f.csv", "a.json"}, 2, "--csv both write"},
        Refused{{"--size", "100,0100"}, 2, "lists 100 twice"},
        Refused{{"--seed", "1", "--shard", "0/3"}, 2, "--shard: needs I from 1 to K, got '0/3'"},
        Refused{{"--seed", "1", "--shard", "1/0"}, 2, "--shard: needs K from 1 to 1000000"},
        Refused{{"--seed", "1", "--shard", "two/3"}, 2, "--shard: needs I/K"},
        Refused{{"--shard", "1/2"}, 2, "--shard needs --seed"},
        Refused{{"--runs", "0x10"}, 2, "--runs: needs a whole number"},
        Refused{{"--seed", "-1"}, 2, "--seed: must not be negative"},
        Refused{{"--seed", "18446744073709551615", "--runs", "2"}, 2, "too large for 2 runs"},
        Refused{{"--walk", "fast"}, 2, "--walk: must be literal or jump"},
        Refused{{"--seed"}, 2, "--seed: needs a value"},
        Refused{{"--frobnicate"}, 2, "unknown option '--frobnicate'"},
        Refused{{"200"}, 2, "unexpected argument '200'"},
        Refused{{"--json=yes"}, 2, "--json: takes no value"},
        Refused{{"--image", "--fit", "x.csv"}, 2, "--image: needs a value, got the option '--fit'"},
        Refused{{"--plot", "p.svg", "--size", "100,50"}, 2, "--plot needs every size to be at"},
        Refused{{"--size", "1\n2\t\x1b"}, 2, "got '1\\n2\\t\\x1b'"},
        Refused{{"--image", "a.png", "--plot", "./a.png"}, 2, "--image and --plot both write"},
        Refused{{"--sites", "-", "--history", "-"}, 2, "--history both write standard output ("},
        Refused{{"--runs", "2", "--sites", "s.csv", "--history", "h.csv"},
                2,
                "--history and --sites both write",
                sitesLinkedToHistory,
                {"s-01.csv"}},
        Refused{{"--image", "x.png", "--fit", "x-02.png", "--runs", "2", "--size", "100"},
                2,
                "--image and --fit both write"},
        Refused{{"--image", "a.png", "--scale", "64", "--size", "1000"},
                2,
                "--image at --scale 64 for --size 1000 needs 12.4 GB"}));

INSTANTIATE_TEST_SUITE_P(
    FailedOutput, ProgramRefuses,
    ::testing::Values(
        Refused{kSmallRun, 1, "cannot write standard output: No space left on device",
                stdoutToDevFull},
        Refused{{"--help"}, 1, "cannot write standard output", stdoutToDevFull},
        Refused{kFitRuns, 1, "cannot write standard output: Bad file descriptor",
                [] { ::close(STDOUT_FILENO); }},
        Refused{kFitRuns, 1, "'f.csv': File too large", fullDiskWithoutUnnamedFiles},
        Refused{kFitRuns, 1, "cannot write 'f.csv': File too large", fileSizeLimit},
        Refused{kFitRuns, 1, "cannot write 'f.csv': Permission denied", readOnlyFitFile, {"f.csv"}},
        Refused{{"--size", "200", "--seed", "1", "--image", "a.png", "--scale", "8"},
                1,
                "cannot write 'a.png': File too large",
                fileSizeLimit},
        Refused{{"--resume", "c"}, 1, "cannot read 'c': No such file or directory"},
        Refused{{"--size", "100", "--fit", "."}, 1, "cannot write '.': Is a directory"},
        Refused{{"--plot", std::string(256, 'n')}, 1, "File name too long"},
        Refused{{"--size", "200", "--image", "a.png", "--scale", "64", "--threads", "1"},
                1,
                "out of memory (the picture of run 1 needs 506 MB)",
                limit<RLIMIT_AS, 300'000'000>},
        // A worker's failure too; the advice of fewer threads only where there were several.
        Refused{{"--size", "300", "--runs", "64", "--threads", "8", "--seed", "1"},
                1,
                "out of memory (the system refused more; fewer --threads need less)",
                limit<RLIMIT_AS, 70'000'000>},
        Refused{{"--particles", "10000000", "--seed", "1"},
                1,
                "out of memory (the system refused more)\n",
                limit<RLIMIT_AS, 60'000'000>}));

struct Interruption {
    int signal;
    bool unnamedFiles;
    friend void PrintTo(const Interruption& c, std::ostream* os) {
        *os << ::strsignal(c.signal) << (c.unnamedFiles ? "" : ", hidden file");
    }
};

using Json = nlohmann::ordered_json;

std::vector<Json> jsonLines(const std::string& text) {
    std::vector<Json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
}

// Sends SIGTERM once the checkpoint `c` is there (or after 30 s).
std::function<void(pid_t, int)> termOnceWritten(const std::string& c) {
    return [c](pid_t pid, int) {
        for (int wait = 0; wait < 3000 && !std::filesystem::exists(c); ++wait) ::usleep(10'000);
        ::kill(pid, SIGTERM);
    };
}

// Whether the child `pid` has ended, leaving it to be waited for.
bool hasEnded(pid_t pid) {
    siginfo_t ended{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           ended.si_pid == pid;
}

class Interrupted : public ::testing::TestWithParam<Interruption> {};

// Ended while the fit file is being written, after its first run: by a signal, or by the reader
// of its standard output going away (SIGPIPE, which the program answers once its files are
// cleaned up).
TEST_P(Interrupted, LeavesNoFileBehind) {
    test::ScratchFolder folder;
    std::vector<std::string> whileWriting;
    const test::Finished f = test::runProgram(
        {"--size", "100", "--runs", "100000", "--seed", "1", "--fit", folder.file("f.csv")},
        [&] {
            if (!GetParam().unnamedFiles) test::refuseUnnamedFiles();
        },
        [&](pid_t pid, int out) {
            for (char c = 0; c != '\n' && ::read(out, &c, 1) == 1;) {
            }
            whileWriting = folder.entries();
            if (GetParam().signal == SIGPIPE) {
                // The reader goes away: its end of the pipe becomes /dev/null.
                const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
                ::dup2(nothing, out);
                ::close(nothing);
            } else {
                ::kill(pid, GetParam().signal);
            }
        });
    EXPECT_EQ(f.signal, GetParam().signal);
    ASSERT_EQ(whileWriting.size(), GetParam().unnamedFiles ? 0u : 1u);
    EXPECT_TRUE(GetParam().unnamedFiles ||
                (whileWriting[0].starts_with(".dla-cli-") && whileWriting[0].ends_with(".tmp")))
        << whileWriting[0];
    // Only SIGKILL, which no process can answer, leaves the hidden file (as the README says).
    const bool leaves = GetParam().signal == SIGKILL && !GetParam().unnamedFiles;
    EXPECT_EQ(folder.entries(), leaves ? whileWriting : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Table, Interrupted,
                         ::testing::Values(Interruption{SIGINT, false},
                                           Interruption{SIGPIPE, false},
                                           Interruption{SIGTERM, false},
                                           Interruption{SIGHUP, false}, Interruption{SIGKILL, true},
                                           Interruption{SIGKILL, false}));

// A SIGTERM that comes while the run's last checkpoint is being written waits for the save: the
// program ends with 143 and its line, and the file holds the finished run. The program is
// stopped once the save's hidden file has bytes, and the signal sent while it is stopped.
TEST(Program, SignalDuringTheLastSaveKeepsTheCheckpoint) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        test::ScratchFolder folder;
        const std::string c = folder.file("c");
        const auto saving = [&] {
            const auto names = folder.entries();
            struct stat file {};
            return !names.empty() && names[0].starts_with(".dla-cli-") &&
                   ::stat(folder.file(names[0]).c_str(), &file) == 0 && file.st_size > 0;
        };
        bool caught = false;
        const test::Finished f = test::runProgram({"--particles", "300000", "--seed", "4", "-q",
                                                   "--checkpoint", c, "--checkpoint-every", "1000"},
                                                  test::refuseUnnamedFiles, [&](pid_t pid, int) {
                                                      while (!hasEnded(pid) && !saving()) {
                                                      }
                                                      ::kill(pid, SIGSTOP);
                                                      caught = saving();
                                                      ::kill(pid, SIGTERM);
                                                      ::kill(pid, SIGCONT);
                                                  });
        if (!caught) continue;
        EXPECT_EQ(f.exitCode, 128 + SIGTERM) << f.err;
        EXPECT_NE(f.err.find("interrupted by SIGTERM; '" + c + "' holds the run at 300000 "),
                  std::string::npos)
            << f.err;
        EXPECT_EQ(test::runProgram({"--resume", c, "-q"}).exitCode, 0);
        return;
    }
    GTEST_SKIP() << "the last save ended before the program could be stopped in it";
}

// The conventions a user expects of such a tool: a version; without --seed, a seed that repeats
// the run; results on stdout unless an output takes it ("-"), then on stderr; a reader that
// stops early ends the program as SIGPIPE does, without a word.
TEST(Program, FollowsTheConventionsOfItsKind) {
    EXPECT_EQ(test::runProgram({"--version"}).out, std::string("dla-cli ") + DLA_VERSION +
                                                       ", jump walker version " +
                                                       std::to_string(kJumpWalkerVersion) + "\n");

    const test::Finished drawn = test::runProgram({"--size", "100", "--json"});
    const Json run = jsonLines(drawn.out).front();
    ASSERT_TRUE(run["seed"].is_number_unsigned()) << drawn.out;
    const std::string seed = std::to_string(run["seed"].get<std::uint64_t>());
    EXPECT_LT(run["seed"].get<std::uint64_t>(), std::uint64_t{1} << 53) << "exact as a double";
    EXPECT_NE(drawn.err.find("seed " + seed + ", drawn from the system's entropy"),
              std::string::npos)
        << drawn.err;
    const test::Finished again = test::runProgram({"--size", "100", "--json", "--seed", seed});
    EXPECT_EQ(jsonLines(again.out).front()["hash"], run["hash"]);

    const test::Finished text = test::runProgram({"--size", "100", "--runs", "2", "--seed", "1"});
    EXPECT_NE(text.out.find("\nsize  runs"), std::string::npos) << "the summary on stdout";
    EXPECT_EQ(text.err, "");
    const test::Finished picture =
        test::runProgram({"--size", "100", "--seed", "1", "--image", "-"});
    EXPECT_TRUE(picture.out.starts_with("\x89PNG")) << picture.out.substr(0, 20);
    EXPECT_NE(picture.err.find("run 1/1"), std::string::npos) << picture.err;
    EXPECT_TRUE(test::runProgram({"--size", "100", "--seed", "1", "--csv", "-"})
                    .out.starts_with("schema,program,run,"));

    // merge reads "-" from standard input.
    test::ScratchFolder folder;
    const std::string saved = folder.file("runs.json");
    ::close(::open(saved.c_str(), O_WRONLY | O_CREAT, 0644));
    const test::Finished json =
        test::runProgram({"--size", "100", "--runs", "2", "--seed", "1", "--json"},
                         [&] { ::dup2(::open(saved.c_str(), O_WRONLY), STDOUT_FILENO); });
    const test::Finished merged = test::runProgram(
        {"merge", "-"}, [&] { ::dup2(::open(saved.c_str(), O_RDONLY), STDIN_FILENO); });
    EXPECT_EQ(merged.out, json.err) << merged.err;

    // A default written out is the default.
    EXPECT_EQ(
        test::runProgram({"--size", "50", "--walk", "literal", "--kill-factor", "2"}).exitCode, 0);

    const test::Finished early = test::runProgram(kSmallRun, stdoutWithoutReader);
    EXPECT_EQ(early.signal, SIGPIPE);
    EXPECT_EQ(early.err, "");
}

// A file-size limit met on standard output (a regular file) ends the batch with its one line,
// and takes back the part of the line, or of the run's sites, that did not fit: the file holds
// whole lines, and whole runs.
TEST(Program, FileSizeLimitOnStdoutLeavesWholeLines) {
    test::ScratchFolder folder;
    const std::string out = folder.file("out");
    for (const bool sites : {false, true}) {
        std::vector<std::string> args{"--size", "30", "--runs", "20", "--seed", "1", "--json"};
        if (sites) {
            args.back() = "--sites";
            args.insert(args.end(), {"-", "-q"});
        }
        const test::Finished f = test::runProgram(args, [&] {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
            fileSizeLimit();
        });
        EXPECT_EQ(f.exitCode, 1);
        EXPECT_TRUE(f.err.ends_with("dla-cli: cannot write standard output: File too large\n"))
            << f.err;
        const std::string text = test::readFile(out);
        EXPECT_TRUE(!text.empty() && text.back() == '\n' && text.size() < 4096) << text.size();
        if (!sites) {
            EXPECT_NO_THROW(jsonLines(text));
        } else {
            // The sites of the first runs, up to where the next run's would begin.
            const std::string whole = test::runProgram(args).out;
            EXPECT_TRUE(whole.starts_with(text) &&
                        whole.compare(text.size(), 13, "x,y,arrival\n#") == 0);
        }
    }
}

// A size whose runs would take more memory than this machine has says so before it starts;
// stopped, the run is saved as any other.
TEST(Program, VeryLargeSizeSaysItsMemoryFirst) {
    test::ScratchFolder folder;
    const std::string c = folder.file("c");
    const test::Finished f = test::runProgram(
        {"--size", "1000000", "--seed", "1", "--checkpoint", c, "--checkpoint-every", "0.01"}, {},
        termOnceWritten(c));
    EXPECT_EQ(f.exitCode, 128 + SIGTERM);
    EXPECT_TRUE(
        f.err.starts_with("dla-cli: --size 1000000 grows about 4.2 billion particles a "
                          "run, which is expected to need about 54.6 GB of memory"))
        << f.err;
    EXPECT_NE(f.err.find("interrupted by SIGTERM"), std::string::npos) << f.err;
}

// The JSON lines, the fit file and a repeated run tell the same story to the last bit.
TEST(Program, JsonReadsBackAsTheFitFileAndTheRepeatedRun) {
    test::ScratchFolder folder;
    const test::Finished f = test::runProgram(
        {"--size", "100,120", "--runs", "2", "--seed", "3", "--json", "--fit", folder.file("f.csv"),
         "--image", folder.file("a.png"), "--plot", folder.file("p.svg")});
    ASSERT_EQ(f.exitCode, 0) << f.err;
    EXPECT_EQ(folder.entries(),
              (std::vector<std::string>{"a-01.png", "a-02.png", "a-03.png", "a-04.png", "f.csv",
                                        "p-01.svg", "p-02.svg", "p-03.svg", "p-04.svg"}));
    const std::vector<Json> lines = jsonLines(f.out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].begin().key(), "type");  // each line says first what it is
    std::vector<double> fromJson, fromCsv;
    double dimensions = 0.0, histories = 0.0, anisotropies = 0.0;
    struct Point {
        double x, y;
    };
    std::vector<Point> massRadius;
    for (int i = 0; i < 4; ++i) {
        const Json& run = lines[static_cast<std::size_t>(i)];
        dimensions += run["dimension"].get<double>();
        histories += run["history_dimension"].get<double>();
        anisotropies += run["anisotropy"]["cos4"].get<double>();
        massRadius.push_back({std::log(run["radius_of_gyration"].get<double>()),
                              std::log(run["sites"].get<double>())});
        for (const Json& p : run["fit"]["points"]) {
            fromJson.insert(fromJson.end(), {i + 1.0, 3.0 + i, i < 2 ? 100.0 : 120.0, p["side"],
                                             p["mean_mass"], p["ln_l_over_l0"], p["ln_m_over_m0"],
                                             run["dimension"], run["fit"]["slope_standard_error"]});
        }
    }
    std::istringstream csv(test::readFile(folder.file("f.csv")));
    std::string row, field;
    std::getline(csv, row);
    while (std::getline(csv, row)) {
        if (row.starts_with("#")) continue;
        std::istringstream fields(row);
        for (int k = 0; k < 9 && std::getline(fields, field, ','); ++k)
            fromCsv.push_back(std::stod(field));
    }
    EXPECT_GT(fromJson.size(), 100u);
    EXPECT_EQ(fromCsv, fromJson);
    EXPECT_EQ(lines[4]["dimension"]["runs"], 4);
    EXPECT_DOUBLE_EQ(lines[4]["dimension"]["mean"].get<double>(), dimensions / 4);
    EXPECT_DOUBLE_EQ(lines[4]["dimension"]["sem"].get<double>(),
                     lines[4]["dimension"]["sd"].get<double>() / 2);  // sd / sqrt(4 runs)
    EXPECT_DOUBLE_EQ(lines[4]["history_dimension"]["mean"].get<double>(), histories / 4);
    EXPECT_DOUBLE_EQ(lines[4]["anisotropy_cos4"]["mean"].get<double>(), anisotropies / 4);
    // Two sizes are enough for the mass-radius slope, over every run's point.
    const auto fit = fitLine(massRadius);
    const Json& slope = lines[4]["mass_radius"];
    EXPECT_EQ(slope["points"], 4);
    EXPECT_DOUBLE_EQ(slope["dimension"].get<double>(), fit->slope);
    EXPECT_DOUBLE_EQ(slope["standard_error"].get<double>(), *fit->slopeStandardError);
    // The summary names the settings its runs shared: the jump walker's kill factor, none for
    // the literal walk's window rule, and the particle limit.
    EXPECT_EQ(lines[4]["kill_factor"], 2.0);
    EXPECT_TRUE(lines[4]["particle_limit"].is_null());
    const auto summaryOf = [](const std::vector<std::string>& args) {
        return jsonLines(test::runProgram(args).out).back();
    };
    const Json limited = summaryOf({"--particles", "300", "--kill-factor", "3.5", "--json"});
    EXPECT_EQ(limited["kill_factor"], 3.5);
    EXPECT_EQ(limited["particle_limit"], 300);
    EXPECT_TRUE(summaryOf({"--size", "20", "--walk", "literal", "--json"})["kill_factor"].is_null());

    Json alone = jsonLines(test::runProgram({"--size", "120", "--seed", "5", "--json"}).out)[0];
    Json third = lines[2];
    for (Json* run : {&alone, &third}) {
        for (const char* varies : {"run", "runs", "grow_seconds", "estimate_seconds"})
            run->erase(varies);
    }
    EXPECT_EQ(alone, third);
}

// The documented defaults, written out, mean what leaving them out means: the same runs, the
// same summary and the same picture.
TEST(Program, DefaultsWrittenOutAreTheDefaults) {
    test::ScratchFolder folder;
    const auto ran = [&](const std::string& image, std::vector<std::string> args) {
        args.insert(args.end(), {"--seed", "5", "--json", "--image", folder.file(image)});
        std::vector<Json> lines = jsonLines(test::runProgram(args).out);
        for (Json& line : lines)
            for (const char* varies : {"grow_seconds", "estimate_seconds"}) line.erase(varies);
        return std::pair(lines, test::readFile(folder.file(image)));
    };
    const auto implied = ran("a.png", {});
    EXPECT_EQ(implied.first.size(), 2u);
    EXPECT_EQ(ran("b.png", {"--size", "200", "--kill-factor", "2", "--runs", "1", "--walk",
                            "jump", "--scale", "1"}),
              implied);
    // Nor does a default clash with what excludes any other value.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--walk", "literal", "--size", "20", "--kill-factor", "2"},
          {"--particles", "100", "--image", folder.file("c.png"), "--image-size", "50", "--scale",
           "1"}})
        EXPECT_EQ(test::runProgram(args).exitCode, 0) << args[0];
}

// A run stopped by SIGTERM once its first checkpoint is there, then resumed from the file
// the signal had written, grows the aggregate of the run that was never stopped.
TEST(Program, InterruptedAndResumedRunGrowsTheSameAggregate) {
    test::ScratchFolder folder;
    const std::string c = folder.file("c");
    const std::vector<std::string> run{"--particles", "300000", "--seed", "4", "--json"};
    const test::Finished whole = test::runProgram(run);
    ASSERT_EQ(whole.exitCode, 0) << whole.err;

    std::vector<std::string> saving = run;
    saving.insert(saving.end(), {"--checkpoint", c, "--checkpoint-every", "0.05"});
    const test::Finished stopped = test::runProgram(saving, {}, termOnceWritten(c));
    // The run may, on a busy machine, have ended before the signal; its last state is saved too.
    EXPECT_TRUE(stopped.exitCode == 0 ||
                (stopped.exitCode == 128 + SIGTERM &&
                 stopped.err.find("interrupted by SIGTERM; '" + c + "' holds the run at") !=
                     std::string::npos))
        << stopped.err;
    const test::Finished resumed = test::runProgram({"--resume", c, "--json"});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
    Json a = jsonLines(whole.out)[0], b = jsonLines(resumed.out)[0];
    for (const char* key : {"hash", "particles", "launch_radius", "steps", "jumps", "seed"})
        EXPECT_EQ(a[key], b[key]) << key;
}

// The runs of a text of several runs' data files, in the order they come: each one's "# about"
// line, and whether its rows are whole (arrival indices 0, 1, 2, ... in the third column).
std::vector<std::pair<std::string, bool>> runsIn(const std::string& text) {
    std::vector<std::pair<std::string, bool>> runs;
    std::istringstream in(text);
    long next = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("# dla-cli")) {
            runs.emplace_back(line.substr(line.find(", run ") + 2), true);
            next = 0;
        } else if (line != "x,y,arrival" && !line.starts_with("#") && !runs.empty()) {
            runs.back().second &= std::stol(line.substr(line.rfind(',') + 1)) == next++;
        }
    }
    return runs;
}

// Written through, not replaced: the file that is already stdout, and a pipe (through a link),
// which takes every run's sites in turn rather than numbered files beside it. A stream takes
// each run whole and in the plan's order, however the runs finish on their threads (those of
// size 100 end long before those of 400), and a pipe is opened once: its reader, which ends when
// the writer closes, gets every run.
TEST(Program, PipesAndStdoutAreWrittenThrough) {
    test::ScratchFolder folder;
    const std::string all = folder.file("all.txt"), fifo = folder.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("fifo", folder.file("link"));
    std::vector<std::pair<std::string, bool>> inOrder;
    for (const int run : {1, 2, 3, 4})
        inOrder.emplace_back("run " + std::to_string(run) + " of 4, N = " +
                                 (run < 3 ? "400" : "100") + ", seed " + std::to_string(6 + run),
                             true);
    const std::vector<std::string> plan{"--size",    "400,100", "--runs", "2",
                                        "--threads", "4",       "--seed", "7"};
    std::vector<std::string> piping = plan;
    piping.insert(piping.end(), {"--fit", "/dev/stdout", "--sites", folder.file("link")});
    std::string read;
    std::thread reader([&] { read = test::readFile(fifo); });
    // A program that waits for a reader that has gone is ended by SIGALRM.
    // Stdout appends to a file that holds a line already, as after a shell's ">>".
    {
        std::ofstream(all) << "kept\n";
    }
    const test::Finished piped = test::runProgram(piping, [&] {
        ::dup2(::open(all.c_str(), O_WRONLY | O_APPEND), STDOUT_FILENO);
        ::alarm(30);
    });
    // A reader still waiting for a writer is let go.
    if (const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); writer >= 0)
        ::close(writer);
    reader.join();
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(runsIn(read), inOrder);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"all.txt", "fifo", "link"}));
    // The file stdout writes to is stdout: the fit has it to itself, the run lines go to stderr.
    EXPECT_TRUE(test::readFile(all).starts_with("kept\nrun,seed,size,side,")) << test::readFile(all);
    EXPECT_TRUE(piped.err.starts_with("run 1/4  N=400  seed=7")) << piped.err;

    // So is the file stderr appends to.
    const std::string log = folder.file("log");
    {
        std::ofstream(log) << "kept\n";
    }
    const test::Finished logged =
        test::runProgram({"--size", "100", "--seed", "1", "--fit", log, "-q"}, [&] {
            ::dup2(::open(log.c_str(), O_WRONLY | O_APPEND), STDERR_FILENO);
        });
    EXPECT_EQ(logged.exitCode, 0);
    EXPECT_TRUE(test::readFile(log).starts_with("kept\nrun,seed,size,side,")) << test::readFile(log);

    std::vector<std::string> toStdout = plan;
    toStdout.insert(toStdout.end(), {"--sites", "-"});
    EXPECT_EQ(runsIn(test::runProgram(toStdout).out), inOrder);
}

}  // namespace
}  // namespace dla::cli

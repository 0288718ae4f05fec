#include "options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <string_view>

#include "app.h"
#include "estimate/dimension_estimate.h"
#include "batch/seed.h"
#include "files/output_file.h"
#include "output_paths.h"
#include "formats/byte_count.h"
#include "formats/picture.h"
#include "formats/program.h"
#include "window/growth.h"

namespace dla::cli {

namespace {

[[noreturn]] void refuse(const std::string& message) {
    throw UsageError(message);
}

std::string inQuotes(std::string_view text) {
    return "'" + std::string(text) + "'";
}

bool digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The checks of one value, as CLI11 validators. Each says what is wrong in this tool's words,
// which the parser puts after the option's name. Only plain decimal digits are whole numbers
// here, no sign, blanks, base prefix, fraction or exponent, so that a mistyped value is refused
// rather than read as something else. A whole number is left without leading zeros: "0050" is
// 50, and the same size as "50" in a list.
std::string wholeProblem(std::string& text, std::uint64_t least, std::uint64_t most) {
    if (text.size() > 1 && text.front() == '-' && digits(std::string_view(text).substr(1)))
        return "must not be negative, got " + inQuotes(text);
    if (!digits(text)) return "needs a whole number, got " + inQuotes(text);
    std::uint64_t value = 0;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec == std::errc::result_out_of_range || value > most)
        return "must be at most " + std::to_string(most) + ", got " + inQuotes(text);
    if (value < least)
        return "must be at least " + std::to_string(least) + ", got " + inQuotes(text);
    text = std::to_string(value);
    return {};
}

CLI::Validator whole(std::uint64_t least, std::uint64_t most) {
    return {[=](std::string& text) { return wholeProblem(text, least, most); }, ""};
}

// A plain decimal number, "2", "2.5" or ".5": digits with at most one point, nothing else.
CLI::Validator decimal(double least, double most) {
    return {[=](std::string& text) -> std::string {
                const std::size_t point = text.find('.');
                const bool plain =
                    text.find_first_not_of("0123456789.") == std::string::npos &&
                    text.find_first_of("0123456789") != std::string::npos &&
                    (point == std::string::npos || text.find('.', point + 1) == std::string::npos);
                if (!plain) return "needs a number such as 2 or 2.5, got " + inQuotes(text);
                double value = 0.0;
                std::from_chars(text.data(), text.data() + text.size(), value,
                                std::chars_format::fixed);
                if (value >= least && value <= most) return {};
                char range[64];
                std::snprintf(range, sizeof range, "must be from %g to %g, got ", least, most);
                return range + inQuotes(text);
            },
            ""};
}

// N[,N...]: sizes 1..kLargestJumpSize, none twice.
CLI::Validator sizeList() {
    return {[](std::string& text) -> std::string {
                std::vector<std::string> seen;
                for (std::size_t start = 0;;) {
                    const std::size_t comma = std::min(text.find(',', start), text.size());
                    std::string size = text.substr(start, comma - start);
                    if (std::string problem = wholeProblem(size, 1, kLargestJumpSize);
                        !problem.empty())
                        return problem;
                    if (std::find(seen.begin(), seen.end(), size) != seen.end())
                        return "lists " + size + " twice";
                    seen.push_back(size);
                    if (comma == text.size()) break;
                    start = comma + 1;
                }
                text.clear();
                for (const std::string& size : seen) text += (text.empty() ? "" : ",") + size;
                return {};
            },
            ""};
}

CLI::Validator oneOf(std::string a, std::string b) {
    return {[=](std::string& text) -> std::string {
                if (text == a || text == b) return {};
                return "must be " + a + " or " + b + ", got " + inQuotes(text);
            },
            ""};
}

CLI::Validator part() {
    return {[](std::string& text) -> std::string {
                try {
                    (void)parseShard(text);
                } catch (const UsageError& e) {
                    return e.what();
                }
                return {};
            },
            ""};
}

const CLI::Validator kFileName(
    [](std::string& text) { return text.empty() ? std::string("needs a file name") : ""; }, "");

// A value that starts with "--" is an option whose value was forgotten, never a value.
const CLI::Validator kNotAnOption(
    [](std::string& text) {
        return text.starts_with("--") ? "needs a value, got the option '" + text + "'" : "";
    },
    "");

double decimalOf(const std::string& text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return value;
}

// Ranges in the help, from the constants the validators check.
std::string range(std::int64_t least, std::int64_t most) {
    return std::to_string(least) + ".." + std::to_string(most);
}

std::string powerOfTen(std::int64_t value) {
    int exponent = 0;
    for (; value >= 10 && value % 10 == 0; value /= 10) ++exponent;
    return value == 1 ? "10^" + std::to_string(exponent) : std::to_string(value);
}

constexpr const char* kDescription =
    "Grows diffusion-limited aggregates on the square lattice without a window, estimates the\n"
    "fractal dimension of each from its box masses, and reports the results.";

constexpr const char* kFooter =
    "Output: a line per run (or a JSON object with --json) and then the summary on stdout:\n"
    "runs, particles and radius of gyration (mean and standard deviation), the dimension (mean,\n"
    "standard deviation and standard error of the mean) and, with several sizes, the mass-radius\n"
    "dimension (slope of ln sites against ln radius of gyration) with its standard error. With\n"
    "--json the summary's table goes to stderr; where an output is \"-\" (stdout), the run lines\n"
    "and the summary go to stderr. Every run carries its seed, so that any one can be repeated.\n"
    "\n"
    "Files are written whole or not at all: the contents go to an unnamed file in the target's\n"
    "folder, which takes the file's name only once complete (a regular file that is replaced\n"
    "keeps its permissions; one that may not be written to is refused, as by a shell's '>').\n"
    "Devices, pipes and the files that symbolic links point to are written through. Two\n"
    "outputs with one path are refused, and so is an option value that starts with \"--\". A\n"
    "batch expected to need a gigabyte of memory or more says so before it starts.\n"
    "\n"
    "Exit status:\n"
    "  0    success\n"
    "  1    an output cannot be written (the one line on stderr says why), memory runs out,\n"
    "       or a checkpoint cannot be resumed\n"
    "  2    a bad command line\n"
    "  130  SIGINT, and 143 SIGTERM: a checkpointed run, once saved\n"
    "  141  a reader that stopped early (as SIGPIPE), without a word\n"
    "\n"
    "'dla-cli merge [--json] FILE...' joins the --json outputs of the parts of one plan (see\n"
    "--shard) and prints the summary that one process making the whole plan prints; 'dla-cli\n"
    "merge --help' says more.\n"
    "\n"
    "Examples:\n"
    "  dla-cli --size 200 --runs 20 --seed 1\n"
    "      twenty aggregates of N = 200 and their mean dimension\n"
    "  dla-cli --size 300 --seed 7 --image cluster.png --scale 2 --plot fit.svg --fit fit.csv\n"
    "      one aggregate, its picture, the plot and the table of its box-mass fit\n"
    "  dla-cli --particles 1000000 --seed 1 --image big.png --image-size 2000 --checkpoint c\n"
    "      a million particles, drawn, saved as they grow ('dla-cli --resume c' goes on)\n"
    "  dla-cli --size 100,200,400 --runs 10 --seed 1 --json > runs.jsonl\n"
    "      three sizes, their runs as JSON lines and the mass-radius dimension\n"
    "  dla-cli --size 200 --runs 30 --seed 7 --shard 2/3 --json > part-2.json\n"
    "      the second of three parts of a plan, for a scheduler to start\n"
    "  dla-cli merge --json part-1.json part-2.json part-3.json\n"
    "      the summary of the whole plan from its parts";

constexpr const char* kMergeDescription =
    "joins the --json outputs of 'dla-cli --shard I/K' processes (or of a whole\n"
    "run) and prints the summary that one process making the whole plan prints.";

constexpr const char* kMergeFooter =
    "The files must come from one plan (sizes, runs, seed, walk, particles, kill factor)\n"
    "and hold each of its runs once, as the plan makes it, every part from one K. \"-\" is\n"
    "standard input. With --json the summary object goes to stdout and the table to stderr;\n"
    "without, the table to stdout.\n"
    "\n"
    "Exit status:\n"
    "  0    success\n"
    "  1    a file cannot be read, is not dla-cli --json output, or does not fit the others\n"
    "       (the one line on stderr names the file and the problem)\n"
    "  2    a bad command line\n"
    "\n"
    "Example:\n"
    "  for i in 1 2 3; do dla-cli --size 200 --runs 30 --seed 7 --shard $i/3 --json \\\n"
    "      > shard-$i.json; done\n"
    "  dla-cli merge --json --fit fit.csv shard-*.json";

// CLI11 puts the description above the usage line; ours reads usage first.
class HelpLayout : public CLI::Formatter {
  public:
    std::string make_description(const CLI::App*) const override { return {}; }
    std::string make_usage(const CLI::App* app, std::string name) const override {
        return CLI::Formatter::make_usage(app, name) + "\n" + app->get_description() + "\n";
    }
};

// An option with a value: every value given is checked (also those a later repetition
// overrides), and the last one is kept by `keep`.
CLI::Option* value(CLI::App& app, const char* names, const char* type, const std::string& help,
                   const CLI::Validator& check, std::function<void(const std::string&)> keep) {
    // The help shows the value's name alone, as the option's own words say what it needs.
    return app.add_option_function<std::string>(names, std::move(keep), help)
        ->option_text(type)
        ->check(kNotAnOption)
        ->check(check);
}

// Every option of a batch and of the merge, declared once with its range and help, and the
// rules that tie it to another where they depend on presence alone (the others, which depend
// on values, are checkTogether's).
std::unique_ptr<CLI::App> makeParser(Command& command) {
    Options& o = command.options;
    auto app = std::make_unique<CLI::App>(kDescription, "dla-cli");
    auto layout = std::make_shared<HelpLayout>();
    layout->column_width(19);
    app->formatter(layout);
    app->footer(kFooter);
    app->set_help_flag("-h,--help", "this text.");
    app->set_version_flag("--version",
                          std::string(kProgram) + ", jump walker version " +
                              std::to_string(kJumpWalkerVersion) + "\n",
                          "the program's name and version, and its jump walker's.");
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    CLI::Option* size =
        value(*app, "--size", "N[,N...]",
              "system size N, " + range(1, kLargestJumpSize) + " (" + range(1, kLargestSystemSize) +
                  " with --walk literal; default 200): a run\n"
                  "ends when a particle sticks outside the square of half-side N/2 around the\n"
                  "seed. Several sizes, each grown --runs times, add a mass-radius estimate\n"
                  "of the dimension to the summary. The box-mass dimension is measured from\n"
                  "N = " +
                  std::to_string(kSmallestMeasurableSize) +
                  " on; smaller sizes are grown but not measured.",
              sizeList(), [&o](const std::string& v) {
                  o.sizes.clear();
                  for (std::size_t start = 0; start < v.size();) {
                      const std::size_t comma = std::min(v.find(',', start), v.size());
                      o.sizes.push_back(std::stoi(v.substr(start, comma - start)));
                      start = comma + 1;
                  }
                  o.sizesGiven = true;
              });
    value(*app, "--particles", "M",
          "grow each run until M particles have stuck (1.." + powerOfTen(kMostParticles) +
              "), instead of to a\n"
              "size; jump walker only. Such a run has no size: its dimension is measured\n"
              "as for the size N = 2e, e the largest |x| or |y| of its sites, when that N\n"
              "is " +
              std::to_string(kSmallestMeasurableSize) + " or more.",
          whole(1, kMostParticles),
          [&o](const std::string& v) { o.growth.particles = std::stoll(v); })
        ->excludes(size);
    char killRange[64];
    std::snprintf(killRange, sizeof killRange, "K from %g (default, the window's rule) to %g",
                  kWindowKillFactor, kLargestKillFactor);
    value(*app, "--kill-factor", "K",
          "walkers are killed once they are farther than K R from the seed, R the\n"
          "launch radius; " +
              std::string(killRange) +
              "; jump walker\n"
              "only. Killing a walker drops the chance that it would have come back and\n"
              "stuck somewhere else, which biases the aggregate slightly; a larger K\n"
              "shrinks that bias, at the cost of longer walks.",
          decimal(kWindowKillFactor, kLargestKillFactor), [&o](const std::string& v) {
              o.growth.killFactor = decimalOf(v);
              o.killFactorGiven = true;
          });
    value(*app, "--runs", "K", "runs per size (default 1).", whole(1, kMostRuns),
          [&o](const std::string& v) { o.runs = std::stoll(v); });
    value(*app, "--seed", "S",
          "seed of the first run; run i (counting from 0 over all sizes) uses S + i\n"
          "and prints it, so '--size N --seed S+i --runs 1' repeats that run alone.\n"
          "Without --seed S is drawn from the system's entropy, said on stderr and\n"
          "recorded in every output.",
          whole(0, std::numeric_limits<std::uint64_t>::max()),
          [&o](const std::string& v) { o.seed = std::stoull(v); });
    value(*app, "--walk", "W",
          "how walkers move: 'jump' (default) crosses squares free of the aggregate\n"
          "and inside the kill circle in one exact first-passage jump, on a lattice\n"
          "without an edge, and grows aggregates with the same law as 'literal', one\n"
          "lattice step per random number as the window does, over a hundred times\n"
          "faster at N = 1000. Only 'jump' grows beyond N = " +
              std::to_string(kLargestSystemSize) +
              ", to a number of\n"
              "particles, with another kill factor or with checkpoints. A seed repeats its\n"
              "aggregate within one version of the jump walker's moves (this program's is\n"
              "version " + std::to_string(kJumpWalkerVersion) +
              ", in every output and checkpoint); the literal walk never\n"
              "changes.",
          oneOf("literal", "jump"), [&o](const std::string& v) {
              o.growth.walker = v == "jump" ? Walker::Jump : Walker::Literal;
          });
    value(*app, "--threads", "T",
          "runs grown in parallel (default: the number of processor cores). The\n"
          "results do not depend on it.",
          whole(1, kMostThreads), [&o](const std::string& v) { o.threads = std::stoi(v); });
    value(*app, "--shard", "I/K",
          "make only part I of K (1 <= I <= K) of the runs: run i (counting from 0)\n"
          "belongs to part (i mod K) + 1 and keeps the seed and number it has in the\n"
          "whole. Needs --seed. K such processes, started by any scheduler, cover the\n"
          "runs once; 'dla-cli merge' joins their --json outputs into the summary one\n"
          "process would print.",
          part(), [&o](const std::string& v) { o.shard = parseShard(v); });
    app->add_flag("--json", o.json, "one JSON object per run on stdout, then one summary object.")
        ->disable_flag_override();
    app->add_flag("-q,--quiet", o.quiet,
                  "no progress bar (it is only drawn when stderr is a terminal).")
        ->disable_flag_override();
    CLI::Option* image =
        value(*app, "--image", "F.png",
              "the aggregate as a PNG: black background, sites coloured by arrival order\n"
              "(viridis, dark = early), the seed in red. With several runs the run number\n"
              "goes before the extension: F-01.png, F-02.png, ... A picture whose pixels\n"
              "would take more than " +
                  formatBytes(kLargestImageBytes) + " of memory is refused before any run.",
              kFileName, [&o](const std::string& v) { o.imagePath = v; });
    value(*app, "--scale", "P",
          "pixels per site in the image, " + range(1, kLargestScale) + " (default 1).",
          whole(1, kLargestScale), [&o](const std::string& v) { o.scale = std::stoi(v); });
    value(*app, "--image-size", "PX",
          "a picture at most PX pixels a side (" + range(kSmallestImageSize, kLargestImageSize) +
              ") instead of one square a\n"
              "site, for aggregates larger than that: each pixel stands for a square\n"
              "block of sites, coloured by their mean arrival order and dimmed where the\n"
              "block is sparsely filled. Needed with --particles.",
          whole(kSmallestImageSize, kLargestImageSize),
          [&o](const std::string& v) { o.imageSize = std::stoi(v); })
        ->needs(image);
    value(*app, "--fit", "F.csv",
          "the box-mass fit of every run: for each box side L the mean mass M(L),\n"
          "ln(L/L0), ln(M/M0), and the slope, its standard error and R^2. Not for a\n"
          "part (--shard): 'dla-cli merge --fit F' writes it from the parts.",
          kFileName, [&o](const std::string& v) { o.fitPath = v; });
    value(*app, "--plot", "F.svg",
          "the log-log plot of M(L) against L with the fitted line, titled with the\n"
          "dimension and its standard error; numbered like --image.",
          kFileName, [&o](const std::string& v) { o.plotPath = v; });
    value(*app, "--sites", "F",
          "the sites of every run, in the order they arrived: x, y and arrival index\n"
          "(the seed 0), as numpy's .npy (an int32 array of shape (M, 3)) when F ends\n"
          "in .npy, else as CSV; numbered like --image.",
          kFileName, [&o](const std::string& v) { o.sitesPath = v; });
    value(*app, "--history", "F.csv",
          "the growth history of every run: sites, radius of gyration and the reach\n"
          "of the four arms (how far the sites go along +x, -x, +y, -y) at 20 counts a\n"
          "decade; numbered like --image.",
          kFileName, [&o](const std::string& v) { o.historyPath = v; });
    value(*app, "--csv", "F.csv",
          "one row per run with every member of its JSON line, after comment lines\n"
          "with the program, the command line, the date and the plan. Not for a part:\n"
          "'dla-cli merge --csv F' writes it from the parts.",
          kFileName, [&o](const std::string& v) { o.csvPath = v; });
    CLI::Option* checkpoint =
        value(*app, "--checkpoint", "F",
              "one run only, jump walker: writes its whole state to F every\n"
              "--checkpoint-every seconds, when it ends, and on SIGINT or SIGTERM, which\n"
              "then end the program with status 130 or 143 (a second signal ends it at\n"
              "once). F is replaced at every save: a regular file, not the one stdout\n"
              "goes to.",
              kFileName, [&o](const std::string& v) { o.checkpointPath = v; });
    value(*app, "--checkpoint-every", "SECONDS", "seconds between two checkpoints (default 60).",
          decimal(0.001, 1e7), [&o](const std::string& v) { o.checkpointEvery = decimalOf(v); })
        ->needs(checkpoint);
    value(*app, "--resume", "F",
          "continues the run saved in the checkpoint F to the very aggregate the run\n"
          "would have grown without a break. Its size, particles, kill factor and\n"
          "seed come from F; outputs and --checkpoint may be given anew (no output\n"
          "but --checkpoint may name F). A damaged or forged F is refused whole.",
          kFileName, [&o](const std::string& v) { o.resumePath = v; });

    CLI::App* merge = app->add_subcommand("merge", kMergeDescription);
    merge->formatter(layout);
    merge->footer(kMergeFooter);
    merge->set_help_flag("-h,--help", "this text.");
    MergeOptions& m = command.merge;
    merge->add_flag("--json", m.json, "the summary object on stdout as well.")
        ->disable_flag_override();
    value(*merge, "--fit", "F.csv",
          "the box-mass fit of every run, the file that --fit gives one process.", kFileName,
          [&m](const std::string& v) { m.fitPath = v; });
    value(*merge, "--csv", "F.csv", "the table of every run, as --csv gives it one process.",
          kFileName, [&m](const std::string& v) { m.csvPath = v; });
    merge->add_option("FILE", m.files, "the --json outputs to join.")
        ->required()
        ->option_text("...");
    return app;
}

// CLI11's words for the commonest slips, put as the other messages put things.
std::string explain(const CLI::ParseError& e, const CLI::App& parser) {
    const std::string text = e.what();
    const CLI::App* merge = parser.get_subcommand("merge");
    const CLI::App& last = merge->parsed() ? *merge : parser;
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !last.remaining().empty()) {
        const std::string first = last.remaining().front();
        return (first.starts_with("-") ? "unknown option '" : "unexpected argument '") + first +
               "'";
    }
    if (dynamic_cast<const CLI::RequiresError*>(&e) != nullptr)
        return text.substr(0, text.find(' ')) + " needs" + text.substr(text.find(" requires") + 9);
    if (dynamic_cast<const CLI::ExcludesError*>(&e) != nullptr)
        return "give --size or --particles, not both";
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) == nullptr) return text;
    if (text.ends_with(" missing")) return text.substr(0, text.find(':')) + ": needs a value";
    if (text.ends_with(" flag override"))
        return "--" + text.substr(0, text.find(' ')) + ": takes no value";
    return text;
}

}  // namespace

void checkTogether(const Options& options) {
    if (options.seed && *options.seed > std::numeric_limits<std::uint64_t>::max() -
                                            static_cast<std::uint64_t>(options.totalRuns() - 1))
        refuse("--seed is too large for " + std::to_string(options.totalRuns()) + " runs");
    // Clock seeds are refused for parts: processes started together by a scheduler could read
    // the same clock and grow the same aggregates, and no merge could be repeated.
    if (!options.shard.whole() && !options.seed) refuse("--shard needs --seed");
    if (!options.shard.whole() && (!options.checkpointPath.empty() || !options.resumePath.empty()))
        refuse("--shard takes no --checkpoint or --resume: they keep one run");
    // One file holds the fits of the whole plan, which no part has: parts started side by side
    // would each replace it with theirs. The merge of their --json outputs writes it.
    if (!options.shard.whole() && !options.fitPath.empty())
        refuse(
            "--shard takes no --fit, the file of the whole plan; 'dla-cli merge --fit F' "
            "writes it from the parts' --json outputs");
    if (!options.shard.whole() && !options.csvPath.empty())
        refuse(
            "--shard takes no --csv, the table of the whole plan; 'dla-cli merge --csv F' "
            "writes it from the parts' --json outputs");
    const std::int32_t largest = *std::max_element(options.sizes.begin(), options.sizes.end());
    const std::int32_t smallest = *std::min_element(options.sizes.begin(), options.sizes.end());
    const bool literal = options.growth.walker == Walker::Literal;
    const bool particles = options.growth.particles.has_value();
    const bool oneRun = options.totalRuns() == 1;
    if (literal && largest > kLargestSystemSize)
        refuse("--walk literal grows sizes up to " + std::to_string(kLargestSystemSize) +
               " only, got --size " + std::to_string(largest));
    if (literal && particles) refuse("--particles needs --walk jump");
    if (literal && options.killFactorGiven) refuse("--kill-factor needs --walk jump");
    if (literal && !options.checkpointPath.empty()) refuse("--checkpoint needs --walk jump");
    if (!oneRun && (!options.checkpointPath.empty() || !options.resumePath.empty()))
        refuse(std::string(options.resumePath.empty() ? "--checkpoint" : "--resume") +
               " takes one run only, not " + std::to_string(options.totalRuns()));
    if (!options.resumePath.empty() &&
        (options.sizesGiven || particles || options.seed || options.killFactorGiven || literal))
        refuse("--resume takes the size, particles, seed, kill factor and walker from its file");
    if (options.imageSize > 0 && options.scale != 1)
        refuse("--image-size and --scale are two kinds of picture; give one of them");
    // The size of a picture without --image-size is known before the run only from its size.
    if (!options.imagePath.empty() && options.imageSize == 0 &&
        (particles || !options.resumePath.empty()))
        refuse(std::string(particles ? "--particles" : "--resume") +
               " with --image needs --image-size");
    const bool small = !particles && smallest < kSmallestMeasurableSize;
    const std::string measured =
        " needs every size to be at least " + std::to_string(kSmallestMeasurableSize);
    if (small && !options.fitPath.empty()) refuse("--fit" + measured);
    if (small && !options.plotPath.empty()) refuse("--plot" + measured);
    if (!options.imagePath.empty() && options.imageSize == 0 &&
        imageBytes(largest, options.scale) > kLargestImageBytes) {
        refuse("--image at --scale " + std::to_string(options.scale) + " for --size " +
               std::to_string(largest) + " needs " +
               formatBytes(imageBytes(largest, options.scale)) +
               " of memory, more than the limit of " + formatBytes(kLargestImageBytes) +
               " (--image-size draws a smaller picture)");
    }
}

Command parseCommand(const std::vector<std::string>& args, int defaultThreads) {
    Command command;
    command.options.threads = std::clamp(defaultThreads, 1, kMostThreads);
    const std::unique_ptr<CLI::App> parser = makeParser(command);
    const CLI::App* merge = parser->get_subcommand("merge");
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        parser->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        command.help = merge->parsed() ? merge->help("dla-cli") : parser->help();
        return command;
    } catch (const CLI::CallForVersion& e) {
        command.help = e.what();
        return command;
    } catch (const CLI::ParseError& e) {
        if (!merge->parsed()) throw UsageError(explain(e, *parser) + " (see --help)");
        if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr)
            throw UsageError("merge needs the files to join (see dla-cli merge --help)");
        throw UsageError("merge: " + explain(e, *parser) + " (see dla-cli merge --help)");
    }
    if (merge->parsed()) {
        command.merging = true;
        for (const CLI::Option* option : parser->get_options()) {
            if (option->count() > 0)
                throw UsageError("merge takes no options of a run (see dla-cli merge --help)");
        }
        // An input is never also an output; the tables are written in a second pass over the
        // files, which standard input cannot give.
        const MergeOptions& m = command.merge;
        if (std::count(m.files.begin(), m.files.end(), kStandardStream) > 1)
            throw UsageError("merge: standard input ('-') can be read only once (see dla-cli "
                             "merge --help)");
        for (const std::string& file : m.files) {
            for (const auto& [option, path] :
                 {std::pair{"--fit", &m.fitPath}, std::pair{"--csv", &m.csvPath}}) {
                if (!path->empty() && file == kStandardStream)
                    throw UsageError("merge: " + std::string(option) +
                                     " reads the files twice, and standard input ('-') only "
                                     "once (see dla-cli merge --help)");
                if (!path->empty() && namesOneFile(*path, file))
                    throw UsageError("merge: " + std::string(option) + " would write '" + file +
                                     "', one of the files it joins (see dla-cli merge --help)");
            }
        }
        return command;
    }
    Options& options = command.options;
    if (options.growth.particles) options.sizes = {kNoSize};
    try {
        checkTogether(options);
        checkDistinctOutputs(options);
    } catch (const UsageError& e) {
        const std::string message = e.what();
        throw UsageError(message.ends_with("(see --help)") ? message : message + " (see --help)");
    }
    // A batch without a seed gets one that can repeat it.
    if (!options.seed && options.resumePath.empty()) {
        options.seed = drawSeed();
        options.seedDrawn = true;
    }
    return command;
}

}  // namespace dla::cli

#include "option_table.h"

#include <cstdio>
#include <limits>

#include "batch/runner.h"
#include "estimate/dimension_estimate.h"
#include "formats/byte_count.h"
#include "formats/picture.h"
#include "formats/program.h"
#include "large/large_growth.h"
#include "option_values.h"
#include "shard.h"
#include "window/growth.h"

namespace dla::cli {

namespace {

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
    "'dla-cli merge [--json] FILE...' joins the --json outputs of the parts of one plan (see\n"
    "--shard) and prints the summary that one process making the whole plan prints; 'dla-cli\n"
    "merge --help' says more.\n"
    "\n"
    "Exit status:\n"
    "  0    success\n"
    "  1    an output cannot be written (the one line on stderr says why), memory runs out,\n"
    "       or a checkpoint cannot be resumed\n"
    "  2    a bad command line\n"
    "  130  SIGINT, and 143 SIGTERM: a checkpointed run, once saved\n"
    "  141  a reader that stopped early (as SIGPIPE), without a word\n"
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
// What each run grows.
void addGrowthOptions(CLI::App& app, Options& o) {
    CLI::Option* size =
        value(app, "--size", "N[,N...]",
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
    value(app, "--particles", "M",
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
    value(app, "--kill-factor", "K",
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
    value(app, "--runs", "K", "runs per size (default 1).", whole(1, kMostRuns),
          [&o](const std::string& v) { o.runs = std::stoll(v); });
    value(app, "--seed", "S",
          "seed of the first run; run i (counting from 0 over all sizes) uses S + i\n"
          "and prints it, so '--size N --seed S+i --runs 1' repeats that run alone.\n"
          "Without --seed S is drawn from the system's entropy, said on stderr and\n"
          "recorded in every output.",
          whole(0, std::numeric_limits<std::uint64_t>::max()),
          [&o](const std::string& v) { o.seed = std::stoull(v); });
}

// How the runs are made and told.
void addBatchOptions(CLI::App& app, Options& o) {
    value(app, "--walk", "W",
          "how walkers move: 'jump' (default) crosses squares free of the aggregate\n"
          "and inside the kill circle in one exact first-passage jump, on a lattice\n"
          "without an edge, and grows aggregates with the same law as 'literal', one\n"
          "lattice step per random number as the window does, over a hundred times\n"
          "faster at N = 1000. Only 'jump' grows beyond N = " +
              std::to_string(kLargestSystemSize) +
              ", to a number of\n"
              "particles, with another kill factor or with checkpoints. A seed repeats its\n"
              "aggregate within one version of the jump walker's moves (this program's is\n"
              "version " +
              std::to_string(kJumpWalkerVersion) +
              ", in every output and checkpoint); the literal walk never\n"
              "changes.",
          oneOf("literal", "jump"), [&o](const std::string& v) {
              o.growth.walker = v == "jump" ? Walker::Jump : Walker::Literal;
          });
    value(app, "--threads", "T",
          "runs grown in parallel (default: the number of processor cores). The\n"
          "results do not depend on it.",
          whole(1, kMostThreads), [&o](const std::string& v) { o.threads = std::stoi(v); });
    value(app, "--shard", "I/K",
          "make only part I of K (1 <= I <= K) of the runs: run i (counting from 0)\n"
          "belongs to part (i mod K) + 1 and keeps the seed and number it has in the\n"
          "whole. Needs --seed. K such processes, started by any scheduler, cover the\n"
          "runs once; 'dla-cli merge' joins their --json outputs into the summary one\n"
          "process would print.",
          part(), [&o](const std::string& v) { o.shard = parseShard(v); });
    app.add_flag("--json", o.json, "one JSON object per run on stdout, then one summary object.")
        ->disable_flag_override();
    app.add_flag("-q,--quiet", o.quiet,
                 "no progress bar (it is only drawn when stderr is a terminal).")
        ->disable_flag_override();
}

// The pictures and the fit.
void addPictureOptions(CLI::App& app, Options& o) {
    CLI::Option* image =
        value(app, "--image", "F.png",
              "the aggregate as a PNG: black background, sites coloured by arrival order\n"
              "(viridis, dark = early), the seed in red. With several runs the run number\n"
              "goes before the extension: F-01.png, F-02.png, ... (F-001.png from 100 runs\n"
              "on). A picture whose pixels would take more than " +
                  formatBytes(kLargestImageBytes) + " of memory is refused before any run.",
              kFileName, [&o](const std::string& v) { o.runOutputs["--image"] = v; });
    value(app, "--scale", "P",
          "pixels per site in the image, " + range(1, kLargestImageScale) + " (default 1).",
          whole(1, kLargestImageScale), [&o](const std::string& v) { o.scale = std::stoi(v); });
    value(app, "--image-size", "PX",
          "a picture at most PX pixels a side (" + range(kSmallestImageSize, kLargestImageSize) +
              ") instead of one square a\n"
              "site, for aggregates larger than that: each pixel stands for a square\n"
              "block of sites, coloured by their mean arrival order and dimmed where the\n"
              "block is sparsely filled. Needed with --particles.",
          whole(kSmallestImageSize, kLargestImageSize),
          [&o](const std::string& v) { o.imageSize = std::stoi(v); })
        ->needs(image);
    value(app, "--fit", "F.csv",
          "the box-mass fit of every run: for each box side L the mean mass M(L),\n"
          "ln(L/L0), ln(M/M0), and the slope, its standard error and R^2. Not for a\n"
          "part (--shard): 'dla-cli merge --fit F' writes it from the parts.",
          kFileName, [&o](const std::string& v) { o.fitPath = v; });
    value(app, "--plot", "F.svg",
          "the log-log plot of M(L) against L with the fitted line, titled with the\n"
          "dimension and its standard error; numbered like --image.",
          kFileName, [&o](const std::string& v) { o.runOutputs["--plot"] = v; });
}

// The data files and the checkpoint.
void addDataOptions(CLI::App& app, Options& o) {
    value(app, "--sites", "F",
          "the sites of every run, in the order they arrived: x, y and arrival index\n"
          "(the seed 0), as numpy's .npy (an int32 array of shape (M, 3), int64 past\n"
          "2^31 sites) when F ends in .npy, else as CSV; numbered like --image.",
          kFileName, [&o](const std::string& v) { o.runOutputs["--sites"] = v; });
    value(app, "--history", "F.csv",
          "the growth history of every run: sites, radius of gyration and the reach\n"
          "of the four arms (how far the sites go along +x, -x, +y, -y) at 20 counts a\n"
          "decade; numbered like --image.",
          kFileName, [&o](const std::string& v) { o.runOutputs["--history"] = v; });
    value(app, "--csv", "F.csv",
          "one row per run with every member of its JSON line, after comment lines\n"
          "with the program, the command line, the date and the plan. Not for a part:\n"
          "'dla-cli merge --csv F' writes it from the parts.",
          kFileName, [&o](const std::string& v) { o.csvPath = v; });
    CLI::Option* checkpoint =
        value(app, "--checkpoint", "F",
              "one run only, jump walker: writes its whole state to F every\n"
              "--checkpoint-every seconds, when it ends, and on SIGINT or SIGTERM, which\n"
              "then end the program with status 130 or 143 (a second signal ends it at\n"
              "once). F is replaced at every save: a regular file, not the one stdout\n"
              "goes to.",
              kFileName, [&o](const std::string& v) { o.checkpointPath = v; });
    value(app, "--checkpoint-every", "SECONDS", "seconds between two checkpoints (default 60).",
          decimal(0.001, 1e7), [&o](const std::string& v) { o.checkpointEvery = decimalOf(v); })
        ->needs(checkpoint);
    value(app, "--resume", "F",
          "continues the run saved in the checkpoint F to the very aggregate the run\n"
          "would have grown without a break. Its size, particles, kill factor and\n"
          "seed come from F; outputs and --checkpoint may be given anew (no output\n"
          "but --checkpoint may name F). A damaged or forged F is refused whole.",
          kFileName, [&o](const std::string& v) { o.resumePath = v; });
}

// `dla-cli merge` and its options.
void addMerge(CLI::App& app, const std::shared_ptr<HelpLayout>& layout, MergeOptions& m) {
    CLI::App* merge = app.add_subcommand("merge", kMergeDescription);
    merge->formatter(layout);
    merge->footer(kMergeFooter);
    merge->set_help_flag("-h,--help", "this text.");
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
}

}  // namespace

std::unique_ptr<CLI::App> makeParser(Command& command) {
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

    Options& o = command.options;
    addGrowthOptions(*app, o);
    addBatchOptions(*app, o);
    addPictureOptions(*app, o);
    addDataOptions(*app, o);
    addMerge(*app, layout, command.merge);
    return app;
}

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

}  // namespace dla::cli

#include "options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <string_view>

#include "estimate/fractal_dimension.h"
#include "png_image.h"

namespace dla::cli {

namespace {

// Messages of the value readers leave out the option's name: the parser puts it in front.
[[noreturn]] void refuse(const std::string& message) {
    throw UsageError(message);
}

// Only plain decimal digits are numbers here: no sign, blanks, base prefix, fraction or exponent,
// so that a mistyped value is refused rather than read as something else (CLI11's own reading
// takes "-1" as 2^64 - 1 and "0050" as octal).
std::uint64_t readUnsigned(std::string_view text, std::uint64_t largest) {
    const auto digits = [](std::string_view s) {
        return !s.empty() &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::string quoted = "'" + std::string(text) + "'";
    if (text.size() > 1 && text.front() == '-' && digits(text.substr(1)))
        refuse("must not be negative, got " + quoted);
    if (!digits(text)) refuse("needs a whole number, got " + quoted);
    std::uint64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range || value > largest)
        refuse("must be at most " + std::to_string(largest) + ", got " + quoted);
    return value;
}

std::int64_t readRange(std::string_view text, std::int64_t smallest, std::int64_t largest) {
    const auto value =
        static_cast<std::int64_t>(readUnsigned(text, static_cast<std::uint64_t>(largest)));
    if (value < smallest)
        refuse("must be at least " + std::to_string(smallest) + ", got '" + std::string(text) +
               "'");
    return value;
}

// A plain decimal number, "2", "2.5" or ".5": digits with at most one point, nothing else.
double readDecimal(std::string_view text, double smallest, double largest) {
    const std::string quoted = "'" + std::string(text) + "'";
    const std::size_t point = text.find('.');
    const bool plain =
        text.find_first_not_of("0123456789.") == std::string_view::npos &&
        text.find_first_of("0123456789") != std::string_view::npos &&
        (point == std::string_view::npos || text.find('.', point + 1) == std::string_view::npos);
    if (!plain) refuse("needs a number such as 2 or 2.5, got " + quoted);
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (value < smallest || value > largest) {
        char range[64];
        std::snprintf(range, sizeof range, "must be from %g to %g, got ", smallest, largest);
        refuse(range + quoted);
    }
    return value;
}

std::vector<std::int32_t> readSizes(std::string_view text) {
    std::vector<std::int32_t> sizes;
    for (std::size_t start = 0;;) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const auto size = static_cast<std::int32_t>(
            readRange(text.substr(start, comma - start), 1, kLargestJumpSize));
        if (std::find(sizes.begin(), sizes.end(), size) != sizes.end())
            refuse("lists " + std::to_string(size) + " twice");
        sizes.push_back(size);
        if (comma == text.size()) return sizes;
        start = comma + 1;
    }
}

std::string readPath(std::string_view text) {
    if (text.empty()) refuse("needs a file name");
    return std::string(text);
}

// One row per option: the parser and the help are both made from this table.
struct OptionRow {
    const char* names;
    const char* valueName;  // nullptr for a flag
    const char* help;
    void (*take)(Options&, std::string_view);  // reads and stores a value; throws UsageError
    bool Options::*flag;
};

const OptionRow kOptionTable[] = {
    {"--size", "N[,N...]",
     "system size N, 1..1000000 (1..1000 with --walk literal; default 200): a run\n"
     "ends when a particle sticks outside the square of half-side N/2 around the\n"
     "seed. Several sizes, each grown --runs times, add a mass-radius estimate\n"
     "of the dimension to the summary. The box-mass dimension is measured from\n"
     "N = 100 on; smaller sizes are grown but not measured.",
     [](Options& o, std::string_view v) {
         o.sizes = readSizes(v);
         o.sizesGiven = true;
     },
     nullptr},
    {"--particles", "M",
     "grow each run until M particles have stuck (1..10^10), instead of to a\n"
     "size; jump walker only. Such a run has no size: its dimension is measured\n"
     "as for the size N = 2e, e the largest |x| or |y| of its sites, when that N\n"
     "is 100 or more.",
     [](Options& o, std::string_view v) { o.particles = readRange(v, 1, kMostParticles); },
     nullptr},
    {"--kill-factor", "K",
     "walkers are killed once they are farther than K R from the seed, R the\n"
     "launch radius; K from 2 (default, the window's rule) to 16; jump walker\n"
     "only. Killing a walker drops the chance that it would have come back and\n"
     "stuck somewhere else, which biases the aggregate slightly; a larger K\n"
     "shrinks that bias, at the cost of longer walks.",
     [](Options& o, std::string_view v) {
         o.killFactor = readDecimal(v, kWindowKillFactor, kLargestKillFactor);
     },
     nullptr},
    {"--runs", "K", "runs per size (default 1).",
     [](Options& o, std::string_view v) { o.runs = readRange(v, 1, kMostRuns); }, nullptr},
    {"--seed", "S",
     "seed of the first run; run i (counting from 0 over all sizes) uses S + i\n"
     "and prints it, so '--size N --seed S+i --runs 1' repeats that run alone.\n"
     "Without --seed every run is seeded from the clock (seed printed as null).",
     [](Options& o, std::string_view v) {
         o.seed = readUnsigned(v, std::numeric_limits<std::uint64_t>::max());
     },
     nullptr},
    {"--walk", "W",
     "how walkers move: 'jump' (default) crosses squares free of the aggregate\n"
     "and inside the kill circle in one exact first-passage jump, on a lattice\n"
     "without an edge, and grows aggregates with the same law as 'literal', one\n"
     "lattice step per random number as the window does, over a hundred times\n"
     "faster at N = 1000. Only 'jump' grows beyond N = 1000, to a number of\n"
     "particles, with another kill factor or with checkpoints.",
     [](Options& o, std::string_view v) {
         if (v != "literal" && v != "jump")
             refuse("must be literal or jump, got '" + std::string(v) + "'");
         o.walk = v == "jump" ? Walker::Jump : Walker::Literal;
     },
     nullptr},
    {"--threads", "T",
     "runs grown in parallel (default: the number of processor cores). The\n"
     "results do not depend on it.",
     [](Options& o, std::string_view v) {
         o.threads = static_cast<int>(readRange(v, 1, kMostThreads));
     },
     nullptr},
    {"--shard", "I/K",
     "make only part I of K (1 <= I <= K) of the runs: run i (counting from 0)\n"
     "belongs to part (i mod K) + 1 and keeps the seed and number it has in the\n"
     "whole. Needs --seed. K such processes, started by any scheduler, cover the\n"
     "runs once; 'dla-cli merge' joins their --json outputs into the summary one\n"
     "process would print.",
     [](Options& o, std::string_view v) { o.shard = parseShard(v); }, nullptr},
    {"--json", nullptr, "one JSON object per run on stdout, then one summary object.", nullptr,
     &Options::json},
    {"-q,--quiet", nullptr, "no progress bar (it is only drawn when stderr is a terminal).",
     nullptr, &Options::quiet},
    {"--image", "F.png",
     "the aggregate as a PNG: black background, sites coloured by arrival order\n"
     "(viridis, dark = early), the seed in red. With several runs the run number\n"
     "goes before the extension: F-01.png, F-02.png, ... A picture whose pixels\n"
     "would take more than 1 GB of memory is refused before any run.",
     [](Options& o, std::string_view v) { o.imagePath = readPath(v); }, nullptr},
    {"--scale", "P", "pixels per site in the image, 1..64 (default 1).",
     [](Options& o, std::string_view v) {
         o.scale = static_cast<int>(readRange(v, 1, kLargestScale));
     },
     nullptr},
    {"--image-size", "PX",
     "a picture at most PX pixels a side (16..8000) instead of one square a\n"
     "site, for aggregates larger than that: each pixel stands for a square\n"
     "block of sites, coloured by their mean arrival order and dimmed where the\n"
     "block is sparsely filled. Needed with --particles.",
     [](Options& o, std::string_view v) {
         o.imageSize = static_cast<int>(readRange(v, 16, kLargestImageSize));
     },
     nullptr},
    {"--fit", "F.csv",
     "the box-mass fit of every run: for each box side L the mean mass M(L),\n"
     "ln(L/L0), ln(M/M0), and the slope, its standard error and R^2. Not for a\n"
     "part (--shard): 'dla-cli merge --fit F' writes it from the parts.",
     [](Options& o, std::string_view v) { o.fitPath = readPath(v); }, nullptr},
    {"--plot", "F.svg",
     "the log-log plot of M(L) against L with the fitted line, titled with the\n"
     "dimension and its standard error; numbered like --image.",
     [](Options& o, std::string_view v) { o.plotPath = readPath(v); }, nullptr},
    {"--checkpoint", "F",
     "one run only, jump walker: writes its whole state to F every\n"
     "--checkpoint-every seconds, when it ends, and on SIGINT or SIGTERM, which\n"
     "then end the program with status 1 (a second signal ends it at once). F\n"
     "is replaced at every save: a regular file, not the one stdout goes to.",
     [](Options& o, std::string_view v) { o.checkpointPath = readPath(v); }, nullptr},
    {"--checkpoint-every", "SECONDS", "seconds between two checkpoints (default 60).",
     [](Options& o, std::string_view v) {
         o.checkpointEvery = readDecimal(v, 0.001, 1e7);
         o.checkpointEveryGiven = true;
     },
     nullptr},
    {"--resume", "F",
     "continues the run saved in the checkpoint F to the very aggregate the run\n"
     "would have grown without a break. Its size, particles, kill factor and\n"
     "seed come from F; outputs and --checkpoint may be given anew (no output\n"
     "but --checkpoint may name F). A damaged or forged F is refused whole.",
     [](Options& o, std::string_view v) { o.resumePath = readPath(v); }, nullptr},
};

constexpr const char* kDescription =
    "Grows diffusion-limited aggregates on the square lattice without a window, estimates the\n"
    "fractal dimension of each from its box masses, and reports the results.";

constexpr const char* kFooter =
    "Output: a line per run on stdout (or JSON with --json) and the summary table on stderr:\n"
    "runs, particles and radius of gyration (mean and standard deviation), the dimension (mean,\n"
    "standard deviation and standard error of the mean) and, with several sizes, the mass-radius\n"
    "dimension (slope of ln sites against ln radius of gyration) with its standard error.\n"
    "\n"
    "Files are written whole or not at all: the contents go to an unnamed file in the target's\n"
    "folder, which takes the file's name only once complete (a regular file that is replaced\n"
    "keeps its permissions; one that may not be written to is refused, as by a shell's '>').\n"
    "Devices, pipes and the files that symbolic links point to are written through. Two\n"
    "outputs with one path are refused, and so is an option value that starts with \"--\". A\n"
    "batch expected to need a gigabyte of memory or more says so before it starts. Exit\n"
    "status: 0 on success, 1 when an output cannot be written (a file, stdout or stderr; the\n"
    "one line on stderr says why), memory runs out, a checkpoint cannot be resumed or a\n"
    "checkpointed run was interrupted, 2 on a bad command line.\n"
    "\n"
    "'dla-cli merge [--json] FILE...' joins the --json outputs of the parts of one plan (see\n"
    "--shard) and prints the summary that one process making the whole plan prints; 'dla-cli\n"
    "merge --help' says more.\n"
    "\n"
    "Examples:\n"
    "  dla-cli --size 200 --runs 20 --seed 1\n"
    "  dla-cli --size 300 --seed 7 --image cluster.png --scale 2 --plot fit.svg --fit fit.csv\n"
    "  dla-cli --particles 1000000 --seed 1 --image big.png --image-size 2000 --checkpoint c\n"
    "  dla-cli --size 100,200,400 --runs 10 --seed 1 --json > runs.jsonl\n"
    "  dla-cli --size 200 --runs 30 --seed 7 --shard 2/3 --json > part-2.json\n"
    "  dla-cli merge --json part-1.json part-2.json part-3.json";

// CLI11 puts the description above the usage line; ours reads usage first.
class HelpLayout : public CLI::Formatter {
  public:
    std::string make_description(const CLI::App*) const override { return {}; }
    std::string make_usage(const CLI::App* app, std::string name) const override {
        return CLI::Formatter::make_usage(app, name) + "\n" + app->get_description() + "\n";
    }
};

// The parser for `options`: every row of the table becomes an option whose values are checked
// (each of them, also those a later repetition overrides) and then stored.
std::unique_ptr<CLI::App> makeParser(Options& options) {
    auto app = std::make_unique<CLI::App>(kDescription, "dla-cli");
    auto layout = std::make_shared<HelpLayout>();
    layout->column_width(19);
    app->formatter(layout);
    app->footer(kFooter);
    app->set_help_flag("-h,--help", "this text.");
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    for (const OptionRow& row : kOptionTable) {
        if (row.flag != nullptr) {
            app->add_flag(row.names, options.*row.flag, row.help)->disable_flag_override();
            continue;
        }
        const auto take = row.take;
        app->add_option_function<std::string>(
               row.names, [&options, take](const std::string& v) { take(options, v); }, row.help)
            ->type_name(row.valueName)
            ->check(CLI::Validator(
                [take](std::string& value) -> std::string {
                    if (value.rfind("--", 0) == 0)
                        return "needs a value, got the option '" + value + "'";
                    try {
                        Options scratch;
                        take(scratch, value);
                    } catch (const UsageError& e) {
                        return e.what();
                    }
                    return {};
                },
                ""));
    }
    return app;
}

// CLI11's words for the commonest slips, put as the other messages put things.
std::string explain(const CLI::ParseError& e, const CLI::App& parser) {
    const std::string text = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !parser.remaining().empty()) {
        const std::string first = parser.remaining().front();
        return (first.starts_with("-") ? "unknown option '" : "unexpected argument '") + first +
               "'";
    }
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
    const std::int32_t largest = *std::max_element(options.sizes.begin(), options.sizes.end());
    const std::int32_t smallest = *std::min_element(options.sizes.begin(), options.sizes.end());
    const bool literal = options.walk == Walker::Literal;
    const bool oneRun = options.totalRuns() == 1;
    if (literal && largest > kLargestSystemSize)
        refuse("--walk literal grows sizes up to 1000 only, got --size " + std::to_string(largest));
    // A run of a number of particles has no size that could end it as well.
    if (options.particles && options.sizesGiven) refuse("give --size or --particles, not both");
    if (literal && options.particles) refuse("--particles needs --walk jump");
    if (literal && options.killFactor) refuse("--kill-factor needs --walk jump");
    if (literal && !options.checkpointPath.empty()) refuse("--checkpoint needs --walk jump");
    if (!oneRun && (!options.checkpointPath.empty() || !options.resumePath.empty()))
        refuse(std::string(options.resumePath.empty() ? "--checkpoint" : "--resume") +
               " takes one run only, not " + std::to_string(options.totalRuns()));
    if (options.checkpointEveryGiven && options.checkpointPath.empty())
        refuse("--checkpoint-every needs --checkpoint");
    if (!options.resumePath.empty() &&
        (options.sizesGiven || options.particles || options.seed || options.killFactor || literal))
        refuse("--resume takes the size, particles, seed, kill factor and walker from its file");
    if (options.imageSize > 0 && options.imagePath.empty()) refuse("--image-size needs --image");
    if (options.imageSize > 0 && options.scale != 1)
        refuse("--image-size and --scale are two kinds of picture; give one of them");
    // The size of a picture without --image-size is known before the run only from its size.
    if (!options.imagePath.empty() && options.imageSize == 0 &&
        (options.particles || !options.resumePath.empty()))
        refuse(std::string(options.particles ? "--particles" : "--resume") +
               " with --image needs --image-size");
    const bool small = !options.particles && smallest < kSmallestMeasurableSize;
    if (small && !options.fitPath.empty()) refuse("--fit needs every size to be at least 100");
    if (small && !options.plotPath.empty()) refuse("--plot needs every size to be at least 100");
    if (!options.imagePath.empty() && options.imageSize == 0 &&
        imageBytes(largest, options.scale) > kLargestImageBytes) {
        refuse("--image at --scale " + std::to_string(options.scale) + " for --size " +
               std::to_string(largest) + " needs " +
               formatBytes(imageBytes(largest, options.scale)) +
               " of memory, more than the limit of " + formatBytes(kLargestImageBytes) +
               " (--image-size draws a smaller picture)");
    }
}

Options parseOptions(const std::vector<std::string>& args, int defaultThreads) {
    Options options;
    options.threads = std::clamp(defaultThreads, 1, kMostThreads);
    const std::unique_ptr<CLI::App> parser = makeParser(options);
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        parser->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        options.help = true;
        return options;
    } catch (const CLI::ParseError& e) {
        throw UsageError(explain(e, *parser) + " (see --help)");
    }
    if (options.particles) options.sizes = {kNoSize};
    try {
        checkTogether(options);
    } catch (const UsageError& e) {
        throw UsageError(std::string(e.what()) + " (see --help)");
    }
    return options;
}

std::string helpText() {
    Options options;
    return makeParser(options)->help();
}

}  // namespace dla::cli

#include "options.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>

#include "fractal_dimension.h"

namespace dla::cli {

namespace {

[[noreturn]] void fail(const std::string& message) {
    throw UsageError(message + " (see --help)");
}

// Only plain decimal digits are numbers here: no sign, blanks, fraction or exponent, so that a
// mistyped value is refused rather than read as something else.
std::uint64_t parseUnsigned(std::string_view option, std::string_view text, std::uint64_t largest) {
    if (!text.empty() && text.front() == '-') {
        const bool numeric =
            text.size() > 1 &&
            std::all_of(text.begin() + 1, text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (numeric)
            fail(std::string(option) + " must not be negative, got '" + std::string(text) + "'");
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error == std::errc::invalid_argument || end != text.data() + text.size()) {
        fail(std::string(option) + " needs a whole number, got '" + std::string(text) + "'");
    }
    if (error == std::errc::result_out_of_range || value > largest) {
        fail(std::string(option) + " must be at most " + std::to_string(largest) + ", got '" +
             std::string(text) + "'");
    }
    return value;
}

std::int64_t parseRange(std::string_view option, std::string_view text, std::int64_t smallest,
                        std::int64_t largest) {
    const auto value =
        static_cast<std::int64_t>(parseUnsigned(option, text, static_cast<std::uint64_t>(largest)));
    if (value < smallest) {
        fail(std::string(option) + " must be at least " + std::to_string(smallest) + ", got '" +
             std::string(text) + "'");
    }
    return value;
}

std::vector<std::int32_t> parseSizes(std::string_view text) {
    std::vector<std::int32_t> sizes;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item =
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        const auto size =
            static_cast<std::int32_t>(parseRange("--size", item, 1, kLargestSystemSize));
        if (std::find(sizes.begin(), sizes.end(), size) != sizes.end()) {
            fail("--size lists " + std::to_string(size) + " twice");
        }
        sizes.push_back(size);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return sizes;
}

Walk parseWalk(std::string_view text) {
    if (text == "literal") return Walk::Literal;
    if (text == "jump") return Walk::Jump;
    fail("--walk must be literal or jump, got '" + std::string(text) + "'");
}

std::string parsePath(std::string_view option, std::string_view text) {
    if (text.empty()) fail(std::string(option) + " needs a file name");
    return std::string(text);
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args, int defaultThreads) {
    Options options;
    options.threads = std::clamp(defaultThreads, 1, kMostThreads);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            continue;
        }
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
            continue;
        }
        if (arg.substr(0, 2) != "--") fail("unexpected argument '" + std::string(arg) + "'");

        // Both "--name value" and "--name=value".
        std::string_view name = arg;
        std::string_view value;
        const auto equals = arg.find('=');
        if (equals != std::string_view::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (name == "--json" || name == "--quiet" || name == "--help")
            fail(std::string(name) + " takes no value");
        const bool known = name == "--size" || name == "--runs" || name == "--seed" ||
                           name == "--threads" || name == "--image" || name == "--scale" ||
                           name == "--fit" || name == "--plot" || name == "--walk";
        if (!known) fail("unknown option '" + std::string(name) + "'");
        if (equals == std::string_view::npos) {
            if (i + 1 >= args.size()) fail(std::string(name) + " needs a value");
            value = args[++i];
        }

        if (name == "--size") {
            options.sizes = parseSizes(value);
        } else if (name == "--runs") {
            options.runs = parseRange(name, value, 1, kMostRuns);
        } else if (name == "--seed") {
            options.seed = parseUnsigned(name, value, std::numeric_limits<std::uint64_t>::max());
        } else if (name == "--threads") {
            options.threads = static_cast<int>(parseRange(name, value, 1, kMostThreads));
        } else if (name == "--image") {
            options.imagePath = parsePath(name, value);
        } else if (name == "--scale") {
            options.scale = static_cast<int>(parseRange(name, value, 1, kLargestScale));
        } else if (name == "--walk") {
            options.growth.walk = parseWalk(value);
        } else if (name == "--fit") {
            options.fitPath = parsePath(name, value);
        } else {
            options.plotPath = parsePath(name, value);
        }
    }

    if (options.seed && *options.seed > std::numeric_limits<std::uint64_t>::max() -
                                            static_cast<std::uint64_t>(options.totalRuns() - 1)) {
        fail("--seed is too large for " + std::to_string(options.totalRuns()) + " runs");
    }
    const bool tooSmall = std::any_of(options.sizes.begin(), options.sizes.end(),
                                      [](std::int32_t n) { return n < kSmallestMeasurableSize; });
    if (tooSmall && !options.fitPath.empty()) fail("--fit needs every size to be at least 100");
    if (tooSmall && !options.plotPath.empty()) fail("--plot needs every size to be at least 100");
    return options;
}

std::string helpText() {
    return R"(Usage: dla-cli [options]

Grows diffusion-limited aggregates on the square lattice without a window, estimates the
fractal dimension of each from its box masses, and reports the results.

Options:
  --size N[,N...]  system size N, 1..1000 (default 200): a run ends when a particle sticks
                   outside the square of half-side N/2 around the seed. Several sizes, each
                   grown --runs times, add a mass-radius estimate of the dimension to the
                   summary. Sizes below 100 are grown but not measured.
  --runs K         runs per size (default 1).
  --seed S         seed of the first run; run i (counting from 0 over all sizes) uses S + i
                   and prints it, so '--size N --seed S+i --runs 1' repeats that run alone.
                   Without --seed every run is seeded from the clock (seed printed as null).
  --walk W         how walkers move: 'jump' (default) crosses squares free of the aggregate,
                   the kill circle and the lattice's edge in one exact first-passage jump, and
                   grows aggregates with the same law as 'literal', one lattice step per random
                   number as the window does, over a hundred times faster at N = 1000.
  --threads T      runs grown in parallel (default: the number of processor cores). The
                   results do not depend on it.
  --json           one JSON object per run on stdout, then one summary object.
  --quiet          no progress bar (it is only drawn when stderr is a terminal).
  --image F.png    the aggregate as a PNG: black background, sites coloured by arrival order
                   (viridis, dark = early), the seed in red. With several runs the run number
                   goes before the extension: F-01.png, F-02.png, ...
  --scale P        pixels per site in the image, 1..64 (default 1).
  --fit F.csv      the box-mass fit of every run: for each box side L the mean mass M(L),
                   ln(L/L0), ln(M/M0), and the slope, its standard error and R^2.
  --plot F.svg     the log-log plot of M(L) against L with the fitted line, titled with the
                   dimension and its standard error; numbered like --image.
  -h, --help       this text.

Output: a line per run on stdout (or JSON with --json) and the summary table on stderr:
runs, particles and radius of gyration (mean and standard deviation), the dimension (mean,
standard deviation and standard error of the mean) and, with several sizes, the mass-radius
dimension (slope of ln sites against ln radius of gyration) with its standard error.
Files are written under a temporary name in the same folder and then renamed, so a failed
write leaves nothing behind. Exit status: 0 on success, 1 when a file cannot be written,
2 on a bad command line.

Examples:
  dla-cli --size 200 --runs 20 --seed 1
  dla-cli --size 300 --seed 7 --image cluster.png --scale 2 --plot fit.svg --fit fit.csv
  dla-cli --size 100,200,400 --runs 10 --seed 1 --json > runs.jsonl
)";
}

}  // namespace dla::cli

#include "merge.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "estimate/fractal_dimension.h"
#include "output_file.h"
#include "output_paths.h"
#include "report.h"

namespace dla::cli {

namespace {

// Members keep the order they were read in, so that the plan is written back as it was.
using Json = nlohmann::ordered_json;

// Nothing dla-cli writes nests deeper than this.
constexpr int kDeepest = 8;

std::string describe(const Shard& shard) {
    return shard.whole()
               ? std::string("the whole plan")
               : "part " + std::to_string(shard.index) + " of " + std::to_string(shard.count);
}

// The lines of one file, each without its newline.
class LineReader {
  public:
    explicit LineReader(const std::string& path)
        : path_(path), file_(std::fopen(path.c_str(), "rb"), &std::fclose) {
        if (!file_) fail();
    }

    /// The next line, or false at the end of the file.
    bool next(std::string& line) {
        line.clear();
        lineStart_ = base_ + static_cast<std::int64_t>(start_);
        for (;;) {
            if (start_ == end_ && !fill()) {
                if (line.empty()) return false;
                ++number_;  // the last line, without a newline
                return true;
            }
            const char* from = buffer_ + start_;
            const auto* newline = static_cast<const char*>(std::memchr(from, '\n', end_ - start_));
            const std::size_t taken =
                newline ? static_cast<std::size_t>(newline - from) : end_ - start_;
            if (line.size() + taken > kLongestMergeLine) {
                throw MergeError(path_ + ": line " + std::to_string(number_ + 1) +
                                 " is longer than " + std::to_string(kLongestMergeLine) +
                                 " bytes: not dla-cli --json output");
            }
            line.append(from, taken);
            start_ += taken;
            if (newline) {
                ++start_;
                ++number_;
                return true;
            }
        }
    }

    std::int64_t number() const { return number_; }
    /// Where the line that next() gave starts, in bytes from the start of the file.
    std::int64_t lineStart() const { return lineStart_; }

    /// Reads on from `offset` bytes into the file.
    void seek(std::int64_t offset) {
        if (::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) fail();
        base_ = offset;
        start_ = end_ = 0;
    }

  private:
    bool fill() {
        base_ += static_cast<std::int64_t>(end_);
        start_ = 0;
        errno = 0;
        end_ = std::fread(buffer_, 1, sizeof buffer_, file_.get());
        if (end_ == 0 && std::ferror(file_.get())) fail();
        return end_ > 0;
    }

    [[noreturn]] void fail() const {
        throw MergeError("cannot read " + path_ + ": " + std::strerror(errno != 0 ? errno : EIO));
    }

    std::string path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    char buffer_[1 << 16];
    std::size_t start_ = 0, end_ = 0;
    std::int64_t base_ = 0;  // the offset of buffer_[0] in the file
    std::int64_t number_ = 0;
    std::int64_t lineStart_ = 0;
};

// A line as JSON; discarded when it is not valid JSON, nests too deep or repeats a key.
Json parseLine(const std::string& line, std::string& problem) {
    std::vector<std::set<std::string>> keys;
    const Json::parser_callback_t check = [&](int depth, Json::parse_event_t event, Json& parsed) {
        using Event = Json::parse_event_t;
        if (depth > kDeepest && problem.empty()) problem = "nests deeper than dla-cli writes";
        if (event == Event::object_start) keys.emplace_back();
        if (event == Event::object_end && !keys.empty()) keys.pop_back();
        if (event == Event::key && !keys.empty() && parsed.is_string() &&
            !keys.back().insert(parsed.get<std::string>()).second && problem.empty())
            problem = "repeats the key " + parsed.dump().substr(0, 40);
        // What is too deep is dropped as it is read, so that it costs no memory.
        return depth <= kDeepest;
    };
    Json json = Json::parse(line, check, false);
    if (json.is_discarded() && problem.empty()) problem = "is not valid JSON";
    return problem.empty() ? json : Json(Json::value_t::discarded);
}

// What the summary needs of one run, and where it was read.
struct Row {
    std::int64_t index;
    std::int64_t line;
    std::int64_t offset;  // of the line in its file
    std::size_t file;
    std::int32_t size;
    std::int64_t planRuns;  // the runs of the whole plan, as the line gives them
    std::optional<std::uint64_t> seed;
    std::int64_t particles;
    std::int64_t sites;
    double radiusOfGyration;
    std::optional<double> dimension;
    std::optional<std::int64_t> particleLimit;
    std::optional<double> killFactor;
    std::optional<double> historyDimension;
    std::optional<double> anisotropy;  // its fourfold harmonic
    bool hashed;                       // the jump walker's runs carry a hash, the literal's none
};

// The members of one line, each checked before it is taken.
class Fields {
  public:
    Fields(const Json& object, std::string where) : object_(object), where_(std::move(where)) {}
    const std::string& where() const { return where_; }

    [[noreturn]] void fail(const std::string& message) const {
        throw MergeError(where_ + ": " + message);
    }

    const Json& member(const char* key) const {
        const auto found = object_.find(key);
        if (found == object_.end()) fail(std::string("has no \"") + key + "\"");
        return *found;
    }

    std::int64_t whole(const char* key, std::int64_t least, std::int64_t most) const {
        return wholeValue(member(key), key, least, most);
    }

    std::int64_t wholeValue(const Json& value, const std::string& name, std::int64_t least,
                            std::int64_t most) const {
        bool fits = false;
        if (value.is_number_unsigned()) {
            fits = value.get<std::uint64_t>() <= static_cast<std::uint64_t>(most) &&
                   value.get<std::int64_t>() >= least;
        } else if (value.is_number_integer()) {
            fits = value.get<std::int64_t>() >= least && value.get<std::int64_t>() <= most;
        }
        if (!fits)
            fail("\"" + name + "\" must be a whole number from " + std::to_string(least) + " to " +
                 std::to_string(most));
        return value.get<std::int64_t>();
    }

    std::optional<std::int64_t> wholeOrNull(const char* key, std::int64_t least,
                                            std::int64_t most) const {
        const Json& value = member(key);
        if (value.is_null()) return std::nullopt;
        return wholeValue(value, key, least, most);
    }

    std::optional<std::uint64_t> seed() const {
        const Json& value = member("seed");
        if (value.is_null()) return std::nullopt;
        if (!value.is_number_integer() ||
            (!value.is_number_unsigned() && value.get<std::int64_t>() < 0))
            fail("\"seed\" must be null or a whole number from 0 to 2^64 - 1");
        return value.get<std::uint64_t>();
    }

    std::optional<double> real(const char* key, bool nullable) const {
        const Json& value = member(key);
        if (nullable && value.is_null()) return std::nullopt;
        if (!value.is_number() || !std::isfinite(value.get<double>()))
            fail(std::string("\"") + key + "\" must be a number" + (nullable ? " or null" : ""));
        return value.get<double>();
    }

  private:
    const Json& object_;
    std::string where_;
};

// The plan of a file: the options that made its runs, checked by the command line's own rules.
struct Plan {
    Json json;
    Options options;
    std::int64_t total() const { return options.totalRuns(); }
};

Plan readPlan(const Json& json, const std::string& where) {
    if (!json.is_object()) throw MergeError(where + ": \"plan\" must be an object");
    const Fields fields(json, where + ": its plan");
    Plan plan;
    plan.json = json;
    Options& options = plan.options;
    const Json& walk = fields.member("walk");
    if (walk != "jump" && walk != "literal")
        fields.fail("\"walk\" must be \"jump\" or \"literal\"");
    options.walk = walk == "jump" ? Walker::Jump : Walker::Literal;
    options.particles = fields.wholeOrNull("particles", 1, kMostParticles);
    const Json& sizes = fields.member("sizes");
    if (!sizes.is_array() || sizes.empty()) fields.fail("\"sizes\" must be a list of sizes");
    options.sizes.clear();
    for (const Json& size : sizes) {
        const auto n = static_cast<std::int32_t>(
            fields.wholeValue(size, "sizes", options.particles ? kNoSize : 1,
                              options.particles ? kNoSize : kLargestJumpSize));
        if (std::find(options.sizes.begin(), options.sizes.end(), n) != options.sizes.end())
            fields.fail("\"sizes\" lists " + std::to_string(n) + " twice");
        options.sizes.push_back(n);
    }
    options.sizesGiven = !options.particles;
    options.runs = fields.whole("runs", 1, kMostRuns);
    options.seed = fields.seed();
    const double kill = *fields.real("kill_factor", false);
    if (!(kill >= kWindowKillFactor && kill <= kLargestKillFactor))
        fields.fail("\"kill_factor\" must be from 2 to 16");
    // 2 is also what a plan without --kill-factor writes.
    if (kill != kWindowKillFactor) options.killFactor = kill;
    try {
        checkTogether(options);
    } catch (const UsageError& e) {
        fields.fail(std::string("cannot be run: ") + e.what());
    }
    if (planJson(options) != json.dump()) fields.fail("is not one that dla-cli writes");
    return plan;
}

// One file's runs, its plan and its part.
struct Output {
    std::string path;
    Plan plan;
    Shard shard;
    std::vector<Row> rows;
};

Row readRun(const Fields& fields, std::int64_t line, std::int64_t offset, std::size_t file) {
    Row row{};
    row.index = fields.whole("run", 1, std::numeric_limits<std::int64_t>::max()) - 1;
    row.line = line;
    row.offset = offset;
    row.file = file;
    row.size = static_cast<std::int32_t>(
        fields.wholeOrNull("size", 1, kLargestJumpSize).value_or(kNoSize));
    row.planRuns = fields.whole("runs", 1, std::numeric_limits<std::int64_t>::max());
    row.seed = fields.seed();
    row.particles = fields.whole("particles", 0, std::numeric_limits<std::int64_t>::max());
    row.sites = fields.whole("sites", 1, std::numeric_limits<std::int64_t>::max());
    row.radiusOfGyration = *fields.real("radius_of_gyration", false);
    row.dimension = fields.real("dimension", true);
    row.particleLimit =
        fields.wholeOrNull("particle_limit", 1, std::numeric_limits<std::int64_t>::max());
    row.killFactor = fields.real("kill_factor", true);
    row.historyDimension = fields.real("history_dimension", true);
    const Json& anisotropy = fields.member("anisotropy");
    if (!anisotropy.is_null()) {
        if (!anisotropy.is_object()) fields.fail("\"anisotropy\" must be an object or null");
        row.anisotropy =
            Fields(anisotropy, fields.where() + ": its anisotropy").real("cos4", false);
    }
    const Json& hash = fields.member("hash");
    if (!hash.is_null() && !hash.is_string()) fields.fail("\"hash\" must be a string or null");
    row.hashed = hash.is_string();
    return row;
}

Output readOutput(const std::string& path, std::size_t file) {
    Output output;
    output.path = path;
    LineReader reader(path);
    std::string text;
    std::optional<std::int64_t> summaryRuns;
    while (reader.next(text)) {
        if (text.empty()) continue;
        const std::string where = path + ": line " + std::to_string(reader.number());
        if (summaryRuns) throw MergeError(where + ": follows the summary (one output per file)");
        std::string problem;
        const Json json = parseLine(text, problem);
        if (!problem.empty()) throw MergeError(where + ": " + problem);
        if (!json.is_object() || !json.contains("type") || !json["type"].is_string())
            throw MergeError(where + ": is not an object with a \"type\"");
        const Fields fields(json, where);
        const auto& type = json["type"].get_ref<const std::string&>();
        if (type == "run") {
            output.rows.push_back(readRun(fields, reader.number(), reader.lineStart(), file));
        } else if (type == "summary") {
            summaryRuns = fields.whole("runs", 0, std::numeric_limits<std::int64_t>::max());
            output.plan = readPlan(fields.member("plan"), where);
            if (json.contains("shard")) {
                const Json& part = json["shard"];
                if (!part.is_object()) fields.fail("\"shard\" must be an object");
                const Fields shard(part, where + ": its shard");
                output.shard.count = shard.whole("count", 1, kMostShards);
                output.shard.index = shard.whole("index", 1, output.shard.count);
            }
        } else {
            fields.fail("has the unknown type " + json["type"].dump());
        }
    }
    if (!summaryRuns) throw MergeError(path + ": has no summary line (did its process finish?)");
    if (*summaryRuns != static_cast<std::int64_t>(output.rows.size())) {
        throw MergeError(path + ": its summary counts " + std::to_string(*summaryRuns) +
                         " runs but it holds " + std::to_string(output.rows.size()));
    }
    return output;
}

// Every run of a file as its plan makes it.
void checkRuns(const Output& output) {
    const std::string& path = output.path;
    const Plan& plan = output.plan;
    for (const Row& row : output.rows) {
        const std::string where =
            path + ": line " + std::to_string(row.line) + ": run " + std::to_string(row.index + 1);
        if (row.index >= plan.total() || row.planRuns != plan.total())
            throw MergeError(where + " is not one of the " + std::to_string(plan.total()) +
                             " runs of its plan");
        if (!output.shard.holds(row.index))
            throw MergeError(where + " is not in " + describe(output.shard));
        const Options& o = plan.options;
        if (row.size != o.sizes[static_cast<std::size_t>(row.index / o.runs)])
            throw MergeError(where + " has a size its plan gives another run");
        const auto seed =
            o.seed ? std::optional(*o.seed + static_cast<std::uint64_t>(row.index)) : std::nullopt;
        if (row.seed != seed) throw MergeError(where + " has a seed its plan does not give it");
        const bool jump = o.walk == Walker::Jump;
        if (row.hashed != jump)
            throw MergeError(where + " is not a run of the " + (jump ? "jump" : "literal") +
                             " walker of its plan");
        if (row.killFactor != (jump ? std::optional(o.killFactor.value_or(kWindowKillFactor)) : std::nullopt))
            throw MergeError(where + " has a kill factor its plan does not give it");
        if (row.particleLimit != o.particles)
            throw MergeError(where + " has a particle limit its plan does not give it");
    }
}

// Why two plans are not one: the first member in which they differ.
std::string difference(const Json& a, const Json& b) {
    for (const auto& [key, value] : a.items()) {
        if (!b.contains(key) || b[key] != value) return "\"" + key + "\"";
    }
    for (const auto& [key, value] : b.items()) {
        if (!a.contains(key)) return "\"" + key + "\"";
    }
    return "the order of their members";
}

}  // namespace

std::string planJson(const Options& options) {
    Json json;
    json["sizes"] = options.sizes;
    json["runs"] = options.runs;
    json["seed"] = options.seed ? Json(*options.seed) : Json(nullptr);
    json["walk"] = options.walk == Walker::Jump ? "jump" : "literal";
    json["particles"] = options.particles ? Json(*options.particles) : Json(nullptr);
    json["kill_factor"] = options.killFactor.value_or(kWindowKillFactor);
    return json.dump();
}

namespace {

// A run's fit, read back from its line as the single process had it when it wrote its fit file.
RunRecord fitOf(const Json& run, const std::string& where) {
    const Fields fields(run, where);
    RunRecord record;
    record.plan.index = fields.whole("run", 1, std::numeric_limits<std::int64_t>::max()) - 1;
    record.plan.size = static_cast<std::int32_t>(
        fields.wholeOrNull("size", 1, kLargestJumpSize).value_or(kNoSize));
    record.plan.seed = fields.seed();
    const Json& fit = fields.member("fit");
    if (fit.is_null()) return record;
    if (!fit.is_object()) fields.fail("\"fit\" must be an object or null");
    const Fields line(fit, where + ": its fit");
    DimensionEstimate estimate;
    LineFit result;
    result.slope = *line.real("slope", false);
    result.slopeStandardError = line.real("slope_standard_error", true);
    result.rSquared = line.real("r_squared", true);
    const Json& points = line.member("points");
    if (!points.is_array()) line.fail("\"points\" must be a list");
    for (const Json& point : points) {
        if (!point.is_object()) line.fail("\"points\" must hold objects");
        const Fields p(point, where + ": a point of its fit");
        estimate.points.push_back({static_cast<std::int32_t>(p.whole("side", 1, kLargestJumpSize)),
                                   *p.real("mean_mass", false), *p.real("ln_l_over_l0", false),
                                   *p.real("ln_m_over_m0", false)});
    }
    record.result.estimate = std::move(estimate);
    record.result.fit = result;
    return record;
}

// The fit file one process making the whole plan writes, from the runs' lines read a second
// time, in the order of the plan. Only `rows` (a few dozen bytes a run) stay in memory.
void writeFits(const std::string& path, const std::vector<std::string>& files,
               const std::vector<Row>& rows) {
    OutputFile out(path);
    out.write(fitCsvHeader());
    std::vector<std::unique_ptr<LineReader>> readers(files.size());
    std::string text;
    for (const Row& row : rows) {
        auto& reader = readers[row.file];
        if (!reader) reader = std::make_unique<LineReader>(files[row.file]);
        reader->seek(row.offset);
        const std::string where = files[row.file] + ": line " + std::to_string(row.line);
        std::string problem;
        const Json json = reader->next(text) ? parseLine(text, problem) : Json();
        if (!problem.empty() || !json.is_object() || !json.contains("run") ||
            json["run"] != row.index + 1)
            throw MergeError(where + ": changed while it was merged");
        out.write(fitCsvRows(fitOf(json, where)));
    }
    out.commit();
}

}  // namespace

Merged mergeOutputs(const std::vector<std::string>& files, const std::string& fitPath) {
    std::vector<Output> outputs;
    std::vector<Row> rows;
    for (std::size_t f = 0; f < files.size(); ++f) {
        Output output = readOutput(files[f], f);
        if (!outputs.empty()) {
            const Output& first = outputs.front();
            if (output.plan.json != first.plan.json) {
                throw MergeError(output.path + " and " + first.path +
                                 " come from different plans: their " +
                                 difference(output.plan.json, first.plan.json) + " differs");
            }
            if (output.shard.count != first.shard.count) {
                throw MergeError(output.path + " is " + describe(output.shard) + " but " +
                                 first.path + " is " + describe(first.shard));
            }
            for (const Output& other : outputs) {
                if (other.shard == output.shard)
                    throw MergeError(output.path + " and " + other.path + " are both " +
                                     describe(output.shard));
            }
        }
        checkRuns(output);
        rows.insert(rows.end(), output.rows.begin(), output.rows.end());
        std::vector<Row>().swap(output.rows);
        outputs.push_back(std::move(output));
    }
    if (outputs.empty()) throw MergeError("no file to merge");

    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.index < b.index; });
    const Plan& plan = outputs.front().plan;
    const Shard parts{1, outputs.front().shard.count};
    for (std::int64_t expected = 0; expected < plan.total(); ++expected) {
        const auto at = static_cast<std::size_t>(expected);
        if (at < rows.size() && rows[at].index == expected) {
            if (at + 1 < rows.size() && rows[at + 1].index == expected) {
                throw MergeError(files[rows[at + 1].file] + ": line " +
                                 std::to_string(rows[at + 1].line) + ": run " +
                                 std::to_string(expected + 1) + " appears a second time");
            }
            continue;
        }
        const Shard missing{expected % parts.count + 1, parts.count};
        const auto holder = std::find_if(outputs.begin(), outputs.end(),
                                         [&](const Output& o) { return o.shard == missing; });
        if (holder == outputs.end()) {
            throw MergeError("no file holds " + describe(missing) + " (run " +
                             std::to_string(expected + 1) + " among others)");
        }
        throw MergeError(holder->path + ": lacks run " + std::to_string(expected + 1) + " of " +
                         describe(missing));
    }

    SummaryBuilder builder;
    RunRecord record;
    for (const Row& row : rows) {
        record.plan = {row.index, row.size, row.seed};
        RunResult& r = record.result;
        r.counts.particles = row.particles;
        r.sites = row.sites;
        r.radiusOfGyration = row.radiusOfGyration;
        r.estimate.reset();
        if (row.dimension) r.estimate = DimensionEstimate{*row.dimension, {}, 0};
        record.settings.walker = row.killFactor ? Walker::Jump : Walker::Literal;
        record.settings.particles = row.particleLimit;
        record.settings.killFactor = row.killFactor.value_or(kWindowKillFactor);
        r.historyDimension = row.historyDimension;
        r.anisotropy.reset();
        if (row.anisotropy) r.anisotropy = Anisotropy{*row.anisotropy, {}, 0};
        builder.add(record);
    }
    Merged merged{builder.build(), plan.json.dump()};
    if (!fitPath.empty()) {
        // The file only for a plan that one process could have written it for.
        Options fitted = plan.options;
        fitted.fitPath = fitPath;
        try {
            checkTogether(fitted);
        } catch (const UsageError& e) {
            throw MergeError(e.what());
        }
        writeFits(fitPath, files, rows);
    }
    return merged;
}

MergeOptions parseMergeOptions(const std::vector<std::string>& args) {
    MergeOptions options;
    bool named = false;  // after "--" every argument is a file
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!named && arg == "--") {
            named = true;
        } else if (!named && arg == "--json") {
            options.json = true;
        } else if (!named && arg == "--fit") {
            if (i + 1 == args.size() || args[i + 1].empty() || args[i + 1].starts_with("--"))
                throw UsageError("merge: --fit needs a file name (see dla-cli merge --help)");
            options.fitPath = args[++i];
        } else if (!named && (arg == "-h" || arg == "--help")) {
            options.help = true;
        } else if (!named && arg.starts_with("-") && arg != "-") {
            throw UsageError("merge: unknown option '" + arg + "' (see dla-cli merge --help)");
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.files.empty() && !options.help)
        throw UsageError("merge needs the files to join (see dla-cli merge --help)");
    // An input is never also an output.
    for (const std::string& file : options.files) {
        if (!options.fitPath.empty() && namesOneFile(options.fitPath, file))
            throw UsageError("merge: --fit would write '" + file +
                             "', one of the files it joins (see dla-cli merge --help)");
    }
    return options;
}

std::string mergeHelpText() {
    return "Usage: dla-cli merge [--json] [--fit F.csv] FILE...\n"
           "Joins the --json outputs of 'dla-cli --shard I/K' processes (or of a whole run) and\n"
           "prints the summary that one process making the whole plan prints: the table on\n"
           "stderr and, with --json, the summary object on stdout. --fit writes the box-mass\n"
           "fits of every run to F.csv, the file that --fit gives one process (a part takes no\n"
           "--fit of its own).\n"
           "\n"
           "The files must come from one plan (sizes, runs, seed, walk, particles, kill factor)\n"
           "and hold each of its runs once, as the plan makes it, every part from one K. Exit\n"
           "status: 0 on success, 1 when a file cannot be read, is not dla-cli --json output,\n"
           "or does not fit the others (the one line on stderr names the file and the\n"
           "problem), 2 on a bad command line.\n"
           "\n"
           "Example:\n"
           "  for i in 1 2 3; do dla-cli --size 200 --runs 30 --seed 7 --shard $i/3 --json \\\n"
           "      > shard-$i.json; done\n"
           "  dla-cli merge --json --fit fit.csv shard-*.json\n";
}

}  // namespace dla::cli

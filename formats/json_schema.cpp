#include "formats/json_schema.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

#include "large/large_growth.h"

namespace dla {

namespace {

constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();

// Numbers the fit does not define (and non-finite ones, which JSON cannot hold) are null.
Json number(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? Json(*value) : Json(nullptr);
}

template <class T>
Json optional(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

Json moments(const Moments& m) {
    return {{"mean", number(m.mean)}, {"sd", number(m.sd)}};
}

Json group(const GroupSummary& g) {
    Json json;
    json["runs"] = g.runs;
    json["particles"] = moments(g.particles);
    json["radius_of_gyration"] = moments(g.radiusOfGyration);
    json["dimension"] = {{"runs", g.dimension.count},
                         {"mean", number(g.dimension.mean)},
                         {"sd", number(g.dimension.sd)},
                         {"sem", number(g.dimension.sem)}};
    json["history_dimension"] = moments(g.historyDimension);
    json["anisotropy_cos4"] = moments(g.anisotropy);
    return json;
}

// The members of one object, each checked before it is taken.
class Fields {
  public:
    Fields(const Json& object, std::string where) : object_(object), where_(std::move(where)) {}
    const std::string& where() const { return where_; }

    [[noreturn]] void fail(const std::string& message) const {
        throw SchemaError(where_ + ": " + message);
    }

    const Json& member(const char* key) const {
        const auto found = object_.find(key);
        if (found == object_.end()) fail(std::string("has no \"") + key + "\"");
        return *found;
    }

    // The member `key`, an object (or null, when `nullable`), to be read in its turn.
    std::optional<Fields> object(const char* key, const char* name, bool nullable) const {
        const Json& value = member(key);
        if (nullable && value.is_null()) return std::nullopt;
        if (!value.is_object())
            fail("\"" + std::string(key) + "\" must be an object" + (nullable ? " or null" : ""));
        return Fields(value, where_ + ": " + name);
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

    // The jump walker's version, a whole number from 1 (missing: 1, the version of every output
    // written before there were versions); null for the literal walk.
    std::optional<std::int32_t> walkerVersion(bool jump) const {
        const auto found = object_.find("walker_version");
        if (found == object_.end()) return jump ? std::optional(1) : std::nullopt;
        if (!jump) {
            if (!found->is_null()) fail("\"walker_version\" must be null for the literal walk");
            return std::nullopt;
        }
        return static_cast<std::int32_t>(
            wholeValue(*found, "walker_version", 1, std::numeric_limits<std::int32_t>::max()));
    }

    std::optional<std::uint64_t> seed() const {
        const Json& value = member("seed");
        if (value.is_null()) return std::nullopt;
        if (!value.is_number_integer() ||
            (!value.is_number_unsigned() && value.get<std::int64_t>() < 0))
            fail("\"seed\" must be null or a whole number from 0 to 2^64 - 1");
        return value.get<std::uint64_t>();
    }

    // The layout this dla-cli reads.
    void schema() const {
        const auto found = object_.find("schema");
        if (found == object_.end())
            fail(
                "has no \"schema\" (written by a dla-cli before 1.2.0, which merge no longer "
                "reads)");
        if (*found != kJsonSchema)
            fail("has schema " + found->dump() + ", and this dla-cli reads schema " +
                 std::to_string(kJsonSchema));
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

// The jump walker's kill factor; the literal walker's is the window's rule, not an option.
std::optional<double> killFactorOf(const RunRecord& record) {
    if (record.settings.walker != Walker::Jump) return std::nullopt;
    return record.settings.killFactor;
}

void readFit(const Fields& fields, RunResult& result) {
    const std::optional<Fields> fit = fields.object("fit", "its fit", true);
    if (!fit) return;
    LineFit line;
    line.slope = *fit->real("slope", false);
    line.slopeStandardError = fit->real("slope_standard_error", true);
    line.rSquared = fit->real("r_squared", true);
    const Json& points = fit->member("points");
    if (!points.is_array()) fit->fail("\"points\" must be a list");
    DimensionEstimate estimate;
    for (const Json& point : points) {
        if (!point.is_object()) fit->fail("\"points\" must hold objects");
        const Fields p(point, fields.where() + ": a point of its fit");
        estimate.points.push_back({static_cast<std::int32_t>(p.whole("side", 1, kLargestJumpSize)),
                                   *p.real("mean_mass", false), *p.real("ln_l_over_l0", false),
                                   *p.real("ln_m_over_m0", false)});
    }
    result.estimate = std::move(estimate);
    result.fit = line;
}

}  // namespace

Json runToJson(const RunRecord& record, std::int64_t totalRuns) {
    const RunResult& r = record.result;
    const RunCounts& g = r.counts;
    Json json;
    json["type"] = "run";
    json["schema"] = kJsonSchema;
    json["program"] = kProgram;
    json["run"] = record.plan.index + 1;
    json["runs"] = totalRuns;
    json["size"] = record.plan.size == kNoSize ? Json(nullptr) : Json(record.plan.size);
    json["seed"] = optional(record.plan.seed);
    json["half_side"] = optional(g.halfSide);
    json["particle_limit"] = optional(record.settings.particles);
    json["kill_factor"] = optional(killFactorOf(record));
    json["particles"] = g.particles;
    json["sites"] = r.sites;
    json["walkers_killed"] = g.walkersKilled;
    json["walkers_at_edge"] = g.walkersAtEdge;
    json["launch_radius"] = g.launchRadius;
    json["steps"] = g.steps;
    json["jumps"] = g.jumps;
    json["walker_version"] = optional(r.walkerVersion);
    json["hash"] = r.hash ? Json(hashText(*r.hash)) : Json(nullptr);
    json["lattice_bytes"] = optional(r.latticeBytes);
    json["estimate_size"] = r.estimate ? Json(r.measuredSize) : Json(nullptr);
    json["radius_of_gyration"] = number(r.radiusOfGyration);
    json["dimension"] = r.estimate ? number(r.estimate->dimension) : Json(nullptr);
    json["history_dimension"] = number(r.historyDimension);
    json["anisotropy"] = nullptr;
    if (const auto& a = r.anisotropy)
        json["anisotropy"] = {{"cos4", number(a->harmonic)},
                              {"cone_ratio", number(a->coneRatio)},
                              {"sites", a->sites}};
    json["fit"] = nullptr;
    if (r.estimate && r.fit) {
        Json points = Json::array();
        for (const FitPoint& p : r.estimate->points) {
            points.push_back({{"side", p.side},
                              {"mean_mass", number(p.meanMass)},
                              {"ln_l_over_l0", number(p.x)},
                              {"ln_m_over_m0", number(p.y)}});
        }
        json["fit"] = {{"points", std::move(points)},
                       {"slope", number(r.fit->slope)},
                       {"slope_standard_error", number(r.fit->slopeStandardError)},
                       {"intercept", number(r.fit->intercept)},
                       {"r_squared", number(r.fit->rSquared)},
                       {"draws", r.estimate->draws}};
    }
    json["grow_seconds"] = number(r.growSeconds);
    json["estimate_seconds"] = number(r.estimateSeconds);
    return json;
}

Json summaryToJson(const Summary& summary, const Json& plan, const Shard& shard) {
    Json json;
    json["type"] = "summary";
    json["schema"] = kJsonSchema;
    json["program"] = kProgram;
    json.update(group(summary.all));
    json["by_size"] = Json::array();
    for (const GroupSummary& g : summary.bySize) {
        Json size{{"size", g.size == kNoSize ? Json(nullptr) : Json(g.size)}};
        size.update(group(g));
        json["by_size"].push_back(std::move(size));
    }
    json["particle_limit"] = optional(summary.particleLimit);
    json["kill_factor"] = optional(summary.killFactor);
    json["mass_radius"] = nullptr;
    if (summary.massRadius) {
        json["mass_radius"] = {{"dimension", number(summary.massRadius->slope)},
                               {"standard_error", number(summary.massRadius->slopeStandardError)},
                               {"r_squared", number(summary.massRadius->rSquared)},
                               {"points", summary.massRadius->points}};
    }
    json["plan"] = plan;
    if (!shard.whole()) json["shard"] = {{"index", shard.index}, {"count", shard.count}};
    return json;
}

Json planToJson(const Plan& options, std::optional<std::int32_t> walkerVersion) {
    Json json;
    json["sizes"] = options.sizes;
    json["runs"] = options.runs;
    json["seed"] = optional(options.seed);
    json["walk"] = options.growth.walker == Walker::Jump ? "jump" : "literal";
    json["walker_version"] =
        options.growth.walker == Walker::Jump ? optional(walkerVersion) : Json(nullptr);
    json["particles"] = optional(options.growth.particles);
    json["kill_factor"] = options.growth.killFactor;
    return json;
}

namespace {

// The members that a row of the table spreads into columns of their own, and the ones it leaves
// out (the line's type, which is always "run"; the fit's points, a list).
const std::vector<std::pair<std::string, std::vector<std::string>>> kNested{
    {"anisotropy", {"cos4", "cone_ratio", "sites"}},
    {"fit", {"slope", "slope_standard_error", "intercept", "r_squared", "draws"}}};

const std::vector<std::string>* nestedOf(const std::string& key) {
    for (const auto& [name, members] : kNested)
        if (name == key) return &members;
    return nullptr;
}

std::string cell(const Json& value) {
    if (value.is_null()) return {};
    if (value.is_string()) return value.get<std::string>();
    return value.dump();
}

// A run's line with every member, in order: the table's columns.
const Json& columnsLine() {
    static const Json columns = runToJson(RunRecord{}, 1);
    return columns;
}

}  // namespace

std::string csvColumns() {
    std::string line;
    for (const auto& [key, value] : columnsLine().items()) {
        if (key == "type") continue;
        if (const auto* members = nestedOf(key)) {
            for (const std::string& member : *members) line += key + "_" + member + ",";
        } else {
            line += key + ",";
        }
    }
    line.back() = '\n';
    return line;
}

std::string csvRow(const Json& run) {
    // By the columns, not by the line's own members: a line written before a member was added
    // leaves its cell empty instead of shifting the rest.
    std::string line;
    for (const auto& [key, ignored] : columnsLine().items()) {
        if (key == "type") continue;
        const Json value = run.contains(key) ? run[key] : Json(nullptr);
        if (const auto* members = nestedOf(key)) {
            for (const std::string& member : *members)
                line +=
                    (value.is_object() && value.contains(member) ? cell(value[member]) : "") + ",";
        } else {
            line += cell(value) + ",";
        }
    }
    line.back() = '\n';
    return line;
}

// The first lines of the table of runs: the columns' names first, where spreadsheets, pandas
// and numpy.genfromtxt(names=True) look for them, then what made the table, as comments.
std::string csvPreamble(const std::string& commandLine, const Json& plan) {
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
    return csvColumns() + "# " + std::string(kProgram) + "\n# command: " + commandLine +
           "\n# date: " + date + "\n# plan: " + plan.dump() + "\n";
}

RunLine runFromJson(const Json& json, const std::string& where, bool withFit) {
    const Fields fields(json, where);
    fields.schema();
    RunLine line;
    RunRecord& record = line.record;
    RunResult& r = record.result;
    record.plan.index = fields.whole("run", 1, kMost) - 1;
    record.plan.size = static_cast<std::int32_t>(
        fields.wholeOrNull("size", 1, kLargestJumpSize).value_or(kNoSize));
    line.runs = fields.whole("runs", 1, kMost);
    record.plan.seed = fields.seed();
    r.counts.particles = fields.whole("particles", 0, kMost);
    r.sites = fields.whole("sites", 1, kMost);
    r.radiusOfGyration = *fields.real("radius_of_gyration", false);
    if (const auto dimension = fields.real("dimension", true))
        r.estimate = DimensionEstimate{*dimension, {}, 0};
    record.settings.particles = fields.wholeOrNull("particle_limit", 1, kMost);
    const std::optional<double> kill = fields.real("kill_factor", true);
    record.settings.walker = kill ? Walker::Jump : Walker::Literal;
    record.settings.killFactor = kill.value_or(kWindowKillFactor);
    r.historyDimension = fields.real("history_dimension", true);
    if (const auto anisotropy = fields.object("anisotropy", "its anisotropy", true))
        r.anisotropy = Anisotropy{*anisotropy->real("cos4", false), {}, 0};
    const Json& hash = fields.member("hash");
    if (!hash.is_null() && !hash.is_string()) fields.fail("\"hash\" must be a string or null");
    line.hashed = hash.is_string();
    r.walkerVersion = fields.walkerVersion(line.hashed);
    if (withFit) readFit(fields, r);
    return line;
}

SummaryLine summaryFromJson(const Json& json, const std::string& where,
                            const std::function<void(const Plan&)>& runnable) {
    const Fields fields(json, where);
    fields.schema();
    SummaryLine line;
    line.runs = fields.whole("runs", 0, kMost);
    const Json& plan = fields.member("plan");
    if (!plan.is_object()) fields.fail("\"plan\" must be an object");
    const Fields planned(plan, where + ": its plan");
    Plan& options = line.plan;
    const Json& walk = planned.member("walk");
    if (walk != "jump" && walk != "literal")
        planned.fail("\"walk\" must be \"jump\" or \"literal\"");
    options.growth.walker = walk == "jump" ? Walker::Jump : Walker::Literal;
    options.growth.particles = planned.wholeOrNull("particles", 1, kMostParticles);
    const bool particles = options.growth.particles.has_value();
    const Json& sizes = planned.member("sizes");
    if (!sizes.is_array() || sizes.empty()) planned.fail("\"sizes\" must be a list of sizes");
    options.sizes.clear();
    for (const Json& size : sizes) {
        const auto n = static_cast<std::int32_t>(planned.wholeValue(
            size, "sizes", particles ? kNoSize : 1, particles ? kNoSize : kLargestJumpSize));
        if (std::find(options.sizes.begin(), options.sizes.end(), n) != options.sizes.end())
            planned.fail("\"sizes\" lists " + std::to_string(n) + " twice");
        options.sizes.push_back(n);
    }
    options.runs = planned.whole("runs", 1, kMostRuns);
    options.seed = planned.seed();
    const double kill = *planned.real("kill_factor", false);
    if (!(kill >= kWindowKillFactor && kill <= kLargestKillFactor))
        planned.fail("\"kill_factor\" must be from 2 to 16");
    // 2 is also what a plan without --kill-factor writes.
    options.growth.killFactor = kill;
    try {
        runnable(options);
    } catch (const std::runtime_error& e) {
        planned.fail(std::string("cannot be run: ") + e.what());
    }
    line.walkerVersion = planned.walkerVersion(options.growth.walker == Walker::Jump);
    Json written = planToJson(options, line.walkerVersion);
    line.planJson = written;
    if (!plan.contains("walker_version")) written.erase("walker_version");
    if (written.dump() != plan.dump()) planned.fail("is not one that dla-cli writes");
    if (json.contains("shard")) {
        const std::optional<Fields> part = fields.object("shard", "its shard", false);
        line.shard.count = part->whole("count", 1, kMostShards);
        line.shard.index = part->whole("index", 1, line.shard.count);
    }
    return line;
}

}  // namespace dla

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "estimate/dimension_estimate.h"
#include "formats/json_schema.h"
#include "large/large_growth.h"
#include "measure/statistics.h"

// Lines read back: each member checked before it is taken, a refusal naming where and why.
namespace dla {

namespace {

constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();

// A bound as a person writes it: 2, 16, 2.5.
std::string shortest(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
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

// Whether `estimate` and `line` are what a run's estimate makes of its points' sides and mean
// masses: the sides of the size it was measured at, the logarithms of each side and mean mass
// against the first, the slope (the run's dimension) and the line through them. The same
// functions make them here as in the run, so each must match to the last bit.
bool followsFromItsPoints(std::int32_t size, const DimensionEstimate& estimate, const LineFit& line,
                          double dimension) {
    const std::vector<std::int32_t> sides = boxSidesFor(size);
    const std::vector<FitPoint>& points = estimate.points;
    if (sides.empty() || points.size() != sides.size()) return false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const FitPoint& p = points[i];
        const FitPoint made = fitPointOf(p.side, p.meanMass, sides[0], points[0].meanMass);
        if (p.side != sides[i] || p.x != made.x || p.y != made.y) return false;
    }
    const std::optional<LineFit> again = fitLine(points);
    return again && leastSquaresSlope(points) == dimension && again->slope == line.slope &&
           again->slopeStandardError == line.slopeStandardError && again->rSquared == line.rSquared;
}

void readFit(const Fields& fields, RunResult& result) {
    const std::optional<Fields> fit = fields.object("fit", "its fit", true);
    if (!fit) return;
    if (!result.estimate) fit->fail("comes with no dimension");
    const double dimension = result.estimate->dimension;
    const auto size = fields.wholeOrNull("estimate_size", kSmallestMeasurableSize,
                                         std::numeric_limits<std::int32_t>::max());
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
    if (!size || !followsFromItsPoints(static_cast<std::int32_t>(*size), estimate, line, dimension))
        fit->fail("is not the fit that its points' sides and mean masses give");
    estimate.dimension = dimension;
    result.measuredSize = static_cast<std::int32_t>(*size);
    result.estimate = std::move(estimate);
    result.fit = line;
}

}  // namespace

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
        planned.fail("\"kill_factor\" must be from " + shortest(kWindowKillFactor) + " to " +
                     shortest(kLargestKillFactor));
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

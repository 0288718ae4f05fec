#include "formats/json_schema.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "large/large_growth.h"

namespace dla {

namespace {

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
    json["kill_factor"] = optional(record.settings.jumpKillFactor());
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
    const std::optional<RunSettings>& growth = summary.growth;
    json["particle_limit"] = optional(growth ? growth->particles : std::nullopt);
    json["kill_factor"] = optional(growth ? growth->jumpKillFactor() : std::nullopt);
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

}  // namespace dla

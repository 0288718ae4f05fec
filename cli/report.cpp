#include "report.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace dla::cli {

namespace {

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string fixed(const std::optional<double>& value, int decimals) {
    return value ? fixed(*value, decimals) : std::string("-");
}

std::string meanAndSd(const Moments& m, int decimals) {
    if (!m.mean) return "-";
    if (!m.sd) return fixed(*m.mean, decimals);
    return fixed(*m.mean, decimals) + " ± " + fixed(*m.sd, decimals);
}

// Members keep the order they are written in.
using Json = nlohmann::ordered_json;

// Numbers the fit does not define (and non-finite ones, which JSON cannot hold) are null.
Json number(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? Json(*value) : Json(nullptr);
}

// Shortest text that reads back to the same double.
std::string formatDouble(double value) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
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

// Pads to `width` characters as they show on screen: UTF-8 continuation bytes take no column.
std::string column(const std::string& text, std::size_t width) {
    std::size_t shown = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++shown;
    }
    return text + std::string(shown < width ? width - shown : 0, ' ');
}

std::string tableRow(const std::string& label, const std::string& runs,
                     const std::string& particles, const std::string& radius,
                     const std::string& mean, const std::string& sd, const std::string& sem) {
    return column(label, 6) + column(runs, 6) + column(particles, 19) + column(radius, 20) +
           column(mean, 11) + column(sd, 8) + sem + "\n";
}

std::string tableRow(const std::string& label, const GroupSummary& group) {
    return tableRow(label, std::to_string(group.runs), meanAndSd(group.particles, 1),
                    meanAndSd(group.radiusOfGyration, 2), fixed(group.dimension.mean, 4),
                    fixed(group.dimension.sd, 4), fixed(group.dimension.sem, 4));
}

std::string hexHash(std::uint64_t hash) {
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
    return buffer;
}

template <class T>
Json optional(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

// The jump walker's kill factor; the literal walker's is the window's rule, not an option.
std::optional<double> killFactorOf(const RunRecord& record) {
    if (record.settings.walker != Walker::Jump) return std::nullopt;
    return record.settings.killFactor;
}

// Why a run has no dimension.
std::string noEstimateReason(const RunRecord& record) {
    if (!record.result.counts.finished) return "interrupted";
    return record.result.measuredSize < kSmallestMeasurableSize ? "N < 100" : "nothing to measure";
}

}  // namespace

std::string runJson(const RunRecord& record, std::int64_t totalRuns) {
    const RunCounts& g = record.result.counts;
    Json json;
    json["type"] = "run";
    json["run"] = record.plan.index + 1;
    json["runs"] = totalRuns;
    json["size"] = record.plan.size == kNoSize ? Json(nullptr) : Json(record.plan.size);
    json["seed"] = record.plan.seed ? Json(*record.plan.seed) : Json(nullptr);
    json["half_side"] = optional(g.halfSide);
    json["particle_limit"] = optional(record.settings.particles);
    json["kill_factor"] = optional(killFactorOf(record));
    json["particles"] = g.particles;
    json["sites"] = record.result.sites;
    json["walkers_killed"] = g.walkersKilled;
    json["walkers_at_edge"] = g.walkersAtEdge;
    json["launch_radius"] = g.launchRadius;
    json["steps"] = g.steps;
    json["jumps"] = g.jumps;
    json["hash"] = record.result.hash ? Json(hexHash(*record.result.hash)) : Json(nullptr);
    json["lattice_bytes"] = optional(record.result.latticeBytes);
    json["estimate_size"] = record.result.estimate ? Json(record.result.measuredSize) : Json(nullptr);
    json["radius_of_gyration"] = number(record.result.radiusOfGyration);
    json["dimension"] = record.result.estimate ? number(record.result.estimate->dimension) : Json(nullptr);
    json["history_dimension"] = number(record.result.historyDimension);
    json["anisotropy"] = nullptr;
    if (const auto& a = record.result.anisotropy)
        json["anisotropy"] = {{"cos4", number(a->harmonic)},
                              {"cone_ratio", number(a->coneRatio)},
                              {"sites", a->sites}};
    json["fit"] = nullptr;
    if (record.result.estimate && record.result.fit) {
        Json points = Json::array();
        for (const FitPoint& p : record.result.estimate->points) {
            points.push_back({{"side", p.side},
                              {"mean_mass", number(p.meanMass)},
                              {"ln_l_over_l0", number(p.x)},
                              {"ln_m_over_m0", number(p.y)}});
        }
        json["fit"] = {{"points", std::move(points)},
                       {"slope", number(record.result.fit->slope)},
                       {"slope_standard_error", number(record.result.fit->slopeStandardError)},
                       {"intercept", number(record.result.fit->intercept)},
                       {"r_squared", number(record.result.fit->rSquared)},
                       {"draws", record.result.estimate->draws}};
    }
    json["grow_seconds"] = number(record.result.growSeconds);
    json["estimate_seconds"] = number(record.result.estimateSeconds);
    return json.dump();
}


std::string runLine(const RunRecord& record, std::int64_t totalRuns) {
    const RunCounts& g = record.result.counts;
    std::string line =
        "run " + std::to_string(record.plan.index + 1) + "/" + std::to_string(totalRuns) +
        "  N=" + (record.plan.size == kNoSize ? std::string("-") : std::to_string(record.plan.size)) +
        "  seed=" + (record.plan.seed ? std::to_string(*record.plan.seed) : std::string("clock")) +
        "  particles=" + std::to_string(g.particles) + "  sites=" + std::to_string(record.result.sites) +
        "  R=" + std::to_string(g.launchRadius) + "  killed=" + std::to_string(g.walkersKilled) +
        "  steps=" + std::to_string(g.steps) + "  jumps=" + std::to_string(g.jumps) +
        "  Rg=" + fixed(record.result.radiusOfGyration, 2);
    if (record.settings.walker == Walker::Jump && record.settings.killFactor != kWindowKillFactor)
        line += "  K=" + formatDouble(record.settings.killFactor);
    if (record.result.hash) line += "  hash=" + hexHash(*record.result.hash);
    if (record.result.estimate) {
        line += "  D=" + fixed(record.result.estimate->dimension, 4);
        if (record.result.fit && record.result.fit->slopeStandardError)
            line += " ± " + fixed(*record.result.fit->slopeStandardError, 4);
        if (record.result.fit && record.result.fit->rSquared) line += "  R²=" + fixed(*record.result.fit->rSquared, 4);
    } else {
        line += "  D=- (" + noEstimateReason(record) + ")";
    }
    line += "  Dh=" + fixed(record.result.historyDimension, 4) + "  cos4=" +
            fixed(record.result.anisotropy ? std::optional(record.result.anisotropy->harmonic) : std::nullopt, 4);
    line += "  grow " + fixed(record.result.growSeconds, 3) + " s  estimate " +
            fixed(record.result.estimateSeconds, 3) + " s";
    return line;
}

std::string summaryJson(const Summary& summary, const std::string& plan, const Shard& shard) {
    Json json;
    json["type"] = "summary";
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
    if (!plan.empty()) json["plan"] = Json::parse(plan);
    if (!shard.whole()) json["shard"] = {{"index", shard.index}, {"count", shard.count}};
    return json.dump();
}

std::string summaryTable(const Summary& summary) {
    std::string table;
    table += tableRow("size", "runs", "particles", "radius of gyration", "dimension", "sd", "sem");
    for (const GroupSummary& group : summary.bySize)
        table += tableRow(group.size == kNoSize ? "-" : std::to_string(group.size), group);
    if (summary.bySize.size() > 1) table += tableRow("all", summary.all);
    if (summary.particleLimit)
        table += "runs of " + std::to_string(*summary.particleLimit) + " particles\n";
    if (summary.killFactor && *summary.killFactor != kWindowKillFactor)
        table += "walkers killed beyond " + formatDouble(*summary.killFactor) + " R\n";
    for (const GroupSummary& group : summary.bySize)
        table += (group.size == kNoSize ? std::string("runs") : "size " + std::to_string(group.size)) +
                 ": history dimension " + meanAndSd(group.historyDimension, 4) +
                 ", anisotropy cos 4θ " + meanAndSd(group.anisotropy, 4) + "\n";
    if (summary.massRadius) {
        table += "mass-radius dimension (slope of ln sites against ln radius of gyration, " +
                 std::to_string(summary.massRadius->points) +
                 " runs): " + fixed(summary.massRadius->slope, 4);
        if (summary.massRadius->slopeStandardError)
            table += " ± " + fixed(*summary.massRadius->slopeStandardError, 4);
        table += "\n";
    }
    return table;
}

std::string fitCsvHeader() {
    return "run,seed,size,side,mean_mass,ln_l_over_l0,ln_m_over_m0,slope,slope_standard_error,r_"
           "squared\n";
}

std::string fitCsvRows(const RunRecord& record) {
    if (!record.result.estimate || !record.result.fit) return {};
    const auto optional = [](const std::optional<double>& v) {
        return v ? formatDouble(*v) : std::string();
    };
    std::string tail(1, ',');
    tail += formatDouble(record.result.fit->slope) + "," + optional(record.result.fit->slopeStandardError) + "," +
            optional(record.result.fit->rSquared) + "\n";
    const std::string head =
        std::to_string(record.plan.index + 1) + "," +
        (record.plan.seed ? std::to_string(*record.plan.seed) : std::string()) + "," +
        std::to_string(record.plan.size) + ",";
    std::string rows;
    for (const FitPoint& p : record.result.estimate->points) {
        rows += head + std::to_string(p.side) + "," + formatDouble(p.meanMass) + "," +
                formatDouble(p.x) + "," + formatDouble(p.y) + tail;
    }
    return rows;
}

}  // namespace dla::cli

#include "report.h"

#include <cstdio>
#include <filesystem>

#include "json_writer.h"

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

void writeFit(JsonWriter& json, const LineFit& fit) {
    json.key("slope").value(fit.slope);
    json.key("slope_standard_error").value(fit.slopeStandardError);
    json.key("intercept").value(fit.intercept);
    json.key("r_squared").value(fit.rSquared);
}

void writeMoments(JsonWriter& json, const Moments& m, bool withSem) {
    json.beginObject();
    json.key("mean").value(m.mean);
    json.key("sd").value(m.sd);
    if (withSem) json.key("sem").value(m.sem);
    json.endObject();
}

void writeGroup(JsonWriter& json, const GroupSummary& group) {
    json.key("runs").value(group.runs);
    json.key("particles");
    writeMoments(json, group.particles, false);
    json.key("radius_of_gyration");
    writeMoments(json, group.radiusOfGyration, false);
    json.key("dimension").beginObject();
    json.key("runs").value(static_cast<std::int64_t>(group.dimension.count));
    json.key("mean").value(group.dimension.mean);
    json.key("sd").value(group.dimension.sd);
    json.key("sem").value(group.dimension.sem);
    json.endObject();
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

}  // namespace

std::string runJson(const RunRecord& record, std::int64_t totalRuns) {
    const GrowthResult& g = record.growth;
    JsonWriter json;
    json.beginObject();
    json.key("type").value("run");
    json.key("run").value(record.plan.index + 1);
    json.key("runs").value(totalRuns);
    json.key("size").value(record.plan.size);
    json.key("seed").value(record.plan.seed);
    json.key("half_side").value(static_cast<int>(g.halfSide));
    json.key("particles").value(g.particles);
    json.key("sites").value(record.sites);
    json.key("walkers_killed").value(g.walkersKilled);
    json.key("walkers_at_edge").value(g.walkersAtEdge);
    json.key("launch_radius").value(static_cast<int>(g.launchRadius));
    json.key("steps").value(g.steps);
    json.key("jumps").value(g.jumps);
    json.key("radius_of_gyration").value(record.radiusOfGyration);
    if (record.estimate) {
        json.key("dimension").value(record.estimate->dimension);
    } else {
        json.key("dimension").null();
    }
    json.key("fit");
    if (record.estimate && record.fit) {
        json.beginObject();
        json.key("points").beginArray();
        for (const FitPoint& p : record.estimate->points) {
            json.beginObject();
            json.key("side").value(static_cast<int>(p.side));
            json.key("mean_mass").value(p.meanMass);
            json.key("ln_l_over_l0").value(p.x);
            json.key("ln_m_over_m0").value(p.y);
            json.endObject();
        }
        json.endArray();
        writeFit(json, *record.fit);
        json.key("draws").value(record.estimate->draws);
        json.endObject();
    } else {
        json.null();
    }
    json.key("grow_seconds").value(record.growSeconds);
    json.key("estimate_seconds").value(record.estimateSeconds);
    json.endObject();
    return json.text();
}

std::string runLine(const RunRecord& record, std::int64_t totalRuns) {
    const GrowthResult& g = record.growth;
    std::string line =
        "run " + std::to_string(record.plan.index + 1) + "/" + std::to_string(totalRuns) +
        "  N=" + std::to_string(record.plan.size) +
        "  seed=" + (record.plan.seed ? std::to_string(*record.plan.seed) : std::string("clock")) +
        "  particles=" + std::to_string(g.particles) + "  sites=" + std::to_string(record.sites) +
        "  R=" + std::to_string(g.launchRadius) + "  killed=" + std::to_string(g.walkersKilled) +
        "  steps=" + std::to_string(g.steps) + "  jumps=" + std::to_string(g.jumps) +
        "  Rg=" + fixed(record.radiusOfGyration, 2);
    if (record.estimate) {
        line += "  D=" + fixed(record.estimate->dimension, 4);
        if (record.fit && record.fit->slopeStandardError)
            line += " ± " + fixed(*record.fit->slopeStandardError, 4);
        if (record.fit && record.fit->rSquared) line += "  R²=" + fixed(*record.fit->rSquared, 4);
    } else {
        line += "  D=- (N < 100)";
    }
    line += "  grow " + fixed(record.growSeconds, 3) + " s  estimate " +
            fixed(record.estimateSeconds, 3) + " s";
    return line;
}

std::string summaryJson(const Summary& summary) {
    JsonWriter json;
    json.beginObject();
    json.key("type").value("summary");
    writeGroup(json, summary.all);
    json.key("by_size").beginArray();
    for (const GroupSummary& group : summary.bySize) {
        json.beginObject();
        json.key("size").value(group.size);
        writeGroup(json, group);
        json.endObject();
    }
    json.endArray();
    json.key("mass_radius");
    if (summary.massRadius) {
        json.beginObject();
        json.key("dimension").value(summary.massRadius->slope);
        json.key("standard_error").value(summary.massRadius->slopeStandardError);
        json.key("r_squared").value(summary.massRadius->rSquared);
        json.key("points").value(static_cast<std::int64_t>(summary.massRadius->points));
        json.endObject();
    } else {
        json.null();
    }
    json.endObject();
    return json.text();
}

std::string summaryTable(const Summary& summary) {
    std::string table;
    table += tableRow("size", "runs", "particles", "radius of gyration", "dimension", "sd", "sem");
    for (const GroupSummary& group : summary.bySize)
        table += tableRow(std::to_string(group.size), group);
    if (summary.bySize.size() > 1) table += tableRow("all", summary.all);
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
    if (!record.estimate || !record.fit) return {};
    const auto optional = [](const std::optional<double>& v) {
        return v ? formatDouble(*v) : std::string();
    };
    std::string tail(1, ',');
    tail += formatDouble(record.fit->slope) + "," + optional(record.fit->slopeStandardError) + "," +
            optional(record.fit->rSquared) + "\n";
    const std::string head =
        std::to_string(record.plan.index + 1) + "," +
        (record.plan.seed ? std::to_string(*record.plan.seed) : std::string()) + "," +
        std::to_string(record.plan.size) + ",";
    std::string rows;
    for (const FitPoint& p : record.estimate->points) {
        rows += head + std::to_string(p.side) + "," + formatDouble(p.meanMass) + "," +
                formatDouble(p.x) + "," + formatDouble(p.y) + tail;
    }
    return rows;
}

std::string numberedPath(const std::string& path, std::int64_t index, std::int64_t totalRuns) {
    if (totalRuns <= 1) return path;
    const std::filesystem::path p(path);
    std::string number = std::to_string(index + 1);
    const std::size_t width = std::to_string(totalRuns).size();
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    std::filesystem::path result =
        p.parent_path() / (p.stem().string() + "-" + number + p.extension().string());
    return result.string();
}

}  // namespace dla::cli

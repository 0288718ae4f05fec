#include "report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "command.h"

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

// Shortest text that reads back to the same double.
std::string formatDouble(double value) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
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

// Why a run has no dimension.
std::string noEstimateReason(const RunRecord& record) {
    if (!record.result.counts.finished) return "interrupted";
    return record.result.measuredSize < kSmallestMeasurableSize ? "N < 100" : "nothing to measure";
}

}  // namespace

// What identifies and measures a run, in about 110 columns: the walk's counters (launch radius,
// walkers killed, steps, jumps), its history dimension and anisotropy are in its JSON line and
// CSV row, and the latter two in the summary.
std::string runLine(const RunRecord& record, std::int64_t totalRuns) {
    const RunCounts& g = record.result.counts;
    std::string line =
        "run " + std::to_string(record.plan.index + 1) + "/" + std::to_string(totalRuns) + "  N=" +
        (record.plan.size == kNoSize ? std::string("-") : std::to_string(record.plan.size)) +
        "  seed=" + (record.plan.seed ? std::to_string(*record.plan.seed) : std::string("clock")) +
        "  particles=" + std::to_string(g.particles) +
        "  Rg=" + fixed(record.result.radiusOfGyration, 2);
    if (const auto kill = record.settings.jumpKillFactor(); kill && *kill != kWindowKillFactor)
        line += "  K=" + formatDouble(*kill);
    if (record.result.estimate) {
        line += "  D=" + fixed(record.result.estimate->dimension, 4);
        if (record.result.fit && record.result.fit->slopeStandardError)
            line += " ± " + fixed(*record.result.fit->slopeStandardError, 4);
        if (record.result.fit && record.result.fit->rSquared)
            line += "  R²=" + fixed(*record.result.fit->rSquared, 4);
    } else {
        line += "  D=- (" + noEstimateReason(record) + ")";
    }
    if (record.result.hash) line += "  hash=" + hashText(*record.result.hash);
    return line + "  " + fixed(record.result.growSeconds + record.result.estimateSeconds, 2) + " s";
}

std::string summaryTable(const Summary& summary) {
    std::string table;
    table += tableRow("size", "runs", "particles", "radius of gyration", "dimension", "sd", "sem");
    for (const GroupSummary& group : summary.bySize)
        table += tableRow(group.size == kNoSize ? "-" : std::to_string(group.size), group);
    if (summary.bySize.size() > 1) table += tableRow("all", summary.all);
    const std::optional<RunSettings>& growth = summary.growth;
    if (growth && growth->particles)
        table += "runs of " + std::to_string(*growth->particles) + " particles\n";
    if (const auto kill = growth ? growth->jumpKillFactor() : std::nullopt;
        kill && *kill != kWindowKillFactor)
        table += "walkers killed beyond " + formatDouble(*kill) + " R\n";
    for (const GroupSummary& group : summary.bySize)
        table +=
            (group.size == kNoSize ? std::string("runs") : "size " + std::to_string(group.size)) +
            ": history dimension " + meanAndSd(group.historyDimension, 4) + ", anisotropy cos 4θ " +
            meanAndSd(group.anisotropy, 4) + "\n";
    if (summary.massRadius) {
        table += "mass-radius dimension (slope of ln sites against ln radius of gyration, " +
                 std::to_string(summary.massRadius->points) +
                 " runs): " + fixed(summary.massRadius->slope, 4);
        if (summary.massRadius->slopeStandardError)
            table += " ± " + fixed(*summary.massRadius->slopeStandardError, 4);
        table += "\n";
    }
    if (summary.drawnSeed) {
        const std::string seed = std::to_string(*summary.drawnSeed);
        table += "seed " + seed + ", drawn from the system's entropy: --seed " + seed +
                 " repeats these runs\n";
    }
    return table + "(" + kProgram + ")\n";
}

std::string fitCsvHeader() {
    return "run,seed,size,side,mean_mass,ln_l_over_l0,ln_m_over_m0,slope,slope_standard_error,r_"
           "squared\n# " +
           std::string(kProgram) + "\n";
}

std::string fitCsvRows(const RunRecord& record) {
    if (!record.result.estimate || !record.result.fit) return {};
    const auto optional = [](const std::optional<double>& v) {
        return v ? formatDouble(*v) : std::string();
    };
    std::string tail(1, ',');
    tail += formatDouble(record.result.fit->slope) + "," +
            optional(record.result.fit->slopeStandardError) + "," +
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

RunTables::RunTables(const std::string& fitPath, const std::string& csvPath,
                     const std::string& commandLine, const Json& plan) {
    if (!fitPath.empty()) {
        fit_.emplace(fitPath);
        fit_->write(fitCsvHeader());
    }
    if (!csvPath.empty()) {
        csv_.emplace(csvPath);
        csv_->write(csvPreamble(commandLine, plan));
    }
}

void RunTables::add(const RunRecord& record, const Json& run) {
    if (fit_) {
        fit_->write(fitCsvRows(record));
        fit_->flush();
    }
    if (csv_) {
        csv_->write(csvRow(run));
        csv_->flush();
    }
}

void RunTables::commit() {
    if (fit_) fit_->commit();
    if (csv_) csv_->commit();
}

}  // namespace dla::cli

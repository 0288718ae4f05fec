#include "app.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <optional>

#include "merge.h"
#include "options.h"
#include "output_file.h"
#include "output_paths.h"
#include "png_image.h"
#include "progress.h"
#include "report.h"
#include "runner.h"
#include "summary.h"
#include "svg_plot.h"

namespace dla::cli {

namespace {

class OutOfMemory : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Whatever a message echoes stays on its one line: control characters are shown escaped.
std::string oneLine(std::string_view text) {
    std::string line;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\t') {
            line += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            line += escaped;
        } else {
            line += c;
        }
    }
    return line;
}

// Writes and flushes `text`; a stream that fails ends the batch, since nothing after it
// would reach the reader either.
void send(std::ostream& stream, const char* name, std::string_view text) {
    errno = 0;
    stream << text << std::flush;
    if (!stream) {
        throw FileError(std::string("cannot write ") + name + ": " +
                        std::strerror(errno != 0 ? errno : EIO));
    }
}

PlotText plotText(const RunRecord& record) {
    char buffer[160];
    const std::string seed =
        record.plan.seed ? "seed " + std::to_string(*record.plan.seed) : "seeded from the clock";
    std::snprintf(buffer, sizeof buffer, "N = %d, %s, %zu box sides",
                  static_cast<int>(record.plan.size), seed.c_str(), record.estimate->points.size());
    std::string subtitle = buffer;
    if (record.fit->rSquared) {
        std::snprintf(buffer, sizeof buffer, ", R² = %.4f", *record.fit->rSquared);
        subtitle += buffer;
    }
    return {dimensionTitle(*record.fit), subtitle};
}

Image drawRun(const RunRecord& record, int scale) {
    try {
        return renderAggregate(record.arrivals, scale);
    } catch (const std::bad_alloc&) {
        throw OutOfMemory("the picture of run " + std::to_string(record.plan.index + 1) +
                          " needs " + formatBytes(imageBytes(record.plan.size, scale)));
    }
}

// Every file the batch will write, checked before the first run so that a mistyped folder
// costs nothing.
void checkOutputs(const Options& options) {
    const std::int64_t total = options.totalRuns();
    if (!options.imagePath.empty()) checkWritable(numberedPath(options.imagePath, 0, total));
    if (!options.plotPath.empty()) checkWritable(numberedPath(options.plotPath, 0, total));
}

void sendSummary(const Summary& summary, bool json, const std::string& plan, const Shard& shard,
                 std::ostream& out, std::ostream& err) {
    if (json) send(out, "standard output", summaryJson(summary, plan, shard) + '\n');
    send(err, "standard error", summaryTable(summary));
}

void runBatch(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    const std::vector<RunPlan> plans = planRuns(options);
    // A part numbers its runs and files as the whole plan does.
    const std::int64_t total = options.totalRuns();
    SummaryBuilder summary;
    // The fit's rows go to the file as the runs come in, so that its size costs no memory.
    std::optional<OutputFile> fit;
    if (!options.fitPath.empty()) {
        fit.emplace(options.fitPath);
        fit->write(fitCsvHeader());
    }
    ProgressBar progress(err, errIsTerminal && !options.quiet,
                         static_cast<std::int64_t>(plans.size()));

    RunObserver observer;
    observer.record = [&](RunRecord&& record) {
        progress.finish();
        send(out, "standard output",
             (options.json ? runJson(record, total) : runLine(record, total)) + '\n');
        if (!options.imagePath.empty()) {
            savePng(drawRun(record, options.scale),
                    numberedPath(options.imagePath, record.plan.index, total));
        }
        if (!options.plotPath.empty() && record.estimate && record.fit) {
            savePlot(numberedPath(options.plotPath, record.plan.index, total),
                     record.estimate->points, *record.fit, plotText(record));
        }
        if (fit) {
            fit->write(fitCsvRows(record));
            fit->flush();
        }
        summary.add(record);
    };
    observer.progress = [&](std::int64_t done, std::int64_t particles) {
        progress.update(done, particles);
    };

    try {
        runAll(plans, options.growth, options.threads, observer, !options.imagePath.empty());
    } catch (...) {
        progress.finish();
        throw;
    }
    progress.finish();

    if (fit) fit->commit();
    sendSummary(summary.build(), options.json, planJson(options), options.shard, out, err);
}

void runMerge(const MergeOptions& options, std::ostream& out, std::ostream& err) {
    const Merged merged = mergeOutputs(options.files);
    sendSummary(merged.summary, options.json, merged.plan, Shard{}, out, err);
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal, int defaultThreads) {
    const auto report = [&err](const std::string& message) {
        err << "dla-cli: " << oneLine(message) << '\n' << std::flush;
    };
    Options options;
    std::optional<MergeOptions> merge;
    try {
        if (!args.empty() && args.front() == "merge") {
            merge = parseMergeOptions({args.begin() + 1, args.end()});
        } else {
            options = parseOptions(args, defaultThreads);
            if (!options.help) checkDistinctOutputs(options);
        }
    } catch (const UsageError& e) {
        report(e.what());
        return kExitUsage;
    }
    try {
        if (merge) {
            if (merge->help) {
                send(out, "standard output", mergeHelpText());
            } else {
                runMerge(*merge, out, err);
            }
            return kExitOk;
        }
        if (options.help) {
            send(out, "standard output", helpText());
            return kExitOk;
        }
        checkOutputs(options);
        runBatch(options, out, err, errIsTerminal);
    } catch (const OutOfMemory& e) {
        report(std::string("out of memory (") + e.what() + ")");
        return kExitFileError;
    } catch (const std::bad_alloc&) {
        report("out of memory (the system refused more; fewer --threads need less)");
        return kExitFileError;
    } catch (const std::exception& e) {
        report(e.what());
        return kExitFileError;
    }
    return kExitOk;
}

}  // namespace dla::cli

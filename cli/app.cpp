#include "app.h"

#include <cstdio>
#include <exception>

#include "options.h"
#include "output_file.h"
#include "png_image.h"
#include "progress.h"
#include "report.h"
#include "runner.h"
#include "summary.h"
#include "svg_plot.h"

namespace dla::cli {

namespace {

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

// Every file the batch will write, checked before the first run so that a mistyped folder
// costs nothing.
void checkOutputs(const Options& options) {
    const std::int64_t total = options.totalRuns();
    if (!options.imagePath.empty()) checkWritable(numberedPath(options.imagePath, 0, total));
    if (!options.plotPath.empty()) checkWritable(numberedPath(options.plotPath, 0, total));
    if (!options.fitPath.empty()) checkWritable(options.fitPath);
}

void runBatch(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    const std::vector<RunPlan> plans = planRuns(options);
    const auto total = static_cast<std::int64_t>(plans.size());
    SummaryBuilder summary;
    std::string csv = fitCsvHeader();
    ProgressBar progress(err, errIsTerminal && !options.quiet, total);

    RunObserver observer;
    observer.record = [&](RunRecord&& record) {
        progress.finish();
        out << (options.json ? runJson(record, total) : runLine(record, total)) << '\n'
            << std::flush;
        if (!options.imagePath.empty()) {
            savePng(renderAggregate(record.arrivals, options.scale),
                    numberedPath(options.imagePath, record.plan.index, total));
        }
        if (!options.plotPath.empty() && record.estimate && record.fit) {
            savePlot(numberedPath(options.plotPath, record.plan.index, total),
                     record.estimate->points, *record.fit, plotText(record));
        }
        csv += fitCsvRows(record);
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

    if (!options.fitPath.empty()) writeFileAtomically(options.fitPath, csv);
    const Summary result = summary.build();
    if (options.json) out << summaryJson(result) << '\n' << std::flush;
    err << summaryTable(result) << std::flush;
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal, int defaultThreads) {
    Options options;
    try {
        options = parseOptions(args, defaultThreads);
    } catch (const UsageError& e) {
        err << "dla-cli: " << e.what() << '\n';
        return kExitUsage;
    }
    if (options.help) {
        out << helpText();
        return kExitOk;
    }
    try {
        checkOutputs(options);
        runBatch(options, out, err, errIsTerminal);
    } catch (const FileError& e) {
        err << "dla-cli: " << e.what() << '\n';
        return kExitFileError;
    } catch (const std::exception& e) {
        err << "dla-cli: " << e.what() << '\n';
        return kExitFileError;
    }
    return kExitOk;
}

}  // namespace dla::cli

#include "run_outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <new>

#include "formats/byte_count.h"
#include "formats/exports.h"
#include "formats/picture.h"
#include "formats/png.h"
#include "formats/program.h"
#include "formats/svg_plot.h"

namespace dla::cli {

namespace {

PlotText plotText(const RunRecord& record, std::int64_t total) {
    const RunResult& r = record.result;
    char buffer[160];
    const std::string seed =
        record.plan.seed ? "seed " + std::to_string(*record.plan.seed) : "seeded from the clock";
    std::snprintf(buffer, sizeof buffer, "N = %d, %s, %zu box sides",
                  static_cast<int>(r.measuredSize), seed.c_str(), r.estimate->points.size());
    std::string subtitle = buffer;
    if (r.fit->rSquared) {
        std::snprintf(buffer, sizeof buffer, ", R² = %.4f", *r.fit->rSquared);
        subtitle += buffer;
    }
    return {dimensionTitle(*r.fit), subtitle, about(record.plan, total)};
}

Image drawRun(const RunRecord& record, int scale) {
    try {
        return renderAggregate(record.arrivals, scale);
    } catch (const std::bad_alloc&) {
        throw OutOfMemory("the picture of run " + std::to_string(record.plan.index + 1) +
                          " needs " + formatBytes(imageBytes(record.plan.size, scale)));
    }
}

}  // namespace

std::string about(const RunPlan& plan, std::int64_t total) {
    std::string text = std::string(kProgram) + ", run " + std::to_string(plan.index + 1) + " of " +
                       std::to_string(total) + ", ";
    text += plan.size == kNoSize ? std::string("no size") : "N = " + std::to_string(plan.size);
    return text + ", seed " + (plan.seed ? std::to_string(*plan.seed) : std::string("none"));
}

bool isStandardStream(const std::string& path, bool orError) {
    if (path == kStandardStream) return true;
    struct stat named {
    }, standard{};
    if (::stat(path.c_str(), &named) != 0) return false;
    for (const int fd : {STDOUT_FILENO, orError ? STDERR_FILENO : STDOUT_FILENO}) {
        if (::fstat(fd, &standard) == 0 && standard.st_dev == named.st_dev &&
            standard.st_ino == named.st_ino)
            return true;
    }
    return false;
}

// A checkpoint is replaced at every save, so it must be a file of its own: not a device or a
// pipe, and not the file that the run's lines go to; the checkpoint a run resumes must not take
// them either.
void checkOutputs(const Options& options) {
    const std::int64_t total = options.totalRuns();
    if (!options.imagePath.empty()) checkWritable(numberedPath(options.imagePath, 0, total));
    for (const std::string* path : {&options.plotPath, &options.sitesPath, &options.historyPath}) {
        if (!path->empty()) checkWritable(numberedPath(*path, 0, total));
    }
    // ("-" is standard input for --resume.)
    for (const auto& [option, path] : {std::pair{"--checkpoint", &options.checkpointPath},
                                       std::pair{"--resume", &options.resumePath}}) {
        if (!path->empty() && isStandardStream(*path) &&
            (*path != kStandardStream || path == &options.checkpointPath))
            throw UsageError(std::string(option) + " '" + *path +
                             "' is the file that standard output or standard error writes to");
    }
    if (!options.checkpointPath.empty()) {
        struct stat existing {};
        if (::stat(options.checkpointPath.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
            !S_ISDIR(existing.st_mode))
            throw UsageError("--checkpoint '" + options.checkpointPath +
                             "' is not a regular file, and a checkpoint replaces its file at "
                             "every save");
        checkWritable(options.checkpointPath);
    }
}

RunOutputs::RunOutputs(const Options& options)
    : options_(options),
      total_(options.totalRuns()),
      images_(options.imagePath, total_),
      plots_(options.plotPath, total_),
      sites_(options.sitesPath, total_),
      histories_(options.historyPath, total_) {}

void RunOutputs::prepare(BatchSettings& batch) {
    // The sites leave as each run ends, on its worker, so that no record keeps them; into one
    // stream they leave in the plan's order, from the records.
    if (sites_.shared()) {
        batch.keepArrivals = true;
    } else if (sites_.wanted()) {
        batch.exportRun = [this](const RunPlan& plan, const Run& run) {
            sites_.write(plan.index, [&](OutputFile& file) {
                writeSites(file, run.arrivals(), about(plan, total_));
            });
        };
    }
}

void RunOutputs::write(const RunRecord& record) {
    const std::int64_t index = record.plan.index;
    const std::string aboutRun = about(record.plan, total_);
    if (images_.wanted()) {
        const Image drawn = record.picture ? Image{} : drawRun(record, options_.scale);
        const Image& picture = record.picture ? *record.picture : drawn;
        images_.write(index,
                      [&](OutputFile& file) { writePng(file, picture, kProgram, aboutRun); });
    }
    if (plots_.wanted() && record.result.estimate && record.result.fit) {
        plots_.write(index, [&](OutputFile& file) {
            file.write(plotSvg(record.result.estimate->points, *record.result.fit,
                               plotText(record, total_)));
        });
    }
    if (sites_.shared()) {
        sites_.write(index, [&](OutputFile& file) { writeSites(file, record.arrivals, aboutRun); });
    }
    if (histories_.wanted()) {
        histories_.write(
            index, [&](OutputFile& file) { writeHistory(file, record.result.history, aboutRun); });
    }
}

void RunOutputs::close() {
    for (RunOutput* output : {&images_, &plots_, &sites_, &histories_}) output->close();
}

}  // namespace dla::cli

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

// What a writer knows of the batch besides the run.
struct Context {
    const Options& options;
    std::int64_t total;
    std::string about;  // of the run written
};

// One kind of per-run output: the option that names it, whether a run has anything to write,
// and the writer. `fromRun`, where given, writes on the run's worker as the run ends, so that
// no record keeps what it needs; a stream shared by every run takes the record's instead, in
// the plan's order.
struct Kind {
    const char* option;
    bool (*has)(const RunRecord&);
    void (*write)(OutputFile&, const RunRecord&, const Context&);
    void (*fromRun)(OutputFile&, const Run&, const std::string& about) = nullptr;
    bool needsArrivals = false;  // the record keeps its arrivals for `write`
    // Anything else the batch must keep or make of each run for `write`.
    void (*prepare)(BatchSettings&, const Options&) = nullptr;
};

bool always(const RunRecord&) {
    return true;
}

const Kind kKinds[] = {
    {"--image", always,
     [](OutputFile& file, const RunRecord& record, const Context& c) {
         const Image drawn = record.picture ? Image{} : drawRun(record, c.options.scale);
         writePng(file, record.picture ? *record.picture : drawn, kProgram, c.about);
     },
     nullptr, false,
     // A downsampled picture is drawn as the run ends, so that no arrivals wait for it.
     [](BatchSettings& batch, const Options& options) {
         batch.imageSize = options.imageSize;
         if (options.imageSize == 0) batch.keepArrivals = true;
     }},
    {"--plot", [](const RunRecord& r) { return r.result.estimate && r.result.fit; },
     [](OutputFile& file, const RunRecord& record, const Context& c) {
         file.write(plotSvg(record.result.estimate->points, *record.result.fit,
                            plotText(record, c.total)));
     }},
    {"--sites", always,
     [](OutputFile& file, const RunRecord& record, const Context& c) {
         writeSites(file, record.arrivals, c.about);
     },
     [](OutputFile& file, const Run& run, const std::string& about) {
         writeSites(file, run.arrivals(), about);
     },
     true},
    {"--history", always,
     [](OutputFile& file, const RunRecord& record, const Context& c) {
         writeHistory(file, record.result.history, c.about);
     }},
};

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
    for (const char* option : runOutputOptions()) {
        const std::string& path = options.runOutput(option);
        if (!path.empty()) checkWritable(numberedPath(path, 0, total));
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

std::vector<const char*> runOutputOptions() {
    std::vector<const char*> options;
    for (const Kind& kind : kKinds) options.push_back(kind.option);
    return options;
}

struct RunOutputs::Wanted {
    Wanted(const Kind& kind, const std::string& path, std::int64_t total)
        : kind(kind), output(path, total) {}
    const Kind& kind;
    RunOutput output;
};

RunOutputs::RunOutputs(const Options& options) : options_(options), total_(options.totalRuns()) {
    for (const Kind& kind : kKinds) {
        const std::string& path = options.runOutput(kind.option);
        if (!path.empty()) wanted_.push_back(std::make_unique<Wanted>(kind, path, total_));
    }
}

RunOutputs::~RunOutputs() = default;

void RunOutputs::prepare(BatchSettings& batch) {
    batch.keepArrivals = false;
    batch.imageSize = 0;
    for (const auto& wanted : wanted_) {
        const Kind& kind = wanted->kind;
        if (kind.prepare) kind.prepare(batch, options_);
        if (kind.fromRun && !wanted->output.shared()) {
            RunOutput& output = wanted->output;
            batch.exportRun = [this, &output, &kind](const RunPlan& plan, const Run& run) {
                output.write(plan.index, [&](OutputFile& file) {
                    kind.fromRun(file, run, about(plan, total_));
                });
            };
        } else if (kind.needsArrivals) {
            batch.keepArrivals = true;
        }
    }
}

void RunOutputs::write(const RunRecord& record) {
    const Context context{options_, total_, about(record.plan, total_)};
    for (const auto& wanted : wanted_) {
        const Kind& kind = wanted->kind;
        if ((kind.fromRun && !wanted->output.shared()) || !kind.has(record)) continue;
        wanted->output.write(record.plan.index,
                             [&](OutputFile& file) { kind.write(file, record, context); });
    }
}

void RunOutputs::close() {
    for (const auto& wanted : wanted_) wanted->output.close();
}

}  // namespace dla::cli

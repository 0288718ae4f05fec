#include "command.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "batch/runner.h"
#include "batch/saved_run.h"
#include "batch/summary.h"
#include "checkpoint.h"
#include "files/output_file.h"
#include "files/signals.h"
#include "formats/byte_count.h"
#include "merge.h"
#include "options.h"
#include "output_paths.h"
#include "progress.h"
#include "report.h"
#include "run_outputs.h"

namespace dla::cli {

namespace {

// A checkpointed run stopped, once saved, by `signal`.
class Interrupted : public std::runtime_error {
  public:
    Interrupted(int signal, const std::string& message)
        : std::runtime_error(message), signal(signal) {}
    int signal;
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

// An argument as a shell takes it back, on one line: as it is when it is plain, in single
// quotes when it holds blanks or double quotes, and as $'...' with escapes when it holds a
// single quote or a control character (a newline would end a comment line of a table).
std::string shellWord(const std::string& arg) {
    const bool control = std::ranges::any_of(arg, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || c == '\'';
    });
    if (control) {
        std::string word = "$'";
        for (const char c : arg) {
            if (c == '\'' || c == '\\') word += '\\';
            word += c == '\'' || c == '\\' ? std::string(1, c) : oneLine(std::string_view(&c, 1));
        }
        return word + "'";
    }
    if (arg.empty() || arg.find_first_of(" \t\"") != std::string::npos) return "'" + arg + "'";
    return arg;
}

// Writes and flushes `text`; a stream that fails ends the batch, since nothing after it
// would reach the reader either.
void send(std::ostream& stream, const char* name, std::string_view text) {
    errno = 0;
    stream << text << std::flush;
    if (!stream) {
        const int error = errno != 0 ? errno : EIO;
        const std::string message =
            std::string("cannot write ") + name + ": " + std::strerror(error);
        if (error == EPIPE) throw ReaderGone(message);
        throw FileError(message);
    }
}

// The one run of --checkpoint or --resume, grown on this thread so that it can be saved
// between two particles: every --checkpoint-every seconds, at its end, and when SIGINT or
// SIGTERM asks for it, after which the program ends with 128 and the signal's number.
void growHere(const Options& options, const RunPlan& plan, const BatchSettings& batch,
              std::unique_ptr<Run> resumed, ProgressBar& progress, const BatchObserver& observer) {
    const std::unique_ptr<Run> run =
        resumed ? std::move(resumed) : std::make_unique<Run>(runSettings(plan, batch.growth));
    const std::string& path = options.checkpointPath;
    SaveSchedule schedule{options.checkpointEvery, {}};
    if (!path.empty()) schedule.save = [&path](const Run& grown) { saveCheckpoint(path, grown); };
    const std::function<void(const Run&)> shown = [&progress](const Run& growing) {
        progress.update(0, growing.particles());
    };

    progress.update(0, run->particles());
    int signal = 0;
    {
        // Without a checkpoint to write, a signal ends the program as it always does. With one,
        // a signal that comes during the last save waits for it, and then ends the program as
        // one during the growth does.
        std::optional<InterruptRequest> interrupt;
        if (!path.empty()) interrupt.emplace();
        // A run stopped before its end was stopped by a signal, whose number says so.
        growSaved(*run, schedule, shown, interrupt ? &interrupt->requested() : nullptr);
        if (interrupt) signal = interrupt->signal();
    }
    progress.finish();
    if (signal != 0) {
        throw Interrupted(signal, std::string("interrupted by ") +
                                      (signal == SIGINT ? "SIGINT" : "SIGTERM") + "; '" + path +
                                      "' holds the run at " + std::to_string(run->particles()) +
                                      " particles, to be continued with --resume");
    }
    observer.record(recordOf(plan, *run, batch));
}

void sendSummary(const Summary& summary, bool json, const Json& plan, const Shard& shard,
                 std::ostream& out, std::ostream& err) {
    // The summary is a result, on stdout; where stdout takes JSON, the table is for the eye.
    if (json) send(out, "standard output", summaryToJson(summary, plan, shard).dump() + '\n');
    if (json) {
        send(err, "standard error", summaryTable(summary));
    } else {
        send(out, "standard output", summaryTable(summary));
    }
}

// Runs that grow at the same time.
std::int64_t concurrentRuns(const Options& options) {
    if (!options.checkpointPath.empty() || !options.resumePath.empty()) return 1;
    return std::min<std::int64_t>(options.threads, options.shard.runsOf(options.totalRuns()));
}

// A batch that is expected to need a gigabyte of memory or more says so before it starts.
void noteCost(const Options& options, std::ostream& err) {
    if (options.growth.walker != Walker::Jump) return;
    const std::optional<std::int64_t>& limit = options.growth.particles;
    const std::int32_t largest = *std::max_element(options.sizes.begin(), options.sizes.end());
    const double particles = limit ? static_cast<double>(*limit) : expectedParticles(largest);
    const std::int64_t atOnce = concurrentRuns(options);
    const double bytes = expectedPeakBytes(particles) * static_cast<double>(atOnce);
    if (bytes < 1e9) return;
    char count[32];
    std::snprintf(count, sizeof count, particles < 1e9 ? "%.0f million" : "%.1f billion",
                  particles < 1e9 ? particles / 1e6 : particles / 1e9);
    std::string line = limit ? "runs of " + std::to_string(*limit) + " particles"
                             : "--size " + std::to_string(largest) + " grows about " + count +
                                   " particles a run, which";
    line += (limit ? " are expected to need about " : " is expected to need about ") +
            formatBytes(static_cast<std::uint64_t>(bytes)) + " of memory";
    if (atOnce > 1) line += " (" + std::to_string(atOnce) + " runs at a time)";
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    const double physical = pages > 0 && pageSize > 0
                                ? static_cast<double>(pages) * static_cast<double>(pageSize)
                                : 0.0;
    if (physical > 0 && bytes > physical)
        line += ", more than the " + formatBytes(static_cast<std::uint64_t>(physical)) +
                " this machine has";
    send(err, "standard error", "dla-cli: " + line + "\n");
}

// The command line with the run that a checkpoint holds in place of what it leaves out (size,
// particles, kill factor, seed): the plan of a resumed run is the one it was started with.
Options resumedOptions(Options options, const Run& saved) {
    const RunSettings& grown = saved.settings();
    options.sizes = {grown.size.value_or(kNoSize)};
    options.growth = grown;
    options.seed = grown.seed;
    options.runs = 1;
    return options;
}

void runBatch(const Options& given, const std::string& commandLine, std::ostream& out,
              std::ostream& err, bool errIsTerminal) {
    std::unique_ptr<Run> resumed;
    if (!given.resumePath.empty()) resumed = loadCheckpoint(given.resumePath);
    const Options options = resumed ? resumedOptions(given, *resumed) : given;
    const std::vector<RunPlan> plans = planRuns(options);
    BatchSettings batch;
    batch.growth = options.growth;
    noteCost(options, err);
    // A part numbers its runs and files as the whole plan does.
    const std::int64_t total = options.totalRuns();
    // What the records keep, and what leaves on the workers, is the outputs' to say.
    RunOutputs outputs(options);
    outputs.prepare(batch);
    const auto mine = static_cast<std::int64_t>(plans.size());
    SummaryBuilder summary;
    RunTables tables(options.fitPath, options.csvPath, commandLine, planToJson(options));
    std::optional<std::int64_t> target;
    if (batch.growth.particles) target = *batch.growth.particles * mine;
    ProgressBar progress(err, errIsTerminal && !options.quiet, mine, target,
                         resumed ? resumed->particles() : 0);

    BatchObserver observer;
    observer.record = [&](RunRecord&& record) {
        progress.finish();
        send(out, "standard output",
             (options.json ? runToJson(record, total).dump() : runLine(record, total)) + '\n');
        outputs.write(record);
        if (!options.fitPath.empty() || !options.csvPath.empty())
            tables.add(record, runToJson(record, total));
        summary.add(record);
    };
    observer.progress = [&](std::int64_t done, std::int64_t particles) {
        progress.update(done, particles);
    };

    try {
        if (resumed || !options.checkpointPath.empty()) {
            growHere(options, plans.front(), batch, std::move(resumed), progress, observer);
        } else {
            runAll(plans, batch, options.threads, observer);
        }
    } catch (...) {
        progress.finish();
        throw;
    }
    progress.finish();

    outputs.close();
    tables.commit();
    Summary built = summary.build();
    if (options.seedDrawn) built.drawnSeed = options.seed;
    sendSummary(built, options.json, planToJson(options), options.shard, out, err);
}

void runMerge(const MergeOptions& options, const std::string& commandLine, std::ostream& out,
              std::ostream& err) {
    const Merged merged =
        mergeOutputs(options.files, {options.fitPath, options.csvPath, commandLine});
    // As in a batch, a table on standard output has it to itself.
    const bool tableToStdout =
        options.fitPath == kStandardStream || options.csvPath == kStandardStream;
    sendSummary(merged.summary, options.json, merged.plan, Shard{}, tableToStdout ? err : out, err);
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal, int defaultThreads) {
    const auto report = [&err](const std::string& message) {
        err << "dla-cli: " << oneLine(message) << '\n' << std::flush;
    };
    Command command;
    try {
        command = parseCommand(args, defaultThreads);
    } catch (const UsageError& e) {
        report(e.what());
        return kExitUsage;
    }
    const Options& options = command.options;
    // The command line as a shell would take it back, for the tables that name it.
    std::string commandLine = "dla-cli";
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += shellWord(arg);
    }
    try {
        if (command.help) {
            send(out, "standard output", *command.help);
            return kExitOk;
        }
        if (command.merging) {
            runMerge(command.merge, commandLine, out, err);
            return kExitOk;
        }
        checkOutputs(options);
        // An output that is standard output ("-", or the file it writes to) has it to itself:
        // the run lines and the summary then go to standard error.
        std::vector<std::string> paths{options.fitPath, options.csvPath};
        for (const auto& [option, path] : options.runOutputs) paths.push_back(path);
        const bool outputToStdout = std::ranges::any_of(paths, [](const std::string& path) {
            return !path.empty() && isStandardStream(path, false);
        });
        runBatch(options, commandLine, outputToStdout ? err : out, err, errIsTerminal);
    } catch (const ReaderGone&) {
        return kExitReaderGone;
    } catch (const Interrupted& e) {
        report(e.what());
        return kExitInterrupted + e.signal;
    } catch (const OutOfMemory& e) {
        report(std::string("out of memory (") + e.what() + ")");
        return kExitFileError;
    } catch (const UsageError& e) {
        report(e.what());
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        // The words need no more memory than they take; a batch of one run at a time has no
        // fewer threads to suggest.
        const bool several = !command.merging && concurrentRuns(options) > 1;
        err << (several ? "dla-cli: out of memory (the system refused more; fewer --threads need "
                          "less)\n"
                        : "dla-cli: out of memory (the system refused more)\n")
            << std::flush;
        return kExitFileError;
    } catch (const std::exception& e) {
        report(e.what());
        return kExitFileError;
    }
    return kExitOk;
}

}  // namespace dla::cli

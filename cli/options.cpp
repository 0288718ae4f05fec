#include "options.h"

#include <algorithm>
#include <limits>

#include "batch/runner.h"
#include "batch/seed.h"
#include "estimate/dimension_estimate.h"
#include "files/output_file.h"
#include "formats/byte_count.h"
#include "formats/picture.h"
#include "option_table.h"
#include "output_paths.h"
#include "window/growth.h"

namespace dla::cli {

namespace {

[[noreturn]] void refuse(const std::string& message) {
    throw UsageError(message);
}

}  // namespace

void checkTogether(const Options& options) {
    if (options.seed && *options.seed > std::numeric_limits<std::uint64_t>::max() -
                                            static_cast<std::uint64_t>(options.totalRuns() - 1))
        refuse("--seed is too large for " + std::to_string(options.totalRuns()) + " runs");
    // Clock seeds are refused for parts: processes started together by a scheduler could read
    // the same clock and grow the same aggregates, and no merge could be repeated.
    if (!options.shard.whole() && !options.seed) refuse("--shard needs --seed");
    if (!options.shard.whole() && (!options.checkpointPath.empty() || !options.resumePath.empty()))
        refuse("--shard takes no --checkpoint or --resume: they keep one run");
    // One file holds the fits of the whole plan, which no part has: parts started side by side
    // would each replace it with theirs. The merge of their --json outputs writes it.
    if (!options.shard.whole() && !options.fitPath.empty())
        refuse(
            "--shard takes no --fit, the file of the whole plan; 'dla-cli merge --fit F' "
            "writes it from the parts' --json outputs");
    if (!options.shard.whole() && !options.csvPath.empty())
        refuse(
            "--shard takes no --csv, the table of the whole plan; 'dla-cli merge --csv F' "
            "writes it from the parts' --json outputs");
    const std::int32_t largest = *std::max_element(options.sizes.begin(), options.sizes.end());
    const std::int32_t smallest = *std::min_element(options.sizes.begin(), options.sizes.end());
    const bool literal = options.growth.walker == Walker::Literal;
    const bool particles = options.growth.particles.has_value();
    const bool oneRun = options.totalRuns() == 1;
    if (literal && largest > kLargestSystemSize)
        refuse("--walk literal grows sizes up to " + std::to_string(kLargestSystemSize) +
               " only, got --size " + std::to_string(largest));
    if (literal && particles) refuse("--particles needs --walk jump");
    // The literal walk kills beyond 2R, the default written out.
    if (literal && options.growth.killFactor != kWindowKillFactor)
        refuse("--kill-factor needs --walk jump");
    if (literal && !options.checkpointPath.empty()) refuse("--checkpoint needs --walk jump");
    if (!oneRun && (!options.checkpointPath.empty() || !options.resumePath.empty()))
        refuse(std::string(options.resumePath.empty() ? "--checkpoint" : "--resume") +
               " takes one run only, not " + std::to_string(options.totalRuns()));
    if (!options.resumePath.empty() &&
        (options.sizesGiven || particles || options.seed || options.killFactorGiven || literal))
        refuse("--resume takes the size, particles, seed, kill factor and walker from its file");
    if (options.imageSize > 0 && options.scale != 1)
        refuse("--image-size and --scale are two kinds of picture; give one of them");
    // The size of a picture without --image-size is known before the run only from its size.
    if (!options.runOutput("--image").empty() && options.imageSize == 0 &&
        (particles || !options.resumePath.empty()))
        refuse(std::string(particles ? "--particles" : "--resume") +
               " with --image needs --image-size");
    const bool small = !particles && smallest < kSmallestMeasurableSize;
    const std::string measured =
        " needs every size to be at least " + std::to_string(kSmallestMeasurableSize);
    if (small && !options.fitPath.empty()) refuse("--fit" + measured);
    if (small && !options.runOutput("--plot").empty()) refuse("--plot" + measured);
    if (!options.runOutput("--image").empty() && options.imageSize == 0 &&
        imageBytes(largest, options.scale) > kLargestImageBytes) {
        refuse("--image at --scale " + std::to_string(options.scale) + " for --size " +
               std::to_string(largest) + " needs " +
               formatBytes(imageBytes(largest, options.scale)) +
               " of memory, more than the limit of " + formatBytes(kLargestImageBytes) +
               " (--image-size draws a smaller picture)");
    }
}

Command parseCommand(const std::vector<std::string>& args, int defaultThreads) {
    Command command;
    command.options.threads = std::clamp(defaultThreads, 1, kMostThreads);
    const std::unique_ptr<CLI::App> parser = makeParser(command);
    const CLI::App* merge = parser->get_subcommand("merge");
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        parser->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        command.help = merge->parsed() ? merge->help("dla-cli") : parser->help();
        return command;
    } catch (const CLI::CallForVersion& e) {
        command.help = e.what();
        return command;
    } catch (const CLI::ParseError& e) {
        if (!merge->parsed()) throw UsageError(explain(e, *parser) + " (see --help)");
        if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr)
            throw UsageError("merge needs the files to join (see dla-cli merge --help)");
        throw UsageError("merge: " + explain(e, *parser) + " (see dla-cli merge --help)");
    }
    if (merge->parsed()) {
        command.merging = true;
        for (const CLI::Option* option : parser->get_options()) {
            if (option->count() > 0)
                throw UsageError("merge takes no options of a run (see dla-cli merge --help)");
        }
        // An input is never also an output; the tables are written in a second pass over the
        // files, which standard input cannot give.
        const MergeOptions& m = command.merge;
        if (!m.fitPath.empty() && !m.csvPath.empty() && namesOneFile(m.csvPath, m.fitPath))
            throw UsageError("merge: --fit and --csv both write '" + m.fitPath +
                             "' (see dla-cli merge --help)");
        if (std::count(m.files.begin(), m.files.end(), kStandardStream) > 1)
            throw UsageError(
                "merge: standard input ('-') can be read only once (see dla-cli "
                "merge --help)");
        for (const std::string& file : m.files) {
            for (const auto& [option, path] :
                 {std::pair{"--fit", &m.fitPath}, std::pair{"--csv", &m.csvPath}}) {
                if (!path->empty() && file == kStandardStream)
                    throw UsageError("merge: " + std::string(option) +
                                     " reads the files twice, and standard input ('-') only "
                                     "once (see dla-cli merge --help)");
                if (!path->empty() && namesOneFile(*path, file))
                    throw UsageError("merge: " + std::string(option) + " would write '" + file +
                                     "', one of the files it joins (see dla-cli merge --help)");
            }
        }
        return command;
    }
    Options& options = command.options;
    if (options.growth.particles) options.sizes = {kNoSize};
    try {
        checkTogether(options);
        checkDistinctOutputs(options);
    } catch (const UsageError& e) {
        const std::string message = e.what();
        throw UsageError(message.ends_with("(see --help)") ? message : message + " (see --help)");
    }
    // A batch without a seed gets one that can repeat it.
    if (!options.seed && options.resumePath.empty()) {
        options.seed = drawSeed();
        options.seedDrawn = true;
    }
    return command;
}

}  // namespace dla::cli

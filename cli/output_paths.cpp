#include "output_paths.h"

#include <string_view>
#include <vector>

#include "files/file_names.h"
#include "files/output_file.h"
#include "run_outputs.h"

namespace dla::cli {

void checkDistinctOutputs(const Options& options) {
    const std::int64_t total = options.totalRuns();
    std::vector<OutputName> outputs;
    // In the order of the help, so that a refusal names the pair as a reader meets them.
    for (const char* option : runOutputOptions()) {
        const std::string& path = options.runOutput(option);
        if (!path.empty())
            outputs.push_back(describeOutput(option, path, numberedPath(path, 0, total) != path));
    }
    for (const auto& [option, path] :
         {std::pair{"--fit", &options.fitPath}, std::pair{"--csv", &options.csvPath}}) {
        if (!path->empty()) outputs.push_back(describeOutput(option, *path, false));
    }
    if (!options.checkpointPath.empty())
        outputs.push_back(describeOutput("--checkpoint", options.checkpointPath, false));
    // A numbered name that is already a link writes where it leads.
    for (std::size_t i = 0, given = outputs.size(); i < given; ++i) {
        if (outputs[i].numbered) {
            for (OutputName& link : numberedLinks(outputs[i], total))
                outputs.push_back(std::move(link));
        }
    }
    // An input is never also an output, but for the checkpoint a run resumes and saves anew:
    // that file is read whole before the first save replaces it.
    if (!options.resumePath.empty() && options.resumePath != kStandardStream) {
        const OutputName input = describeOutput("--resume", options.resumePath, false);
        for (const OutputName& output : outputs) {
            const auto leaf = sharedLeaf(output, input, total);
            if (leaf && std::string_view(output.option) != "--checkpoint") {
                throw UsageError(std::string(output.option) + " would write " +
                                 shownName(output, *leaf) +
                                 ", the checkpoint --resume reads (see --help)");
            }
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            if (const auto leaf = sharedLeaf(outputs[i], outputs[j], total)) {
                throw UsageError(std::string(outputs[i].option) + " and " + outputs[j].option +
                                 " both write " + shownName(outputs[i], *leaf) + " (see --help)");
            }
        }
    }
}

}  // namespace dla::cli

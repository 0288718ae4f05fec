#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

/// The names of the files a set of runs writes, and whether two names reach one file.
namespace dla {

/// "<stem>-<run number><extension>" for batches of several runs, the path itself for one; the
/// number is 1-based, of at least two digits and padded to the width of `totalRuns` (F-01,
/// F-02, ...; F-001 from a hundred runs on). A device or a pipe (/dev/null, a
/// FIFO, or a link to one) keeps its path: it takes every run's output in turn.
std::string numberedPath(const std::string& path, std::int64_t index, std::int64_t totalRuns);

/// The file an output reaches, for comparing it with others.
struct OutputName {
    const char* option;            ///< what names it, for messages
    bool numbered;                 ///< the base of numbered names, not a name itself
    std::filesystem::path folder;  ///< absolute, with "." and ".." and existing links resolved
    std::string leaf;              ///< numbered: as given, the base of the numbered names
};

/// The file that writing `path` reaches (links followed, "." and ".." resolved); `numbered`:
/// `path` is the base of numbered names (numberedPath), which do not exist yet. Standard output
/// ("-") has no folder.
OutputName describeOutput(const char* option, const std::string& path, bool numbered);

/// The leaf name of a file that both `a` and `b` would write among the names of `totalRuns`
/// runs, or none: the stem, number and extension of a numbered name can be read back from it,
/// so two different bases never give one name.
std::optional<std::string> sharedLeaf(const OutputName& a, const OutputName& b,
                                      std::int64_t totalRuns);

/// The links that already stand at numbered names of `numbered` (one of the bases
/// describeOutput describes as numbered), each described as the file it leads to, named by
/// `numbered`'s option: a write through such a link reaches that file, not a numbered one.
std::vector<OutputName> numberedLinks(const OutputName& numbered, std::int64_t totalRuns);

/// How a message names the file `leaf` of `name`'s folder: "'/the/path'", or standard output.
std::string shownName(const OutputName& name, const std::string& leaf);

/// Whether writing `output` would replace the file that `input` names, however either is spelled
/// (links followed, "." and ".." resolved).
bool namesOneFile(const std::string& output, const std::string& input);

}  // namespace dla

#include "files/file_names.h"

#include <sys/stat.h>

#include <algorithm>

#include "files/output_file.h"

namespace dla {

namespace {

namespace fs = std::filesystem;

fs::path resolved(const fs::path& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    const fs::path canonical = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

// The file that a write to `path` reaches, as OutputFile finds it: a link that points nowhere
// yet names its target. (A loop of links is left to the write, which reports it.)
fs::path named(const std::string& path) {
    try {
        return finalName(path);
    } catch (const FileError&) {
        return path;
    }
}

}  // namespace

OutputName describeOutput(const char* option, const std::string& path, bool numbered) {
    // Standard output is no file of the folder, whatever a file named "-" there is.
    if (path == kStandardStream) return {option, false, {}, kStandardStream};
    // A numbered name does not exist yet; an unnumbered one may be a link to follow.
    const fs::path given(path);
    const fs::path folder = given.has_parent_path() ? given.parent_path() : fs::path(".");
    const fs::path full = numbered ? resolved(folder) / given.filename() : resolved(named(path));
    return {option, numbered, full.parent_path(), full.filename().string()};
}

namespace {

// The digits of a run's number in a numbered name: at least two (F-01, F-02, ...), more where
// the count of runs needs them (F-001 among a hundred runs or more), so that names sort in run
// order.
std::size_t numberWidth(std::int64_t totalRuns) {
    return std::max<std::size_t>(2, std::to_string(totalRuns).size());
}

// The run number (1..totalRuns) whose numbered name from `base` is `leaf`, or 0.
std::int64_t runNumberIn(const std::string& leaf, const std::string& base, std::int64_t totalRuns) {
    const std::string stem = fs::path(base).stem().string() + "-";
    const std::string extension = fs::path(base).extension().string();
    const std::size_t width = numberWidth(totalRuns);
    if (leaf.size() != stem.size() + width + extension.size() || !leaf.starts_with(stem) ||
        !leaf.ends_with(extension))
        return 0;
    const std::string digits = leaf.substr(stem.size(), width);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const std::int64_t number = std::stoll(digits);
    return number <= totalRuns ? number : 0;
}

}  // namespace

std::optional<std::string> sharedLeaf(const OutputName& a, const OutputName& b,
                                      std::int64_t totalRuns) {
    if (a.folder != b.folder) return std::nullopt;
    if (!a.numbered && !b.numbered) return a.leaf == b.leaf ? std::optional(a.leaf) : std::nullopt;
    if (!a.numbered) return sharedLeaf(b, a, totalRuns);
    if (!b.numbered)
        return runNumberIn(b.leaf, a.leaf, totalRuns) > 0 ? std::optional(b.leaf) : std::nullopt;
    // The stem, number and extension of a numbered name can be read back from it, so two
    // different bases never give one name.
    if (a.leaf == b.leaf) return numberedPath(a.leaf, 0, totalRuns);
    return std::nullopt;
}

std::string numberedPath(const std::string& path, std::int64_t index, std::int64_t totalRuns) {
    struct stat existing {};
    const bool device =
        path == kStandardStream || (::stat(path.c_str(), &existing) == 0 &&
                                    !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode));
    if (totalRuns <= 1 || device) return path;
    const fs::path p(path);
    std::string number = std::to_string(index + 1);
    const std::size_t width = numberWidth(totalRuns);
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    return (p.parent_path() / (p.stem().string() + "-" + number + p.extension().string())).string();
}

std::vector<OutputName> numberedLinks(const OutputName& numbered, std::int64_t totalRuns) {
    std::vector<OutputName> links;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(numbered.folder, error)) {
        const std::string leaf = entry.path().filename().string();
        if (entry.is_symlink(error) && runNumberIn(leaf, numbered.leaf, totalRuns) > 0)
            links.push_back(describeOutput(numbered.option, entry.path().string(), false));
    }
    return links;
}

std::string shownName(const OutputName& name, const std::string& leaf) {
    if (name.folder.empty()) return "standard output";
    std::string shown = "'";
    shown += (name.folder / leaf).string();
    return shown += "'";
}

bool namesOneFile(const std::string& output, const std::string& input) {
    return sharedLeaf(describeOutput("", output, false), describeOutput("", input, false), 1)
        .has_value();
}

}  // namespace dla

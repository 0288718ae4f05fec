#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

/// Helpers shared by the tool's tests: a scratch folder, PNG decoding, running dla-cli.
namespace dla::cli::test {

/// A fresh, empty folder that is removed with everything in it when the object goes.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    /// Names of the entries in the folder, hidden ones included, sorted.
    std::vector<std::string> entries() const;

  private:
    std::filesystem::path path_;
};

std::string readFile(const std::string& path);

/// The pixels of a PNG file as 8-bit RGB, row by row; throws std::runtime_error when it cannot.
std::vector<std::uint8_t> decodePng(const std::string& path);

/// How a run of the dla-cli program ended.
struct Finished {
    int exitCode = -1;  ///< -1 when a signal ended it
    int signal = 0;     ///< the signal that ended it, or 0
    std::string out;
    std::string err;
};

/// Runs dla-cli with `args`, SIGINT, SIGTERM and SIGHUP at their default actions. `inChild` runs
/// in the child just before the program starts (limits, descriptors, filters); `whileRunning`
/// runs here with the child's pid and the read end of its stdout before the rest is read.
Finished runProgram(const std::vector<std::string>& args, const std::function<void()>& inChild = {},
                    const std::function<void(pid_t, int)>& whileRunning = {});

/// What the tool, run in this process, gave back.
struct Ran {
    int status;
    std::string out, err;
};
/// runCli on `args`: no terminal, two threads at most.
Ran run(const std::vector<std::string>& args);

/// From now on, in the calling process and the programs it starts, opening an unnamed file
/// (O_TMPFILE) fails with EOPNOTSUPP, as on a file system that has none. For forked children:
/// ends the process with status 126 if the filter cannot be installed.
void refuseUnnamedFiles();

}  // namespace dla::cli::test

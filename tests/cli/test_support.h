#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "png_image.h"

/// Helpers shared by the tool's tests: a scratch folder, PNG decoding, running programs.
namespace dla::cli::test {

/// A fresh, empty folder that is removed with everything in it when the object goes.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    /// Names of the entries in the folder, sorted.
    std::vector<std::string> entries() const;

  private:
    std::filesystem::path path_;
};

/// Decodes a PNG file through libpng into 8-bit RGB (alpha composited on black); throws
/// std::runtime_error when it cannot.
Image decodePng(const std::string& path);

struct CommandResult {
    int exitCode = -1;
    std::string out;  ///< standard output
};

/// Runs `command` through the shell and collects its standard output.
CommandResult runCommand(const std::string& command);

/// `text` quoted for the shell.
std::string shellQuote(const std::string& text);

/// The whole file as a string.
std::string readFile(const std::string& path);

/// Lines of `text` without their newlines.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace dla::cli::test

#pragma once

#include <sys/types.h>

#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>

/// Files written whole or not at all. The name "-" is standard output, written in place.
///
/// A regular file (new, or replacing one) is written to an unnamed file in the target's folder
/// (O_TMPFILE) that is linked under the target's name only by commit(), so that nothing partial
/// ever has a name, not even after SIGKILL. Where the file system has no unnamed files, a
/// hidden file ".dla-cli-<pid>-<n>.tmp" stands in, which the signal handling (signals.h) removes
/// on SIGINT, SIGTERM and SIGHUP. A replaced file keeps its permission bits (and its
/// owner where allowed). A symbolic link is followed, not replaced. Devices, pipes and sockets,
/// and the file that is already the process's stdout or stderr, are written in place, since
/// they cannot be replaced.
namespace dla {

/// An output that could not be written; what() is one line naming it and the reason.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// A write to a pipe whose reader has gone (EPIPE): the reader stopped early, which is no error
/// of ours to report.
class ReaderGone : public FileError {
  public:
    using FileError::FileError;
};

/// The name that stands for standard output (an output) or standard input (merge, --resume).
inline constexpr const char* kStandardStream = "-";

class OutputFile {
  public:
    /// Opens `path` for writing; throws FileError (a missing folder, no permission, a folder at
    /// `path`, a name longer than the file system takes).
    explicit OutputFile(const std::string& path);
    /// Without commit(): a staged file is dropped, and the target is left as it was.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes);  ///< buffered; throws FileError
    /// Hands buffered bytes to the system; throws FileError. A regular file written in place
    /// (stdout's) is cut back, when a later write fails, to where the last flush left it.
    void flush();
    /// Flushes and gives a staged file the target's name; throws FileError, and then the
    /// target is left as it was.
    void commit();

    const std::string& path() const { return path_; }  ///< as given

  private:
    enum class Kind { Unnamed, Hidden, InPlace };
    [[noreturn]] void fail(int error) const;
    void drain();
    void keepWholeWrites();
    void discard();
    void forgetHiddenName();

    std::string path_;    // as given, for messages
    std::string target_;  // the name to give the file: `path_` with its symbolic links followed
    std::string hidden_;  // the hidden name while one exists
    int slot_ = -1;       // where the hidden name is kept for the signal handlers
    int fd_ = -1;
    Kind kind_ = Kind::InPlace;
    off_t kept_ = -1;  // in place on a regular file: the end of what was whole
    std::string buffer_;
};

/// The name a file written to `path` gets: `path` with its symbolic links followed to their
/// target, which may not exist yet (a link stays a link). Throws FileError on a loop of links.
std::string finalName(const std::string& path);

/// A stream's bytes written to a descriptor (the process's stdout) at each flush. A flush that
/// fails part way takes back what it wrote to a regular file that is not opened for appending,
/// so that a full disk or a file-size limit leaves whole lines behind; errno stays the write's.
class DescriptorBuffer : public std::streambuf {
  public:
    explicit DescriptorBuffer(int fd) : fd_(fd) {}

  protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    int fd_;
    std::string pending_;
};

/// Writes `contents` to `path` whole or not at all.
void writeWholeFile(const std::string& path, std::string_view contents);

/// Throws FileError when `path` could not be written as OutputFile writes it, so that a batch
/// fails before its work rather than after it. Leaves nothing behind; opens no device or pipe.
void checkWritable(const std::string& path);

}  // namespace dla

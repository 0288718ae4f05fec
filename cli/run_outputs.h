#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "batch/runner.h"
#include "files/file_names.h"
#include "files/output_file.h"
#include "options.h"

/// The files each run writes (--image, --plot, --sites, --history), checked before the first
/// run and written as the runs come in. A new kind of per-run output is one row of the table in
/// run_outputs.cpp, beside its option in option_table.cpp.
namespace dla::cli {

/// Memory refused for a picture; what() names the run and the bytes.
class OutOfMemory : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// What a run's data files say of it: the program, the run of `total`, its size and seed.
std::string about(const RunPlan& plan, std::int64_t total);

/// Whether `path` is "-" or names the file that standard output (or, with `orError`, standard
/// error) writes to.
bool isStandardStream(const std::string& path, bool orError = true);

/// Every file the batch will write, checked before the first run so that a mistyped folder
/// costs nothing; throws UsageError or FileError.
void checkOutputs(const Options& options);

// Where one kind of per-run output goes: a numbered file a run, or, where the path is a stream
// that takes every run's output in turn (stdout, a device, a pipe), that stream, opened once
// for the batch: each run's output then comes whole and in the plan's order, and a pipe's
// reader sees one writer from the first run to the last.
/// One kind of per-run output.
class RunOutput {
  public:
    RunOutput(const std::string& path, std::int64_t total) : path_(path), total_(total) {
        if (!path.empty() && total > 1 && numberedPath(path, 0, total) == path)
            shared_.emplace(path);
    }
    bool wanted() const { return !path_.empty(); }
    bool shared() const { return shared_.has_value(); }
    /// Calls write(file) with the file of run `index`; safe from several threads unless shared.
    template <class Write>
    void write(std::int64_t index, const Write& write) {
        if (shared_) {
            write(*shared_);
            shared_->flush();
            return;
        }
        OutputFile file(numberedPath(path_, index, total_));
        write(file);
        file.commit();
    }
    void close() {
        if (shared_) shared_->commit();
    }

  private:
    std::string path_;
    std::int64_t total_;
    std::optional<OutputFile> shared_;
};

/// The kinds of per-run output, in the order of the help: the options that name them.
std::vector<const char*> runOutputOptions();

/// Every per-run output of a batch, each run's written whole and in the plan's order.
class RunOutputs {
  public:
    explicit RunOutputs(const Options& options);
    ~RunOutputs();
    /// What `batch` must keep of each run, and export on its worker, for these outputs.
    void prepare(BatchSettings& batch);
    /// The outputs of `record`, the run handed on next. Throws FileError or OutOfMemory.
    void write(const RunRecord& record);
    /// Ends the streams that took every run; throws FileError.
    void close();

  private:
    struct Wanted;
    const Options& options_;
    std::int64_t total_;
    std::vector<std::unique_ptr<Wanted>> wanted_;
};

}  // namespace dla::cli

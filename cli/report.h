#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "formats/json_schema.h"
#include "files/output_file.h"
#include "batch/runner.h"
#include "shard.h"
#include "batch/summary.h"

/// The text forms of runs and summaries (their JSON is json_schema.h's): readable lines, the
/// summary table and the CSV of the box-mass fits.
namespace dla::cli {

/// One readable line (no newline) for a run.
std::string runLine(const RunRecord& record, std::int64_t totalRuns);

/// The summary as a table, lines ending in newlines.
std::string summaryTable(const Summary& summary);

/// The header of the fit CSV: the columns' names, then the program as a comment line.
std::string fitCsvHeader();
/// One CSV line per box side of the run's estimate; empty for a run without one.
std::string fitCsvRows(const RunRecord& record);

/// The fit file and the table of runs (--fit and --csv, either or both), written as the runs come
/// in so that their size costs no memory, and kept only when commit() is reached.
class RunTables {
  public:
    RunTables(const std::string& fitPath, const std::string& csvPath,
              const std::string& commandLine, const Json& plan);
    /// One run: its record for the fit, its JSON line for the table.
    void add(const RunRecord& record, const Json& run);
    void commit();

  private:
    std::optional<OutputFile> fit_, csv_;
};

}  // namespace dla::cli

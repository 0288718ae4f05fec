#pragma once

#include <cstdint>
#include <string>

#include "runner.h"
#include "shard.h"
#include "summary.h"

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

}  // namespace dla::cli

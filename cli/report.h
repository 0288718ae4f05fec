#pragma once

#include <cstdint>
#include <string>

#include "runner.h"
#include "shard.h"
#include "summary.h"

/// The text forms of runs and summaries: JSON lines, readable lines, the summary table and the
/// CSV of the box-mass fits.
namespace dla::cli {

/// One JSON object (no newline) for a run; `totalRuns` is the number of runs in the batch.
std::string runJson(const RunRecord& record, std::int64_t totalRuns);
/// One readable line (no newline) for a run.
std::string runLine(const RunRecord& record, std::int64_t totalRuns);

/// The final JSON object (no newline). `plan`, the text of a JSON object, goes in as the member
/// "plan" when it is not empty; a shard other than the whole as "shard": {"index", "count"}.
std::string summaryJson(const Summary& summary, const std::string& plan = {},
                        const Shard& shard = {});
/// The summary as a table, lines ending in newlines.
std::string summaryTable(const Summary& summary);

/// The header line of the fit CSV, with its newline.
std::string fitCsvHeader();
/// One CSV line per box side of the run's estimate; empty for a run without one.
std::string fitCsvRows(const RunRecord& record);

}  // namespace dla::cli

#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

#include "batch/plan.h"
#include "batch/runner.h"
#include "batch/summary.h"
#include "formats/program.h"
#include "large/large_growth.h"

/// The JSON that dla-cli writes, in one place: a line per run, then the summary with the plan
/// and the part. What merge reads back is read here too, each member checked before it is taken;
/// a member that is missing, of another type or out of its range is named in the refusal.
namespace dla {

/// Members keep the order they are written in.
using Json = nlohmann::ordered_json;

/// The layout's version, in every line as "schema" (docs/json.md says what each member means);
/// merge reads this one only.
inline constexpr int kJsonSchema = 1;

/// A line that is not what dla-cli writes; what() names where and why.
class SchemaError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// The line of a run; `totalRuns` is the number of runs in the batch.
Json runToJson(const RunRecord& record, std::int64_t totalRuns);
/// The summary line: the statistics, `plan` (planToJson's) and the part when it is not the whole.
Json summaryToJson(const Summary& summary, const Json& plan, const Shard& shard);
/// What fixes the runs of a plan and their results: sizes, runs per size, first seed and the
/// growth options, and the jump walker's version (`walkerVersion`; this program's when not
/// given), with which the seeds give their aggregates. Outputs whose plans differ in any member
/// are not joined, so a new option that changes results belongs here.
Json planToJson(const Plan& plan, std::optional<std::int32_t> walkerVersion = kJumpWalkerVersion);

/// The table of runs (--csv): a column for each member of a run's line, the nested ones as
/// "anisotropy_cos4", "fit_slope" and so on (the fit's points left out), and a row a run.
std::string csvColumns();
std::string csvRow(const Json& run);
/// The table's first lines: the columns' names (where spreadsheets, pandas and
/// numpy.genfromtxt(names=True) look for them), then as comments the program, `commandLine`,
/// the date and the plan.
std::string csvPreamble(const std::string& commandLine, const Json& plan);

/// A run's line read back: what the summary takes of it (and, asked for, its fit), with the
/// runs of the whole plan and whether it carries a hash, as the jump walker's runs do. A jump
/// run's line without a walker's version was written before there were versions, by version 1.
struct RunLine {
    RunRecord record;
    std::int64_t runs = 0;
    bool hashed = false;
};
/// Throws SchemaError naming `where`.
RunLine runFromJson(const Json& json, const std::string& where, bool withFit = false);

/// A summary line read back: the runs it counts, its plan and its part.
struct SummaryLine {
    std::int64_t runs = 0;
    Plan plan;  ///< checked by the reader's rules, written back as the same text
    /// The plan's jump walker version (1 for a plan written before there were versions); empty
    /// for the literal walk.
    std::optional<std::int32_t> walkerVersion;
    Json planJson;  ///< the plan as planToJson writes it, the walker's version included
    Shard shard;
};
/// Throws SchemaError naming `where`, also where `runnable` (the reader's rules for a plan that
/// it can run) throws std::runtime_error for the plan.
SummaryLine summaryFromJson(const Json& json, const std::string& where,
                            const std::function<void(const Plan&)>& runnable);

}  // namespace dla

#include "merge.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <set>

#include "files/output_file.h"
#include "formats/json_schema.h"
#include "output_paths.h"
#include "report.h"

namespace dla::cli {

namespace {

// Nothing dla-cli writes nests deeper than this.
constexpr int kDeepest = 8;

std::string describe(const Shard& shard) {
    return shard.whole()
               ? std::string("the whole plan")
               : "part " + std::to_string(shard.index) + " of " + std::to_string(shard.count);
}

// The lines of one file, each without its newline.
class LineReader {
  public:
    explicit LineReader(const std::string& path)
        : path_(path),
          file_(path == kStandardStream ? stdin : std::fopen(path.c_str(), "rb"),
                path == kStandardStream ? &keepOpen : &std::fclose) {
        if (!file_) fail();
    }

    /// The next line, or false at the end of the file.
    bool next(std::string& line) {
        line.clear();
        lineStart_ = base_ + static_cast<std::int64_t>(start_);
        for (;;) {
            if (start_ == end_ && !fill()) {
                if (line.empty()) return false;
                ++number_;  // the last line, without a newline
                return true;
            }
            const char* from = buffer_ + start_;
            const auto* newline = static_cast<const char*>(std::memchr(from, '\n', end_ - start_));
            const std::size_t taken =
                newline ? static_cast<std::size_t>(newline - from) : end_ - start_;
            if (line.size() + taken > kLongestMergeLine) {
                throw MergeError(path_ + ": line " + std::to_string(number_ + 1) +
                                 " is longer than " + std::to_string(kLongestMergeLine) +
                                 " bytes: not dla-cli --json output");
            }
            line.append(from, taken);
            start_ += taken;
            if (newline) {
                ++start_;
                ++number_;
                return true;
            }
        }
    }

    std::int64_t number() const { return number_; }
    /// Where the line that next() gave starts, in bytes from the start of the file.
    std::int64_t lineStart() const { return lineStart_; }

    /// Reads on from `offset` bytes into the file.
    void seek(std::int64_t offset) {
        if (::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) fail();
        base_ = offset;
        start_ = end_ = 0;
    }

  private:
    bool fill() {
        base_ += static_cast<std::int64_t>(end_);
        start_ = 0;
        errno = 0;
        end_ = std::fread(buffer_, 1, sizeof buffer_, file_.get());
        if (end_ == 0 && std::ferror(file_.get())) fail();
        return end_ > 0;
    }

    [[noreturn]] void fail() const {
        throw MergeError("cannot read " + path_ + ": " + std::strerror(errno != 0 ? errno : EIO));
    }

    static int keepOpen(std::FILE*) { return 0; }

    std::string path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    char buffer_[1 << 16];
    std::size_t start_ = 0, end_ = 0;
    std::int64_t base_ = 0;  // the offset of buffer_[0] in the file
    std::int64_t number_ = 0;
    std::int64_t lineStart_ = 0;
};

// A line as JSON; discarded when it is not valid JSON, nests too deep or repeats a key.
Json parseLine(const std::string& line, std::string& problem) {
    std::vector<std::set<std::string>> keys;
    const Json::parser_callback_t check = [&](int depth, Json::parse_event_t event, Json& parsed) {
        using Event = Json::parse_event_t;
        if (depth > kDeepest && problem.empty()) problem = "nests deeper than dla-cli writes";
        if (event == Event::object_start) keys.emplace_back();
        if (event == Event::object_end && !keys.empty()) keys.pop_back();
        if (event == Event::key && !keys.empty() && parsed.is_string() &&
            !keys.back().insert(parsed.get<std::string>()).second && problem.empty())
            problem = "repeats the key " + parsed.dump().substr(0, 40);
        // What is too deep is dropped as it is read, so that it costs no memory.
        return depth <= kDeepest;
    };
    Json json = Json::parse(line, check, false);
    if (json.is_discarded() && problem.empty()) problem = "is not valid JSON";
    return problem.empty() ? json : Json(Json::value_t::discarded);
}

// What the summary needs of one run, and where it was read.
struct Row {
    std::int64_t index;
    std::int64_t line;
    std::int64_t offset;  // of the line in its file
    std::size_t file;
    std::int64_t planRuns;  // the runs of the whole plan, as the line gives it
    std::optional<std::uint64_t> seed;
    EnsembleRun run;
    RunSettings settings;
    bool hashed;  // the jump walker's runs carry a hash, the literal's none
    std::optional<std::int32_t> walkerVersion;
};

Row rowOf(const RunLine& line, std::int64_t number, std::int64_t offset, std::size_t file) {
    const RunRecord& record = line.record;
    return {record.plan.index,
            number,
            offset,
            file,
            line.runs,
            record.plan.seed,
            ensembleRunOf(record),
            record.settings,
            line.hashed,
            record.result.walkerVersion};
}

// One file's runs, its plan and its part.
struct Output {
    std::string path;
    SummaryLine summary;
    std::vector<Row> rows;
};

// The command line that gives `plan` (a plan without a kill factor writes 2).
Options optionsOf(const Plan& plan) {
    Options options;
    static_cast<Plan&>(options) = plan;
    options.sizesGiven = !plan.growth.particles;
    options.killFactorGiven = plan.growth.killFactor != kWindowKillFactor;
    return options;
}

// A part's plan is one that dla-cli runs, by the command line's own rules.
void runnable(const Plan& plan) {
    checkTogether(optionsOf(plan));
}

Output readOutput(const std::string& path, std::size_t file) {
    Output output;
    output.path = path;
    LineReader reader(path);
    std::string text;
    bool summarised = false;
    while (reader.next(text)) {
        if (text.empty()) continue;
        const std::string where = path + ": line " + std::to_string(reader.number());
        if (summarised) throw MergeError(where + ": follows the summary (one output per file)");
        std::string problem;
        const Json json = parseLine(text, problem);
        if (!problem.empty()) throw MergeError(where + ": " + problem);
        if (!json.is_object() || !json.contains("type") || !json["type"].is_string())
            throw MergeError(where + ": is not an object with a \"type\"");
        const auto& type = json["type"].get_ref<const std::string&>();
        if (type == "run") {
            output.rows.push_back(
                rowOf(runFromJson(json, where), reader.number(), reader.lineStart(), file));
        } else if (type == "summary") {
            output.summary = summaryFromJson(json, where, runnable);
            summarised = true;
        } else {
            throw MergeError(where + ": has the unknown type " + json["type"].dump());
        }
    }
    if (!summarised) throw MergeError(path + ": has no summary line (did its process finish?)");
    if (output.summary.runs != static_cast<std::int64_t>(output.rows.size())) {
        throw MergeError(path + ": its summary counts " + std::to_string(output.summary.runs) +
                         " runs but it holds " + std::to_string(output.rows.size()));
    }
    return output;
}

// Every run of a file as its plan makes it.
void checkRuns(const Output& output) {
    const Plan& o = output.summary.plan;
    const Shard& shard = output.summary.shard;
    for (const Row& row : output.rows) {
        const std::string where = output.path + ": line " + std::to_string(row.line) + ": run " +
                                  std::to_string(row.index + 1);
        if (row.index >= o.totalRuns() || row.planRuns != o.totalRuns())
            throw MergeError(where + " is not one of the " + std::to_string(o.totalRuns()) +
                             " runs of its plan");
        if (!shard.holds(row.index)) throw MergeError(where + " is not in " + describe(shard));
        const bool jump = o.growth.walker == Walker::Jump;
        if (row.hashed != jump)
            throw MergeError(where + " is not a run of the " + (jump ? "jump" : "literal") +
                             " walker of its plan");
        if (row.walkerVersion != output.summary.walkerVersion)
            throw MergeError(where + " was grown by another walker version than its plan's");
        const RunPlan run{row.index, row.run.size, row.seed};
        if (const std::string why = unplanned(o, run, row.settings); !why.empty())
            throw MergeError(where + " " + why);
    }
}

// Why two plans are not one: the first member in which they differ.
std::string difference(const Json& a, const Json& b) {
    for (const auto& [key, value] : a.items()) {
        if (!b.contains(key) || b[key] != value) return "\"" + key + "\"";
    }
    for (const auto& [key, value] : b.items()) {
        if (!a.contains(key)) return "\"" + key + "\"";
    }
    return "the order of their members";
}

// A file of the same batch as those read before it, and another part of it.
void checkSameBatch(const Output& output, const std::vector<Output>& before) {
    if (before.empty()) return;
    const Output& first = before.front();
    const Json &mine = output.summary.planJson, &theirs = first.summary.planJson;
    if (mine != theirs) {
        throw MergeError(output.path + " and " + first.path + " come from different plans: their " +
                         difference(mine, theirs) + " differs");
    }
    const Shard &part = output.summary.shard, &firstPart = first.summary.shard;
    if (part.count != firstPart.count) {
        throw MergeError(output.path + " is " + describe(part) + " but " + first.path + " is " +
                         describe(firstPart));
    }
    for (const Output& other : before) {
        if (other.summary.shard == part)
            throw MergeError(output.path + " and " + other.path + " are both " + describe(part));
    }
}

// Every run of the plan once among `rows` (sorted by run), or the file that should hold it.
void checkComplete(const std::vector<Row>& rows, const std::vector<Output>& outputs,
                   const std::vector<std::string>& files, std::int64_t total) {
    const std::int64_t parts = outputs.front().summary.shard.count;
    for (std::int64_t expected = 0; expected < total; ++expected) {
        const auto at = static_cast<std::size_t>(expected);
        if (at < rows.size() && rows[at].index == expected) {
            if (at + 1 < rows.size() && rows[at + 1].index == expected) {
                throw MergeError(files[rows[at + 1].file] + ": line " +
                                 std::to_string(rows[at + 1].line) + ": run " +
                                 std::to_string(expected + 1) + " appears a second time");
            }
            continue;
        }
        const Shard missing{expected % parts + 1, parts};
        const auto holder = std::find_if(outputs.begin(), outputs.end(), [&](const Output& o) {
            return o.summary.shard == missing;
        });
        if (holder == outputs.end()) {
            throw MergeError("no file holds " + describe(missing) + " (run " +
                             std::to_string(expected + 1) + " among others)");
        }
        throw MergeError(holder->path + ": lacks run " + std::to_string(expected + 1) + " of " +
                         describe(missing));
    }
}

// The fit file and the table of runs that one process making the whole plan writes, from the
// runs' lines read a second time, in the order of the plan. Only `rows` (a few dozen bytes a
// run) stay in memory.
void writeTables(const MergeTables& tables, const Json& plan, const std::vector<std::string>& files,
                 const std::vector<Row>& rows) {
    RunTables out(tables.fitPath, tables.csvPath, tables.commandLine, plan);
    std::vector<std::unique_ptr<LineReader>> readers(files.size());
    std::string text;
    for (const Row& row : rows) {
        auto& reader = readers[row.file];
        if (!reader) reader = std::make_unique<LineReader>(files[row.file]);
        reader->seek(row.offset);
        const std::string where = files[row.file] + ": line " + std::to_string(row.line);
        std::string problem;
        const Json json = reader->next(text) ? parseLine(text, problem) : Json();
        if (!problem.empty() || !json.is_object() || !json.contains("run") ||
            json["run"] != row.index + 1)
            throw MergeError(where + ": changed while it was merged");
        out.add(runFromJson(json, where, true).record, json);
    }
    out.commit();
}

}  // namespace

Merged mergeOutputs(const std::vector<std::string>& files, const MergeTables& tables) {
    std::vector<Output> outputs;
    std::vector<Row> rows;
    try {
        for (std::size_t f = 0; f < files.size(); ++f) {
            Output output = readOutput(files[f], f);
            checkSameBatch(output, outputs);
            checkRuns(output);
            rows.insert(rows.end(), output.rows.begin(), output.rows.end());
            std::vector<Row>().swap(output.rows);
            outputs.push_back(std::move(output));
        }
    } catch (const SchemaError& e) {
        throw MergeError(e.what());
    }
    if (outputs.empty()) throw MergeError("no file to merge");

    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.index < b.index; });
    const Plan& plan = outputs.front().summary.plan;
    checkComplete(rows, outputs, files, plan.totalRuns());

    SummaryBuilder summary;
    for (const Row& row : rows) summary.add(row.run, row.settings);
    Merged merged{summary.build(), outputs.front().summary.planJson};
    if (!tables.fitPath.empty() || !tables.csvPath.empty()) {
        // The files only for a plan that one process could have written them for.
        Options fitted = optionsOf(plan);
        fitted.fitPath = tables.fitPath;
        try {
            checkTogether(fitted);
            writeTables(tables, merged.plan, files, rows);
        } catch (const UsageError& e) {
            throw MergeError(e.what());
        } catch (const SchemaError& e) {
            throw MergeError(e.what());
        }
    }
    return merged;
}

}  // namespace dla::cli

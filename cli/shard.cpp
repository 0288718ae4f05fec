#include "shard.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "options.h"

namespace dla::cli {

namespace {

bool digitsOnly(std::string_view s) {
    return !s.empty() && s.size() <= 18 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

// The parts count from 1, not 0, so that a Slurm job array started with --array=1-K can pass
// its task id straight through: --shard $SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT.
Shard parseShard(std::string_view text) {
    std::string quoted(1, '\'');
    quoted.append(text).push_back('\'');
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos || !digitsOnly(text.substr(0, slash)) ||
        !digitsOnly(text.substr(slash + 1)))
        throw UsageError("needs I/K, part I of K with 1 <= I <= K, got " + quoted);
    Shard shard;
    std::from_chars(text.data(), text.data() + slash, shard.index);
    std::from_chars(text.data() + slash + 1, text.data() + text.size(), shard.count);
    if (shard.count < 1 || shard.count > kMostShards)
        throw UsageError("needs K from 1 to " + std::to_string(kMostShards) + ", got " + quoted);
    if (shard.index < 1 || shard.index > shard.count)
        throw UsageError("needs I from 1 to K, got " + quoted);
    return shard;
}

}  // namespace dla::cli

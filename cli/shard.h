#pragma once

#include <string_view>

#include "batch/shard.h"

/// The text of --shard.
namespace dla::cli {

/// Reads "I/K" with 1 <= I <= K <= kMostShards, plain decimal digits only; throws UsageError
/// (whose message leaves out the option's name) on anything else.
Shard parseShard(std::string_view text);

}  // namespace dla::cli

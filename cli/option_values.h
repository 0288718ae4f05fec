#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <string_view>

/// The checks of one value of the command line, as CLI11 validators, and the help's ranges.
namespace dla::cli {

std::string inQuotes(std::string_view text);

/// Each says what is wrong in this tool's words, which the parser puts after the option's name.
/// Only plain decimal digits are whole numbers here, no sign, blanks, base prefix, fraction or
/// exponent, so that a mistyped value is refused rather than read as something else. A whole
/// number is left without leading zeros: "0050" is 50, and the same size as "50" in a list.
CLI::Validator whole(std::uint64_t least, std::uint64_t most);
/// A plain decimal number, "2", "2.5" or ".5": digits with at most one point, nothing else.
CLI::Validator decimal(double least, double most);
/// N[,N...]: sizes 1..kLargestJumpSize, none twice.
CLI::Validator sizeList();
CLI::Validator oneOf(std::string a, std::string b);
/// I/K of --shard.
CLI::Validator part();
extern const CLI::Validator kFileName;
/// A value that starts with "--" is an option whose value was forgotten, never a value.
extern const CLI::Validator kNotAnOption;

/// The value of a text that decimal() took.
double decimalOf(const std::string& text);

/// Ranges in the help, from the constants the validators check: "1..1000", "10^10".
std::string range(std::int64_t least, std::int64_t most);
std::string powerOfTen(std::int64_t value);

}  // namespace dla::cli

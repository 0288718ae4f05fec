#include "option_values.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "large/large_growth.h"
#include "options.h"
#include "shard.h"

namespace dla::cli {

namespace {

bool digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string wholeProblem(std::string& text, std::uint64_t least, std::uint64_t most) {
    if (text.size() > 1 && text.front() == '-' && digits(std::string_view(text).substr(1)))
        return "must not be negative, got " + inQuotes(text);
    if (!digits(text)) return "needs a whole number, got " + inQuotes(text);
    std::uint64_t value = 0;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec == std::errc::result_out_of_range || value > most)
        return "must be at most " + std::to_string(most) + ", got " + inQuotes(text);
    if (value < least)
        return "must be at least " + std::to_string(least) + ", got " + inQuotes(text);
    text = std::to_string(value);
    return {};
}

}  // namespace

std::string inQuotes(std::string_view text) {
    return "'" + std::string(text) + "'";
}

CLI::Validator whole(std::uint64_t least, std::uint64_t most) {
    return {[=](std::string& text) { return wholeProblem(text, least, most); }, ""};
}

CLI::Validator decimal(double least, double most) {
    return {[=](std::string& text) -> std::string {
                const std::size_t point = text.find('.');
                const bool plain =
                    text.find_first_not_of("0123456789.") == std::string::npos &&
                    text.find_first_of("0123456789") != std::string::npos &&
                    (point == std::string::npos || text.find('.', point + 1) == std::string::npos);
                if (!plain) return "needs a number such as 2 or 2.5, got " + inQuotes(text);
                double value = 0.0;
                std::from_chars(text.data(), text.data() + text.size(), value,
                                std::chars_format::fixed);
                if (value >= least && value <= most) return {};
                char range[64];
                std::snprintf(range, sizeof range, "must be from %g to %g, got ", least, most);
                return range + inQuotes(text);
            },
            ""};
}

CLI::Validator sizeList() {
    return {[](std::string& text) -> std::string {
                std::vector<std::string> seen;
                for (std::size_t start = 0;;) {
                    const std::size_t comma = std::min(text.find(',', start), text.size());
                    std::string size = text.substr(start, comma - start);
                    if (std::string problem = wholeProblem(size, 1, kLargestJumpSize);
                        !problem.empty())
                        return problem;
                    if (std::find(seen.begin(), seen.end(), size) != seen.end())
                        return "lists " + size + " twice";
                    seen.push_back(size);
                    if (comma == text.size()) break;
                    start = comma + 1;
                }
                text.clear();
                for (const std::string& size : seen) text += (text.empty() ? "" : ",") + size;
                return {};
            },
            ""};
}

CLI::Validator oneOf(std::string a, std::string b) {
    return {[=](std::string& text) -> std::string {
                if (text == a || text == b) return {};
                return "must be " + a + " or " + b + ", got " + inQuotes(text);
            },
            ""};
}

CLI::Validator part() {
    return {[](std::string& text) -> std::string {
                try {
                    (void)parseShard(text);
                } catch (const UsageError& e) {
                    return e.what();
                }
                return {};
            },
            ""};
}

const CLI::Validator kFileName(
    [](std::string& text) { return text.empty() ? std::string("needs a file name") : ""; }, "");

const CLI::Validator kNotAnOption(
    [](std::string& text) {
        return text.starts_with("--") ? "needs a value, got the option '" + text + "'" : "";
    },
    "");

double decimalOf(const std::string& text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return value;
}

std::string range(std::int64_t least, std::int64_t most) {
    return std::to_string(least) + ".." + std::to_string(most);
}

std::string powerOfTen(std::int64_t value) {
    int exponent = 0;
    for (; value >= 10 && value % 10 == 0; value /= 10) ++exponent;
    return value == 1 ? "10^" + std::to_string(exponent) : std::to_string(value);
}

}  // namespace dla::cli

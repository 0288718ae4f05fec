#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "options.h"

/// dla-cli's options, each declared once with its help, its check and where its value goes.
namespace dla::cli {

/// The parser of `command`'s options and of merge's, writing into `command`.
std::unique_ptr<CLI::App> makeParser(Command& command);

/// CLI11's words for the commonest slips, put as the other messages put things.
std::string explain(const CLI::ParseError& e, const CLI::App& parser);

}  // namespace dla::cli

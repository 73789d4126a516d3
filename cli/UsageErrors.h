#pragma once
// The messages for a command line that cannot be parsed. Every parse error of
// gatewisecmd is turned into one here. A message names the command, the
// option, or the argument by its position ("Argument 2"), and never repeats
// what was typed: an argument may be a password given by mistake, and
// management agents keep standard error in their logs.

#include <CLI/CLI.hpp>

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

// Parses `arguments` (as typed, without the program name) with `app`.
void Parse(CLI::App& app, const std::vector<std::string>& arguments);

struct UsageError {
    std::string message;  // one sentence
    std::string hint;     // one line: how to see the options of the command it concerns
};

// Describes `error`, which `Parse(app, arguments)` has just raised. It may
// parse beginnings of the arguments again to find the one at fault, so the
// parsed values in `app` are not to be used afterwards.
UsageError DescribeUsageError(CLI::App& app, const CLI::ParseError& error, const std::vector<std::string>& arguments);

// The 1-based positions in `arguments` of `found`, values taken from them in
// order from position `after` + 1 on; 0 for one that is not there.
std::vector<std::size_t> ArgumentPositions(const std::vector<std::string>& arguments,
                                           const std::vector<std::string>& found, std::size_t after = 0);

}  // namespace cli

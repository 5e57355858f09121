// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// Each subcommand takes the arguments after its name and returns the process exit status:
// 0 success, 1 a reported failure of the operation, 2 bad usage or a missing input.
namespace morvane::cli {

// census DIR: the first status panel's text for DIR after a list build, then one line per listed
// file in list order (caption, kind, size, date-time text, width, height; tab separated), UTF-8.
int runCensus(const std::vector<std::string> &args);

} // namespace morvane::cli

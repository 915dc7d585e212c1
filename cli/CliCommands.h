#pragma once

// The commands of trevalon-cli: each reads its inputs, uses the same engine,
// link, job files and printing as the window, and reports on Out (the result)
// and Err (what went wrong); returns the exit code.

#include <ostream>

#include "cli/CliOptions.h"

int RunCliCommand(const TCliOptions& options, std::ostream& out, std::ostream& err);

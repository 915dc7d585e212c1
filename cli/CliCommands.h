#pragma once

// The commands of trevalon-cli: each reads its inputs, uses the same engine,
// link, job files and printing as the window, and reports on Out (the result)
// and Err (what went wrong); returns the exit code.

#include <ostream>
#include <string>

#include "cli/CliOptions.h"

int RunCliCommand(const TCliOptions& options, std::ostream& out, std::ostream& err);

// One JSON object for a run that ends before a command runs: a usage error
// (Code 2) or a failure outside the commands' own.
void PrintCliFailure(std::ostream& out, const std::string& command, int code,
                     const std::string& error);
// One JSON object for --help or --version: Key ("help", "version") holds Text.
void PrintCliInfo(std::ostream& out, const std::string& command, const char* key,
                  const std::string& text);

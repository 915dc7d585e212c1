#pragma once

// What the command line asks of the operating system (CliPlatformPosix.cpp,
// CliPlatformWin32.cpp).

#include <string>

// The running program's file, UTF-8; empty when it cannot be found.
std::string OwnProgramFile();
// Whether standard error goes to a terminal (the countdown is shown there).
bool ErrorIsTerminal();

#pragma once

// Files that come with the program.

#include <string>
#include <vector>

// Where the help file of ProgramFile may be, in the order tried: beside the
// program, named after it with ".html" (a build or a portable copy), then in
// ../share/trevalon/ of the program's folder (an installed program).
std::vector<std::string> HelpFileCandidates(const std::string& programFile);

// What a start of fault_program prints, read the same on every platform.
#pragma once

#include <sstream>
#include <string>
#include <vector>

// The report paths (UTF-8) a start of fault_program printed, one
// "report PATH" line each; a Windows console's CR before the LF is dropped.
inline std::vector<std::string> ReportsIn(const std::string& output) {
    std::vector<std::string> paths;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("report ", 0) == 0) paths.push_back(line.substr(7));
    }
    return paths;
}

#include "app/CommLog.h"

const char* const VersionInfoNames[13] = {
    "FileVersion",    "CompanyName",     "FileDescription",       "InternalName",
    "LegalCopyright", "LegalTradeMarks", "OriginalFileName",      "ProductName",
    "ProductVersion", "Comments",        "CurrentProgramVersion", "CurrentDatabaseVersion",
    "VersionDetails"};

std::string VersionValue(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& line : lines) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && std::string_view(line).substr(0, eq) == name)
            return line.substr(eq + 1);
    }
    return {};
}


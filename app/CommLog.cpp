#include "app/CommLog.h"

#include <cstdio>

#include "oma/OMAMach.h"
#include "settings/SettingsList.h"

void TCommLog::AddData(TDirection direction, std::string_view data, std::string_view stamp) {
    const std::vector<std::string> rendered = SplitTextLines(RenderControlChars(data));
    while (FLines.size() > MaxLines) FLines.pop_front();
    std::string header(stamp);
    header += direction == ldToHost ? " ------------ Data To Host ---------"
                                    : " ------------ Data From Host ---------";
    FLines.push_back(std::move(header));
    for (const std::string& line : rendered) {
        std::string entry(stamp);
        entry += ' ';
        entry += line;
        FLines.push_back(std::move(entry));
    }
    FLines.emplace_back();
}

void TCommLog::AddEndLine(std::string_view message, std::string_view stamp) {
    std::string line(stamp);
    line.append(" ------------ ").append(message).append(" ---------");
    FLines.push_back(std::move(line));
}

std::string TCommLog::Text() const {
    std::size_t size = 0;
    for (const std::string& line : FLines) size += line.size() + 2;
    std::string result;
    result.reserve(size);
    for (const std::string& line : FLines) result.append(line).append("\r\n");
    return result;
}

std::string FormatTimeStamp(const QTime& time) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d:%03d", time.hour(), time.minute(),
                  time.second(), time.msec());
    return buffer;
}

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


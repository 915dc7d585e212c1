#include "tools/JobFile.h"

#include <algorithm>
#include <cctype>
#include <system_error>

bool IsSafeTray(std::string_view tray) {
    if (tray.empty() || tray.size() > 40) return false;
    return std::all_of(tray.begin(), tray.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               c == '-' || c == '_';
    });
}

std::filesystem::path TJobFolder::JobPath(std::string_view tray) const {
    return FFolder / (std::string(tray) + ".oma");
}

std::filesystem::path TJobFolder::BackupPath(std::string_view tray) const {
    return FFolder / (std::string(tray) + ".oma.bak");
}

std::optional<std::string> TJobFolder::Load(std::string_view tray) {
    const std::filesystem::path path = JobPath(tray);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    try {
        return ReadJobFileBytes(path);
    } catch (const EOmaJobFile& e) {
        throw EJobFile(path.string() + ": " + e.what());
    }
}

void TJobFolder::Save(std::string_view tray, std::string_view text) {
    try {
        WriteJobFileBytes(JobPath(tray), text);
    } catch (const EOmaJobFile& e) {
        throw EJobFile(JobPath(tray).string() + ": " + e.what());
    }
}

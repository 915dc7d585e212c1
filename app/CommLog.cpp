#include "app/CommLog.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "oma/OMAMach.h"
#include "settings/SettingsList.h"

#ifndef TREVALON_VERSION
#define TREVALON_VERSION "0.0.0"
#endif

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

namespace {

// The build's version strings, in the order of VersionInfoNames.
const char* const BuildVersionValues[13] = {
    TREVALON_VERSION,                             // FileVersion
    "VORMIK",                                     // CompanyName
    "Trevalon frame shape editor for OMA hosts",  // FileDescription
    "Trevalon",                                   // InternalName
    "",                                           // LegalCopyright
    "",                                           // LegalTradeMarks
    "trevalon",                                   // OriginalFileName
    "Trevalon",                                   // ProductName
    TREVALON_VERSION,                             // ProductVersion
    "",                                           // Comments
    TREVALON_VERSION,                             // CurrentProgramVersion
    "",                                           // CurrentDatabaseVersion
    "",                                           // VersionDetails
};

std::string OwnProgramFile() {
    if (QCoreApplication::instance() != nullptr)
        return QCoreApplication::applicationFilePath().toStdString();
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

void ReadVersionInfo(const std::string& fileName, std::vector<std::string>& lines) {
    lines.clear();
    const QString canonical = QFileInfo(QString::fromStdString(fileName)).canonicalFilePath();
    const QString own = QFileInfo(QString::fromStdString(OwnProgramFile())).canonicalFilePath();
    if (canonical.isEmpty() || canonical != own) return;
    for (std::size_t i = 0; i < std::size(VersionInfoNames); ++i) {
        const std::string_view value = BuildVersionValues[i];
        if (!value.empty())
            lines.push_back(std::string(VersionInfoNames[i]) + "=" + std::string(value));
    }
}

std::string VersionValue(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& line : lines) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && std::string_view(line).substr(0, eq) == name)
            return line.substr(eq + 1);
    }
    return {};
}

std::string CreateLogFile(const std::string& folder, std::string& error) {
    // No folder (a temp folder that does not exist gives none) is never the
    // current one: the file would land wherever the program was started.
    if (folder.empty()) {
        error = std::strerror(ENOENT);
        return {};
    }
    std::string nameTemplate = folder;
    if (!nameTemplate.empty() && nameTemplate.back() != '/') nameTemplate += '/';
    nameTemplate += "trevalon-log-XXXXXX.txt";
    std::vector<char> name(nameTemplate.begin(), nameTemplate.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), 4);
    if (fd < 0) {
        error = std::strerror(errno);
        return {};
    }
    close(fd);
    return std::string(name.data());
}

bool WriteLogFile(const std::string& fileName, std::string_view content, std::string& error) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    int code = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) error = std::strerror(code);
    return ok;
}

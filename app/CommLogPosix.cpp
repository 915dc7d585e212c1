// The log's file, its viewer and the program's version strings on POSIX.
#include <unistd.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/CommLog.h"
#include "base/Utf8File.h"

#ifndef TREVALON_VERSION
#define TREVALON_VERSION "0.0.0"
#endif

namespace {

// A POSIX program file carries no version resource: the running program's
// strings are the ones the build gave it, in the order of VersionInfoNames.
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

std::string RunningProgramFile() {
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
    const QString own = QFileInfo(QString::fromStdString(RunningProgramFile())).canonicalFilePath();
    if (canonical.isEmpty() || canonical != own) return;
    for (std::size_t i = 0; i < std::size(VersionInfoNames); ++i) {
        const std::string_view value = BuildVersionValues[i];
        if (!value.empty())
            lines.push_back(std::string(VersionInfoNames[i]) + "=" + std::string(value));
    }
}

std::string CreateLogFile(const std::string& folder, std::string& error) {
    // No folder (a temp folder that does not exist gives none) is never the
    // current one: the file would land wherever the program was started.
    if (folder.empty()) {
        error = std::strerror(ENOENT);
        return {};
    }
    std::string nameTemplate = folder;
    if (nameTemplate.back() != '/') nameTemplate += '/';
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
    return WriteUtf8File(fileName, content, error);
}

void RemoveLogFile(const std::string& fileName) { std::remove(fileName.c_str()); }

bool OpenLogViewer(const QString& fileName) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
}

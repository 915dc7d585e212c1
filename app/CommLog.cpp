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

void TCommLog::AddData(TDirection Direction, std::string_view Data, std::string_view Stamp) {
    const std::vector<std::string> Rendered = SplitTextLines(RenderControlChars(Data));
    while (FLines.size() > MaxLines) FLines.pop_front();
    std::string Header(Stamp);
    Header += Direction == ldToHost ? " ------------ Data To Host ---------"
                                    : " ------------ Data From Host ---------";
    FLines.push_back(std::move(Header));
    for (const std::string& Line : Rendered) {
        std::string Entry(Stamp);
        Entry += ' ';
        Entry += Line;
        FLines.push_back(std::move(Entry));
    }
    FLines.emplace_back();
}

void TCommLog::AddEndLine(std::string_view Message, std::string_view Stamp) {
    std::string Line(Stamp);
    Line.append(" ------------ ").append(Message).append(" ---------");
    FLines.push_back(std::move(Line));
}

std::string TCommLog::Text() const {
    std::size_t Size = 0;
    for (const std::string& Line : FLines) Size += Line.size() + 2;
    std::string Result;
    Result.reserve(Size);
    for (const std::string& Line : FLines) Result.append(Line).append("\r\n");
    return Result;
}

std::string FormatTimeStamp(const QTime& Time) {
    char Buffer[16];
    std::snprintf(Buffer, sizeof Buffer, "%02d:%02d:%02d:%03d", Time.hour(), Time.minute(),
                  Time.second(), Time.msec());
    return Buffer;
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
    char Buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", Buffer, sizeof Buffer - 1);
    return n > 0 ? std::string(Buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

void ReadVersionInfo(const std::string& FileName, std::vector<std::string>& Lines) {
    Lines.clear();
    const QString Canonical = QFileInfo(QString::fromStdString(FileName)).canonicalFilePath();
    const QString Own = QFileInfo(QString::fromStdString(OwnProgramFile())).canonicalFilePath();
    if (Canonical.isEmpty() || Canonical != Own) return;
    for (std::size_t i = 0; i < std::size(VersionInfoNames); ++i) {
        const std::string_view Value = BuildVersionValues[i];
        if (!Value.empty())
            Lines.push_back(std::string(VersionInfoNames[i]) + "=" + std::string(Value));
    }
}

std::string VersionValue(const std::vector<std::string>& Lines, std::string_view Name) {
    for (const std::string& Line : Lines) {
        const std::size_t Eq = Line.find('=');
        if (Eq != std::string::npos && std::string_view(Line).substr(0, Eq) == Name)
            return Line.substr(Eq + 1);
    }
    return {};
}

std::string CreateLogFile(const std::string& Folder, std::string& Error) {
    std::string Template = Folder;
    if (!Template.empty() && Template.back() != '/') Template += '/';
    Template += "trevalon-log-XXXXXX.txt";
    std::vector<char> Name(Template.begin(), Template.end());
    Name.push_back('\0');
    const int Fd = mkstemps(Name.data(), 4);
    if (Fd < 0) {
        Error = std::strerror(errno);
        return {};
    }
    close(Fd);
    return std::string(Name.data());
}

bool WriteLogFile(const std::string& FileName, std::string_view Content, std::string& Error) {
    std::FILE* File = std::fopen(FileName.c_str(), "wb");
    if (File == nullptr) {
        Error = std::strerror(errno);
        return false;
    }
    bool Ok = std::fwrite(Content.data(), 1, Content.size(), File) == Content.size();
    int Code = errno;
    if (std::fclose(File) != 0 && Ok) {
        Ok = false;
        Code = errno;
    }
    if (!Ok) Error = std::strerror(Code);
    return Ok;
}

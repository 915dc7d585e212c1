#pragma once

// The communication log: every byte exchanged with the host, rendered with
// RenderControlChars, one line per OMA record, with millisecond time stamps.
// TCommLog keeps the lines in memory and the caller supplies the time stamps;
// the functions below it do the file work (the log file, its viewer, the
// version strings). The window owns one TCommLog.

#include <QString>
#include <QTime>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

class TCommLog {
public:
    // Before a data entry is added the oldest lines are removed down to this.
    static constexpr std::size_t MaxLines = 750;
    enum TDirection { ldToHost, ldFromHost };

    // Header line, one line per rendered line of Data, an empty line.
    void AddData(TDirection direction, std::string_view data, std::string_view stamp);
    // Stamp + " ------------ " + Message + " ---------"; does not trim.
    void AddEndLine(std::string_view message, std::string_view stamp);
    // A line as it is; does not trim.
    void AddLine(std::string line) { FLines.push_back(std::move(line)); }

    const std::deque<std::string>& Lines() const { return FLines; }
    std::size_t Count() const { return FLines.size(); }
    void Clear() { FLines.clear(); }
    // Every line followed by CR LF: the content of the log file.
    std::string Text() const;

private:
    std::deque<std::string> FLines;
};

// "hh:nn:ss:zzz": 24-hour clock, two-digit minutes and seconds, three-digit
// milliseconds, separated by colons.
std::string FormatTimeStamp(const QTime& time);

// The version strings a program file carries, in this order, as name=value
// lines; names whose value is empty are left out. Lines is emptied first and
// stays empty for a file without version information. On Windows they come
// from the file's version resource; on POSIX the running program's own file
// carries the strings the build gave it and any other file carries none.
void ReadVersionInfo(const std::string& fileName, std::vector<std::string>& lines);
extern const char* const VersionInfoNames[13];
// The value named Name among ReadVersionInfo's lines; empty when absent.
std::string VersionValue(const std::vector<std::string>& lines, std::string_view name);

// Creates a new, uniquely named empty file in Folder for the log. Returns its
// name, or empty with the reason in Error; an empty Folder is a missing one.
std::string CreateLogFile(const std::string& folder, std::string& error);
// Replaces the content of FileName with Content. Returns false with the
// reason in Error when the file cannot be opened or written.
bool WriteLogFile(const std::string& fileName, std::string_view content, std::string& error);
// Deletes the log file; a file already gone is no fault.
void RemoveLogFile(const std::string& fileName);
// Opens the log file in the platform's text viewer without waiting (the
// desktop's default on POSIX, Notepad on Windows); returns whether it started.
bool OpenLogViewer(const QString& fileName);

// CommLogPosix.cpp and CommLogWin32.cpp hold the platform's half: the files,
// the viewer and the version strings. File names and Error texts are UTF-8.

#pragma once

// The window's side of the communication log (conversation/CommLog.h): the
// log file, its viewer, and the version strings that close the log.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "conversation/CommLog.h"

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

#pragma once

// Opening a file named in UTF-8, as every file name in the program is: POSIX
// takes the bytes as they are; Windows needs the name as UTF-16, or a folder
// named outside the system's code page (a user called Jürgen) is not found.
// Utf8FilePosix.cpp and Utf8FileWin32.cpp hold the halves.

#include <cstdio>
#include <string>
#include <string_view>

// std::fopen with a UTF-8 name; null with errno set when it cannot be opened.
std::FILE* OpenUtf8File(const std::string& fileName, const char* mode);
// Flushes file and asks the system to put its data on the disk; false with
// errno set when that fails.
bool SyncUtf8File(std::FILE* file);
// Renames from over to in one step (an existing to is replaced); false with
// errno set when it cannot.
bool ReplaceUtf8File(const std::string& from, const std::string& to);
// Deletes the file; a file already gone is no fault.
void RemoveUtf8File(const std::string& fileName);
// Replaces the content of FileName with Content. Returns false with the
// system's reason in Error when the file cannot be opened or written.
bool WriteUtf8File(const std::string& fileName, std::string_view content, std::string& error);

#pragma once

// A Windows program run as a child of the test: its standard output and
// error are collected together, its end is awaited with a deadline, and a
// child still running when the object goes is ended.

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

class TChildProcessWin32 {
public:
    // Starts Program with CommandLine (the whole line, program name first).
    TChildProcessWin32(const std::wstring& program, const std::wstring& commandLine);
    ~TChildProcessWin32();
    TChildProcessWin32(const TChildProcessWin32&) = delete;
    TChildProcessWin32& operator=(const TChildProcessWin32&) = delete;

    bool Started() const { return FProcess != nullptr; }
    DWORD Id() const { return FId; }
    // Waits for the end and for all its output; false when Deadline passed first.
    bool WaitForExit(std::chrono::milliseconds deadline);
    // The exit code once ended: the exception's code for a crash.
    DWORD ExitCode() const { return FExitCode; }
    // Everything the child wrote; complete once WaitForExit returned true.
    const std::string& Output() const { return FOutput; }

private:
    HANDLE FProcess = nullptr;
    DWORD FId = 0;
    DWORD FExitCode = STILL_ACTIVE;
    HANDLE FOutputRead = nullptr;
    std::thread FReader;
    std::string FOutput;
};

// A command-line argument quoted as CommandLineToArgvW reads it back.
std::wstring QuoteArgument(const std::wstring& argument);
// UTF-8 to UTF-16 and back.
std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);
// A Linux path as the Windows side reaches it (Wine's Z: drive).
std::wstring FromWine(const std::string& unixPath);

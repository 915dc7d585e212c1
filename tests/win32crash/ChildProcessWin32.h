#pragma once

// A Windows program run as a child of the test: its standard output and
// error are collected together, its end is awaited with a deadline, and a
// child still running when the object goes is ended. Nothing here waits for
// the output pipe to close: a process the child started can keep its writing
// end open long after the child ended (under Wine the desktop process that a
// first window starts inherits the child's standard error), so the output is
// read while it arrives and is complete once the child has ended.
// Every Windows program the tests start from inside Wine starts here, so a
// start that Wine ends before the program ran is made again in one place
// (CTest's own starts go through tests/win32/wine-launch.sh).

#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
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
    // Whether the child is still running, without waiting.
    bool Running() const;
    // The exit code once ended: the exception's code for a crash.
    DWORD ExitCode() const { return FExitCode; }
    // Everything the child wrote so far; complete once WaitForExit returned true.
    std::string Output() const;

private:
    HANDLE FProcess = nullptr;
    DWORD FId = 0;
    DWORD FExitCode = STILL_ACTIVE;
    HANDLE FOutputRead = nullptr;
    std::thread FReader;
    std::atomic<bool> FEnded{false};  // the child is gone: read what is left, then stop
    mutable std::mutex FOutputLock;
    std::string FOutput;

    void StopReading();
};

// A command-line argument quoted as CommandLineToArgvW reads it back.
std::wstring QuoteArgument(const std::wstring& argument);
// UTF-8 to UTF-16 and back.
std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);
// A Linux path as the Windows side reaches it (Wine's Z: drive).
std::wstring FromWine(const std::string& unixPath);

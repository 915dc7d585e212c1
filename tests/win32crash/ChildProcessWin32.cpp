#include "ChildProcessWin32.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// Says on standard error, and in the file TREVALON_WINE_RESTARTS names (the
// run's record of restarts, shared with the CTest launcher), that a start
// Wine ended before it ran is being made again.
void NoteRestart(const std::wstring& commandLine, DWORD error) {
    const std::string note = "ChildProcessWin32: started again: " + Utf8(commandLine) +
                             " (Wine ended it before it ran: error " + std::to_string(error) + ")";
    std::fprintf(stderr, "%s\n", note.c_str());
    std::fflush(stderr);
    const char* log = std::getenv("TREVALON_WINE_RESTARTS");
    if (log == nullptr || *log == '\0') return;
    std::ofstream(std::filesystem::path(FromWine(log)), std::ios::app) << note << "\n";
}

}  // namespace

TChildProcessWin32::TChildProcessWin32(const std::wstring& program,
                                       const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outputWrite = nullptr;
    if (!::CreatePipe(&FOutputRead, &outputWrite, &inherit, 0)) return;
    ::SetHandleInformation(FOutputRead, HANDLE_FLAG_INHERIT, 0);
    // Standard input is the null device: a program waiting for its end sees it at once.
    HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = outputWrite;
    startup.hStdError = outputWrite;
    // Wine (8.0) now and then cannot set up a new process's memory ("failed
    // to map the shared user data", an address the system placed something
    // at by chance): the process ends before its first instruction, and
    // CreateProcess fails with ERROR_INTERNAL_ERROR. Such a start is made
    // again, once, and noted; any other failure stands.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 1; attempt <= 2 && FProcess == nullptr; ++attempt) {
        PROCESS_INFORMATION info = {};
        std::wstring line = commandLine;
        if (::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             nullptr, &startup, &info)) {
            FProcess = info.hProcess;
            FId = info.dwProcessId;
            ::CloseHandle(info.hThread);
            break;
        }
        error = ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR) break;
        if (attempt == 1) NoteRestart(commandLine, error);
    }
    // The child holds the only writing end now: reading ends when it does.
    ::CloseHandle(outputWrite);
    if (input != INVALID_HANDLE_VALUE) ::CloseHandle(input);
    if (FProcess == nullptr) {
        ::CloseHandle(FOutputRead);
        FOutputRead = nullptr;
        ::SetLastError(error);
        return;
    }
    // Reads only what the pipe holds, so the reader never blocks: it stops
    // when every writer is gone or, once the child ended, when the pipe is
    // empty (a process that outlived the child may hold a writing end).
    // "Ended" is taken before the pipe is looked at: a child that writes and
    // ends between an empty look and the check would otherwise lose its
    // whole output (under load this took a crashing child's every line).
    FReader = std::thread([this] {
        char chunk[4096];
        for (;;) {
            const bool ended = FEnded;
            DWORD available = 0;
            if (!::PeekNamedPipe(FOutputRead, nullptr, 0, nullptr, &available, nullptr)) break;
            if (available == 0) {
                if (ended) break;
                ::Sleep(10);
                continue;
            }
            DWORD n = 0;
            const DWORD want = available < sizeof chunk ? available : DWORD{sizeof chunk};
            if (!::ReadFile(FOutputRead, chunk, want, &n, nullptr) || n == 0) break;
            const std::lock_guard<std::mutex> lock(FOutputLock);
            FOutput.append(chunk, n);
        }
    });
}

void TChildProcessWin32::StopReading() {
    // The child's writes are all in the pipe once it has ended.
    FEnded = true;
    if (FReader.joinable()) FReader.join();
}

bool TChildProcessWin32::Running() const {
    return FProcess != nullptr && ::WaitForSingleObject(FProcess, 0) == WAIT_TIMEOUT;
}

std::string TChildProcessWin32::Output() const {
    const std::lock_guard<std::mutex> lock(FOutputLock);
    return FOutput;
}

TChildProcessWin32::~TChildProcessWin32() {
    if (FProcess != nullptr && FExitCode == STILL_ACTIVE) {
        ::TerminateProcess(FProcess, 1);
        ::WaitForSingleObject(FProcess, 10000);
    }
    StopReading();
    if (FOutputRead != nullptr) ::CloseHandle(FOutputRead);
    if (FProcess != nullptr) ::CloseHandle(FProcess);
}

bool TChildProcessWin32::WaitForExit(std::chrono::milliseconds deadline) {
    if (FProcess == nullptr) return false;
    if (::WaitForSingleObject(FProcess, static_cast<DWORD>(deadline.count())) != WAIT_OBJECT_0)
        return false;
    ::GetExitCodeProcess(FProcess, &FExitCode);
    StopReading();
    return true;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring Wide(const std::string& text) {
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string narrow(size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                          size, nullptr, nullptr);
    return narrow;
}

std::wstring FromWine(const std::string& unixPath) {
    std::wstring path = L"Z:" + Wide(unixPath);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

// A program that fails on purpose, in functions with known names, so the
// tests can check what the next start reports. Usage:
//   fault_program FOLDER MODE
// It installs the crash handler with its dumps in FOLDER, turns dumps left by
// earlier runs into reports (one "report PATH" line each), prints "handler 1"
// or "handler 0", then does MODE. Lines marked "fault:" are where each
// failure happens; the tests read this file to find them. FOLDER is UTF-8,
// as the program hands it to the crash handler (on Windows it is read from
// the UTF-16 command line, so any folder name arrives whole).
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "crash/CrashHandler.h"
#include "crash/DumpReport.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

std::vector<std::string> Arguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 0; wide != nullptr && i < count; ++i) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? size - 1 : 0, '\0');
        if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
        arguments.push_back(text);
    }
    ::LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

int* volatile NullTarget = nullptr;
volatile int Zero = 0;
volatile bool Forever = true;

[[gnu::noinline]] void CrashByNullDereference() {
    *NullTarget = 42;  // fault: null
}

[[gnu::noinline]] void CrashByAbort() {
    std::abort();  // fault: abort
}

[[gnu::noinline]] void CrashByUncaughtException() {
    throw std::runtime_error("deliberate failure");  // fault: throw
}

[[gnu::noinline]] int CrashByStackOverflow(int depth) {
    volatile char pad[512];
    pad[0] = static_cast<char>(depth);
    if (!Forever) return pad[0];
    return CrashByStackOverflow(depth + 1) + pad[0];
}

[[gnu::noinline]] int CrashByDivisionByZero() {
    return 7 / Zero;  // fault: divide
}

[[gnu::noinline]] void CrashByIllegalInstruction() {
    __builtin_trap();  // fault: trap
}

[[gnu::noinline]] void CrashInEventHandler() {
    try {
        throw std::logic_error("not handled by anyone");
    } catch (...) {
        DieOfEscapedException("an event handler");  // fault: escaped
    }
}

// Two threads fail at the same moment.
[[gnu::noinline]] void CrashInTwoThreads() {
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) threads.emplace_back([] { CrashByNullDereference(); });
    for (std::thread& thread : threads) thread.join();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = Arguments(argc, argv);
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: fault_program FOLDER MODE\n");
        return 2;
    }
    const std::string& folder = arguments[1];
    const std::string& mode = arguments[2];
    const bool installed = InstallCrashHandler(folder, "9.8.7");
    for (const TCrashReport& report : ConvertDumps(folder, "FaultProgram")) std::cout << "report " << report.Path << "\n";
    std::cout << "handler " << (installed ? 1 : 0) << std::endl;

    if (mode == "null") CrashByNullDereference();
    if (mode == "abort") CrashByAbort();
    if (mode == "throw") CrashByUncaughtException();
    if (mode == "overflow") std::cout << CrashByStackOverflow(0) << std::endl;
    if (mode == "divide") std::cout << CrashByDivisionByZero() << std::endl;
    if (mode == "trap") CrashByIllegalInstruction();
    if (mode == "escaped") CrashInEventHandler();
    if (mode == "threads") CrashInTwoThreads();
    if (mode == "wait") {
        // Runs until its standard input closes.
        std::string line;
        while (std::getline(std::cin, line)) {
        }
    }
    RemoveCrashHandler();
    return 0;
}

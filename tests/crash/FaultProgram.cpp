// A program that fails on purpose, in functions with known names, so the
// tests can check what the next start reports. Usage:
//   fault_program FOLDER MODE
// It installs the crash handler with its dumps in FOLDER, turns dumps left by
// earlier runs into reports (one "report PATH" line each), prints "handler 1"
// or "handler 0", then does MODE. Lines marked "fault:" are where each
// failure happens; the tests read this file to find them.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "crash/CrashHandler.h"
#include "crash/DumpReport.h"

namespace {

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
    if (argc != 3) {
        std::fprintf(stderr, "usage: fault_program FOLDER MODE\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string mode = argv[2];
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

// The crash handler's Windows half, run for real: fault_program fails on
// purpose in a function with a known name; its exit code must be the
// failure's, and its next start must turn the dump into a report that names
// the failure and where it happened. Where is checked against the program's
// own symbol table (made by nm when it was built), not against the handler.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcessWin32.h"
#include "Folders.h"
#include "tests/crash/FaultOutput.h"

using namespace std::chrono_literals;

namespace {

// Generous: a child that hangs fails the test instead of the whole run.
constexpr std::chrono::milliseconds Deadline = 60s;
// The exit code of abort() in the C runtime.
constexpr DWORD AbortExitCode = 3;

struct TRun {
    bool Ended = false;
    DWORD ExitCode = 0;
    std::string Output;
};

// Runs the fault program (the built one unless Program names a copy) with
// its dumps and reports in Folder.
TRun RunFaultProgram(const std::filesystem::path& folder, const std::string& mode,
                     const std::wstring& program = FromWine(FAULT_PROGRAM)) {
    TChildProcessWin32 child(program, QuoteArgument(program) + L" " +
                                          QuoteArgument(folder.wstring()) + L" " +
                                          QuoteArgument(Wide(mode)));
    TRun run;
    EXPECT_TRUE(child.Started()) << "error " << ::GetLastError();
    run.Ended = child.WaitForExit(Deadline);
    run.ExitCode = child.ExitCode();
    run.Output = child.Output();
    return run;
}

std::string Hex(std::uint64_t value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

// A function's code as offsets from the program's load address.
struct TCodeRange {
    std::uint64_t Start = 0;
    std::uint64_t End = 0;
};

// Finds Function in the listing of fault_program (its "ImageBase" line from
// objdump, then nm's symbols): its address less the image base, up to the
// next symbol's.
std::optional<TCodeRange> RangeOf(const std::string& function) {
    std::ifstream listing(std::filesystem::path(FromWine(FAULT_PROGRAM_SYMBOLS)));
    std::map<std::uint64_t, std::string> code;
    std::optional<std::uint64_t> imageBase;
    std::string line;
    while (std::getline(listing, line)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (!(fields >> address >> type)) continue;
        if (address == "ImageBase") imageBase = std::stoull(type, nullptr, 16);
        if (!std::getline(fields >> std::ws, name)) continue;
        if (type == "t" || type == "T") code.emplace(std::stoull(address, nullptr, 16), name);
    }
    if (!imageBase) return std::nullopt;
    for (auto it = code.begin(); it != code.end(); ++it) {
        if (it->second.find("::" + function + "(") == std::string::npos) continue;
        const auto next = std::next(it);
        if (next == code.end()) return std::nullopt;
        return TCodeRange{it->first - *imageBase, next->first - *imageBase};
    }
    return std::nullopt;
}

// The frames of a report that lie in fault_program.exe ("[... + 0xoffset]"),
// each with its line.
std::vector<std::pair<std::uint64_t, std::string>> ProgramFrames(const std::string& report) {
    std::vector<std::pair<std::uint64_t, std::string>> frames;
    std::istringstream lines(report);
    std::string line;
    const std::string marker = "fault_program.exe + 0x";
    while (std::getline(lines, line)) {
        const std::size_t at = line.find(marker);
        if (line.rfind("#", 0) != 0 || at == std::string::npos) continue;
        frames.emplace_back(std::stoull(line.substr(at + marker.size()), nullptr, 16), line);
    }
    return frames;
}

struct TFault {
    const char* Mode;
    DWORD ExitCode;
    const char* Failure;   // the "What happened" line
    const char* Function;  // the function that failed
    bool ExactLine;        // the frame names the line marked "// fault: Mode"
};

const TFault Faults[] = {
    {"null", EXCEPTION_ACCESS_VIOLATION,
     "exception 0xc0000005 EXCEPTION_ACCESS_VIOLATION at address 0x0", "CrashByNullDereference",
     true},
    {"divide", EXCEPTION_INT_DIVIDE_BY_ZERO, "exception 0xc0000094 EXCEPTION_INT_DIVIDE_BY_ZERO",
     "CrashByDivisionByZero", true},
    {"trap", EXCEPTION_ILLEGAL_INSTRUCTION, "exception 0xc000001d EXCEPTION_ILLEGAL_INSTRUCTION",
     "CrashByIllegalInstruction", true},
    {"overflow", EXCEPTION_STACK_OVERFLOW, "exception 0xc00000fd EXCEPTION_STACK_OVERFLOW",
     "CrashByStackOverflow", false},
    {"abort", AbortExitCode, "signal 22 SIGABRT (abort)", "CrashByAbort", true},
    {"throw", AbortExitCode, "uncaught exception std::runtime_error: \"deliberate failure\"",
     "CrashByUncaughtException", true},
    {"escaped", AbortExitCode,
     "uncaught exception std::logic_error: \"not handled by anyone\" (escaped an event handler)",
     "CrashInEventHandler", true},
};

// The number of the first line of the fault program's source that contains
// Marker; 0 when none does.
unsigned SourceLineWith(const std::string& marker) {
    std::istringstream text(ReadWholeFile(std::filesystem::path(FromWine(FAULT_PROGRAM_SOURCE))));
    std::string line;
    for (unsigned number = 1; std::getline(text, line); ++number)
        if (line.find(marker) != std::string::npos) return number;
    return 0;
}

void PrintTo(const TFault& fault, std::ostream* out) {
    *out << fault.Mode;
}

// The report a crash in Mode leaves for the next start, checked on the way:
// the crash's exit code, one dump and no report until that start.
std::string CrashAndReport(const std::filesystem::path& folder, const char* mode, DWORD exitCode,
                           const std::wstring& program = FromWine(FAULT_PROGRAM)) {
    const TRun crashed = RunFaultProgram(folder, mode, program);
    EXPECT_TRUE(crashed.Ended) << "the failing program hung";
    EXPECT_NE(crashed.Output.find("handler 1"), std::string::npos) << crashed.Output;
    EXPECT_EQ(Hex(crashed.ExitCode), Hex(exitCode)) << crashed.Output;
    EXPECT_EQ(FilesIn(folder, L".dump").size(), 1u);
    EXPECT_TRUE(FilesIn(folder, L".txt").empty()) << "reports are made at the next start";

    const TRun next = RunFaultProgram(folder, "none", program);
    EXPECT_TRUE(next.Ended);
    EXPECT_EQ(next.ExitCode, 0u) << next.Output;
    const std::vector<std::string> reports = ReportsIn(next.Output);
    if (reports.size() != 1) {
        ADD_FAILURE() << "expected one report:\n" << next.Output;
        return {};
    }
    const std::filesystem::path path(Wide(reports[0]));
    EXPECT_EQ(path.parent_path(), folder) << reports[0];
    return ReadWholeFile(path);
}

// The report's frame in Function, named by the program's own symbol table: a
// return address lies just past its call and the failing instruction within,
// so one before it is inside. Empty, with the test failed, when there is none.
std::string FrameOfFunction(const std::string& report, const std::string& function) {
    const std::optional<TCodeRange> range = RangeOf(function);
    if (!range) {
        ADD_FAILURE() << function << " is not in " << FAULT_PROGRAM_SYMBOLS;
        return {};
    }
    for (const auto& [offset, line] : ProgramFrames(report))
        if (offset > range->Start && offset <= range->End) return line;
    ADD_FAILURE() << function << " is at " << Hex(range->Start) << ".." << Hex(range->End) << "\n"
                  << report;
    return {};
}

class TWin32FaultTest : public testing::TestWithParam<TFault> {};

TEST_P(TWin32FaultTest, NextStartReportsTheFailureAndWhereItHappened) {
    const TFault& fault = GetParam();
    TTempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string report = CrashAndReport(folder.Path(), fault.Mode, fault.ExitCode);
    ASSERT_FALSE(report.empty());
    EXPECT_NE(report.find("FaultProgram stopped unexpectedly."), std::string::npos) << report;
    EXPECT_NE(report.find("Version: 9.8.7\n"), std::string::npos) << report;
    EXPECT_NE(report.find(std::string("What happened: ") + fault.Failure + "\n"), std::string::npos)
        << report;
    EXPECT_NE(report.find("(main thread)"), std::string::npos) << report;

    const std::string frame = FrameOfFunction(report, fault.Function);
    ASSERT_FALSE(frame.empty());
    EXPECT_NE(frame.find(std::string("  (anonymous namespace)::") + fault.Function + "("),
              std::string::npos)
        << frame;
    // And its line, from the program's DWARF line table.
    if (fault.ExactLine) {
        const unsigned line = SourceLineWith(std::string("// fault: ") + fault.Mode);
        ASSERT_NE(line, 0u);
        EXPECT_NE(frame.find("FaultProgram.cpp:" + std::to_string(line)), std::string::npos)
            << "expected line " << line << "\n"
            << report;
    }

    // The dump is gone: the operator hears about it once.
    EXPECT_TRUE(FilesIn(folder.Path(), L".dump").empty());
    const TRun third = RunFaultProgram(folder.Path(), "none");
    EXPECT_TRUE(ReportsIn(third.Output).empty()) << third.Output;
    EXPECT_EQ(FilesIn(folder.Path(), L".txt").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, TWin32FaultTest, testing::ValuesIn(Faults),
                         [](const testing::TestParamInfo<TFault>& param) {
                             return std::string(param.param.Mode);
                         });

TEST(TWin32CrashReportTest, CleanExitLeavesNothing) {
    TTempFolder folder;
    const TRun run = RunFaultProgram(folder.Path(), "none");
    ASSERT_TRUE(run.Ended);
    EXPECT_NE(run.Output.find("handler 1"), std::string::npos) << run.Output;
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    EXPECT_TRUE(ReportsIn(RunFaultProgram(folder.Path(), "none").Output).empty());
}

TEST(TWin32CrashReportTest, TwoThreadsFailingAtOnceGiveOneReport) {
    TTempFolder folder;
    const std::string report = CrashAndReport(folder.Path(), "threads", EXCEPTION_ACCESS_VIOLATION);
    EXPECT_NE(
        report.find(
            "What happened: exception 0xc0000005 EXCEPTION_ACCESS_VIOLATION at address 0x0\n"),
        std::string::npos)
        << report;
    EXPECT_EQ(report.find("(main thread)"), std::string::npos) << "one of the two threads failed\n"
                                                               << report;
}

// The per-user folder holds the user's name, which is often beyond ASCII;
// the program hands it over as UTF-8.
TEST(TWin32CrashReportTest, FolderNameBeyondAsciiKeepsItsReports) {
    TTempFolder folder(L" J\u00f6rg \u03a9");
    ASSERT_FALSE(folder.Path().empty());
    const std::string report = CrashAndReport(folder.Path(), "null", EXCEPTION_ACCESS_VIOLATION);
    EXPECT_NE(report.find("What happened: exception 0xc0000005 EXCEPTION_ACCESS_VIOLATION"),
              std::string::npos)
        << report;
}

// A program installed in a folder named beyond the code page (the user's
// own programs folder, say) is still found by the next start, which reads
// the failing function's name from it.
TEST(TWin32CrashReportTest, ProgramInAFolderBeyondTheCodePageIsStillNamed) {
    TTempFolder folder;
    TTempFolder install(L" J\u00fcrgen \u03a9 \u65e5\u672c");
    ASSERT_FALSE(install.Path().empty());
    const std::filesystem::path program = install.Path() / L"fault_program.exe";
    std::error_code error;
    ASSERT_TRUE(std::filesystem::copy_file(FromWine(FAULT_PROGRAM), program, error))
        << error.message();
    const std::string report =
        CrashAndReport(folder.Path(), "null", EXCEPTION_ACCESS_VIOLATION, program.wstring());
    ASSERT_FALSE(report.empty());
    const std::string frame = FrameOfFunction(report, "CrashByNullDereference");
    EXPECT_NE(frame.find("  (anonymous namespace)::CrashByNullDereference("), std::string::npos)
        << frame << "\n"
        << report;
}

}  // namespace

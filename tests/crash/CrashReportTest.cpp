// Each failure is made in a child process (fault_program) that fails on
// purpose in a function with a known name; its next start must report the
// signal and the function, and its exit status must say it crashed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <string>

#include "ChildProcess.h"
#include "Folders.h"
#include "tests/crash/FaultOutput.h"

using namespace std::chrono_literals;

namespace {

constexpr bool SanitizedBuild = SANITIZED_BUILD;
// Generous: a child that hangs fails the test instead of the whole run.
constexpr std::chrono::milliseconds Deadline = 60s;

struct TRun {
    int Status = 0;
    std::string Output;
    bool Ended = false;
};

TRun RunFaultProgram(const std::string& folder, const std::string& mode) {
    TChildProcess child({FAULT_PROGRAM, folder, mode});
    TRun run;
    EXPECT_TRUE(child.Started());
    run.Ended = child.WaitForExit(Deadline);
    run.Status = child.Status();
    run.Output = child.Output();
    return run;
}

// Skips in builds whose sanitizer runtime keeps the fatal signals for itself
// (there the program must run without the handler); elsewhere the handler
// must be installed.
#define REQUIRE_HANDLER(output)                                                                    \
    do {                                                                                           \
        if (SanitizedBuild && (output).find("handler 0") != std::string::npos)                     \
            GTEST_SKIP() << "the sanitizer runtime handles fatal signals in this build";           \
        ASSERT_NE((output).find("handler 1"), std::string::npos) << (output);                      \
    } while (false)

struct TFault {
    const char* Mode;
    int Signal;
    const char* Failure;   // in the "What happened" line
    const char* Function;  // the function that failed
    bool ExactLine;        // the report names the marked line
};

const TFault Faults[] = {
    {"null", SIGSEGV, "signal 11 SIGSEGV (segmentation fault) at address 0x0\n", "CrashByNullDereference", true},
    {"abort", SIGABRT, "signal 6 SIGABRT (abort)\n", "CrashByAbort", true},
    {"throw", SIGABRT, "uncaught exception std::runtime_error: \"deliberate failure\"\n", "CrashByUncaughtException",
     true},
    {"overflow", SIGSEGV, "signal 11 SIGSEGV (segmentation fault) at address 0x", "CrashByStackOverflow", false},
    {"divide", SIGFPE, "signal 8 SIGFPE (arithmetic exception) at address 0x", "CrashByDivisionByZero", true},
    {"trap", SIGILL, "signal 4 SIGILL (illegal instruction) at address 0x", "CrashByIllegalInstruction", true},
    {"escaped", SIGABRT, "uncaught exception std::logic_error: \"not handled by anyone\" (escaped an event handler)\n",
     "CrashInEventHandler", true},
};

void PrintTo(const TFault& fault, std::ostream* out) {
    *out << fault.Mode;
}

class TFaultTest : public testing::TestWithParam<TFault> {};

TEST_P(TFaultTest, NextStartReportsTheFailureAndTheFunction) {
    const TFault& fault = GetParam();
    TTempFolder folder;
    const TRun crashed = RunFaultProgram(folder.Path(), fault.Mode);
    ASSERT_TRUE(crashed.Ended) << "the failing program hung";
    REQUIRE_HANDLER(crashed.Output);
    ASSERT_TRUE(WIFSIGNALED(crashed.Status)) << DescribeStatus(crashed.Status) << "\n" << crashed.Output;
    EXPECT_EQ(WTERMSIG(crashed.Status), fault.Signal);
    EXPECT_EQ(FilesIn(folder.Path(), ".dump").size(), 1u);
    EXPECT_TRUE(FilesIn(folder.Path(), ".txt").empty()) << "reports are made at the next start";

    const TRun next = RunFaultProgram(folder.Path(), "none");
    ASSERT_TRUE(next.Ended);
    EXPECT_TRUE(WIFEXITED(next.Status) && WEXITSTATUS(next.Status) == 0) << DescribeStatus(next.Status);
    const std::vector<std::string> reports = ReportsIn(next.Output);
    ASSERT_EQ(reports.size(), 1u) << next.Output;
    const std::string report = ReadWholeFile(reports[0]);
    EXPECT_NE(report.find("FaultProgram stopped unexpectedly."), std::string::npos) << report;
    EXPECT_NE(report.find("Version: 9.8.7\n"), std::string::npos) << report;
    EXPECT_NE(report.find(std::string("What happened: ") + fault.Failure), std::string::npos) << report;
    EXPECT_NE(report.find("(main thread)"), std::string::npos) << report;
    EXPECT_NE(report.find(fault.Function), std::string::npos) << report;
    if (fault.ExactLine) {
        const unsigned line = LineWith(FAULT_PROGRAM_SOURCE, std::string("// fault: ") + fault.Mode);
        ASSERT_NE(line, 0u);
        EXPECT_NE(report.find("FaultProgram.cpp:" + std::to_string(line)), std::string::npos)
            << "expected line " << line << "\n" << report;
    }
    // The dump is gone: the operator hears about it once.
    EXPECT_TRUE(FilesIn(folder.Path(), ".dump").empty());
    const TRun third = RunFaultProgram(folder.Path(), "none");
    EXPECT_TRUE(ReportsIn(third.Output).empty()) << third.Output;
    EXPECT_EQ(FilesIn(folder.Path(), ".txt").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Faults, TFaultTest, testing::ValuesIn(Faults),
                         [](const testing::TestParamInfo<TFault>& param) { return std::string(param.param.Mode); });

TEST(TCrashReportTest, ExceptionEscapingTheErrorReportIsACrash) {
    TTempFolder folder;
    TChildProcess crashed({EVENT_FAULT_PROGRAM, folder.Path()}, {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(crashed.WaitForExit(Deadline)) << "the failing program hung";
    REQUIRE_HANDLER(crashed.Output());
    ASSERT_TRUE(WIFSIGNALED(crashed.Status())) << DescribeStatus(crashed.Status()) << "\n" << crashed.Output();
    EXPECT_EQ(WTERMSIG(crashed.Status()), SIGABRT);
    TChildProcess next({EVENT_FAULT_PROGRAM, folder.Path()}, {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(next.WaitForExit(Deadline));
    const std::vector<std::string> reports = ReportsIn(next.Output());
    ASSERT_EQ(reports.size(), 1u) << next.Output();
    const std::string report = ReadWholeFile(reports[0]);
    EXPECT_NE(report.find("What happened: uncaught exception std::runtime_error: \"the report failed too\" "
                          "(escaped an event handler (QObject, event "),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("TApplication::notify"), std::string::npos) << report;
}

TEST(TCrashReportTest, CleanExitLeavesNothing) {
    TTempFolder folder;
    const TRun run = RunFaultProgram(folder.Path(), "none");
    ASSERT_TRUE(run.Ended);
    REQUIRE_HANDLER(run.Output);
    EXPECT_TRUE(WIFEXITED(run.Status) && WEXITSTATUS(run.Status) == 0) << DescribeStatus(run.Status);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    EXPECT_TRUE(ReportsIn(RunFaultProgram(folder.Path(), "none").Output).empty());
}

TEST(TCrashReportTest, TwoThreadsFailingAtOnceGiveOneReport) {
    TTempFolder folder;
    const TRun crashed = RunFaultProgram(folder.Path(), "threads");
    ASSERT_TRUE(crashed.Ended) << "the failing program hung";
    REQUIRE_HANDLER(crashed.Output);
    ASSERT_TRUE(WIFSIGNALED(crashed.Status)) << DescribeStatus(crashed.Status);
    EXPECT_EQ(WTERMSIG(crashed.Status), SIGSEGV);
    const std::vector<std::string> reports = ReportsIn(RunFaultProgram(folder.Path(), "none").Output);
    ASSERT_EQ(reports.size(), 1u);
    const std::string report = ReadWholeFile(reports[0]);
    EXPECT_NE(report.find("CrashByNullDereference"), std::string::npos) << report;
    EXPECT_EQ(report.find("(main thread)"), std::string::npos) << "one of the two threads failed\n" << report;
}

TEST(TCrashReportTest, UnwritableFolderGivesNoReportAndNoHang) {
    if (SanitizedBuild) GTEST_SKIP() << "the sanitizer runtime handles fatal signals in this build";
    TTempFolder parent;
    // A folder below a plain file cannot be made, not even by root.
    const std::string blocker = parent.Path() + "/plain-file";
    WriteWholeFile(blocker, "x");
    const std::string folder = blocker + "/reports";
    const TRun crashed = RunFaultProgram(folder, "null");
    ASSERT_TRUE(crashed.Ended) << "the failing program hung";
    EXPECT_NE(crashed.Output.find("handler 0"), std::string::npos) << crashed.Output;
    ASSERT_TRUE(WIFSIGNALED(crashed.Status)) << DescribeStatus(crashed.Status);
    EXPECT_EQ(WTERMSIG(crashed.Status), SIGSEGV);
    const TRun next = RunFaultProgram(folder, "none");
    ASSERT_TRUE(next.Ended);
    EXPECT_TRUE(WIFEXITED(next.Status) && WEXITSTATUS(next.Status) == 0) << DescribeStatus(next.Status);
    EXPECT_TRUE(ReportsIn(next.Output).empty());
    EXPECT_EQ(FilesIn(parent.Path(), ".txt").size() + FilesIn(parent.Path(), ".dump").size(), 0u);
}

TEST(TCrashReportTest, EleventhReportRemovesTheOldest) {
    TTempFolder folder;
    // Ten reports from earlier days, oldest first.
    std::vector<std::string> earlier;
    for (int day = 1; day <= 10; ++day) {
        char name[64];
        std::snprintf(name, sizeof name, "faultprogram-202001%02d-120000-100.txt", day);
        earlier.push_back(name);
        WriteWholeFile(folder.Path() + "/" + name, "an earlier report\n");
    }
    WriteWholeFile(folder.Path() + "/notes.txt", "not a report\n");
    const TRun crashed = RunFaultProgram(folder.Path(), "abort");
    ASSERT_TRUE(crashed.Ended);
    REQUIRE_HANDLER(crashed.Output);
    const std::vector<std::string> reports = ReportsIn(RunFaultProgram(folder.Path(), "none").Output);
    ASSERT_EQ(reports.size(), 1u);
    std::vector<std::string> expected(earlier.begin() + 1, earlier.end());
    expected.push_back(std::filesystem::path(reports[0]).filename().string());
    expected.push_back("notes.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(folder.Path(), ".txt"), expected);
}

}  // namespace

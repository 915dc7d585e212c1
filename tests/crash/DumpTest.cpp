// Dumps read at the next start: a real one written by fault_program, cut
// short or altered, and a dump still held by a living process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <regex>

#include "ChildProcess.h"
#include "Folders.h"
#include "crash/DumpReport.h"

using namespace std::chrono_literals;

namespace {

constexpr bool SanitizedBuild = SANITIZED_BUILD;

class TDumpTest : public testing::Test {
protected:
    // Leaves the dump of a null dereference in FFolder; false when this
    // build runs without the handler.
    bool MakeDump() {
        TChildProcess child({FAULT_PROGRAM, FFolder.Path(), "null"});
        EXPECT_TRUE(child.WaitForExit(60s));
        if (child.Output().find("handler 1") == std::string::npos) return false;
        const std::vector<std::string> dumps = FilesIn(FFolder.Path(), ".dump");
        EXPECT_EQ(dumps.size(), 1u);
        if (dumps.size() != 1) return false;
        FDumpPath = FFolder.Path() + "/" + dumps[0];
        FDump = ReadWholeFile(FDumpPath);
        return true;
    }

    void SetUp() override {
        if (!MakeDump()) {
            if (SanitizedBuild) GTEST_SKIP() << "the sanitizer runtime handles fatal signals in this build";
            FAIL() << "no dump was written";
        }
    }

    TTempFolder FFolder;
    std::string FDumpPath;
    std::string FDump;
};

TEST_F(TDumpTest, IncompleteDumpIsDeletedWithoutReport) {
    // A full disk or a second failure stopped the handler halfway.
    WriteWholeFile(FDumpPath, FDump.substr(0, FDump.size() / 2));
    EXPECT_TRUE(ConvertDumps(FFolder.Path(), "FaultProgram").empty());
    EXPECT_TRUE(std::filesystem::is_empty(FFolder.Path()));
}

TEST_F(TDumpTest, EmptyDumpOfAnEndedProcessIsDeleted) {
    WriteWholeFile(FDumpPath, "");
    EXPECT_TRUE(ConvertDumps(FFolder.Path(), "FaultProgram").empty());
    EXPECT_TRUE(std::filesystem::is_empty(FFolder.Path()));
}

TEST_F(TDumpTest, ChangedProgramIsNamedByModuleAndOffsetOnly) {
    // The program file was replaced since the crash (another inode): its
    // symbols would name the wrong functions, so frames in it keep only
    // module and offset.
    const std::string program = std::filesystem::canonical(FAULT_PROGRAM).string();
    std::istringstream lines(FDump);
    std::string changed;
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > program.size() && line.compare(line.size() - program.size(), program.size(), program) == 0) {
            // "start-end perms offset dev inode   path": the inode is the fifth field.
            std::istringstream fields(line);
            std::string range, perms, offset, device, inode;
            fields >> range >> perms >> offset >> device >> inode;
            line = range + " " + perms + " " + offset + " " + device + " 1 " + program;
        }
        changed += line + "\n";
    }
    ASSERT_NE(changed, FDump);
    WriteWholeFile(FDumpPath, changed);
    TChildProcess next({FAULT_PROGRAM, FFolder.Path(), "none"});
    ASSERT_TRUE(next.WaitForExit(60s));
    const std::vector<std::string> reports = FilesIn(FFolder.Path(), ".txt");
    ASSERT_EQ(reports.size(), 1u) << next.Output();
    const std::string report = ReadWholeFile(FFolder.Path() + "/" + reports[0]);
    EXPECT_EQ(report.find("CrashByNullDereference"), std::string::npos) << report;
    EXPECT_NE(report.find("??  [" + program + " + 0x"), std::string::npos) << report;
    // The C library did not change: its frames are still named.
    EXPECT_NE(report.find("__libc_start_main"), std::string::npos) << report;
}

TEST_F(TDumpTest, DumpOfALivingProcessIsLeftAlone) {
    TTempFolder other;
    TChildProcess running({FAULT_PROGRAM, other.Path(), "wait"});
    ASSERT_TRUE(running.WaitUntil([&] { return running.Output().find("handler 1") != std::string::npos; }, 60s))
        << running.Output();
    ASSERT_EQ(FilesIn(other.Path(), ".dump").size(), 1u);
    // Another start converting the same folder meanwhile.
    EXPECT_TRUE(ConvertDumps(other.Path(), "FaultProgram").empty());
    EXPECT_EQ(FilesIn(other.Path(), ".dump").size(), 1u);
    running.CloseInput();
    ASSERT_TRUE(running.WaitForExit(60s));
    EXPECT_TRUE(WIFEXITED(running.Status()) && WEXITSTATUS(running.Status()) == 0);
    EXPECT_TRUE(std::filesystem::is_empty(other.Path()));
}

TEST_F(TDumpTest, DumpLeftHalfConvertedIsReportedWithoutSymbols) {
    // A start that failed while converting (reading symbols) leaves the dump
    // renamed; the next start reports it by module and offset only.
    const std::string taken = FDumpPath.substr(0, FDumpPath.rfind('.')) + ".taken";
    std::filesystem::rename(FDumpPath, taken);
    const std::vector<TCrashReport> reports = ConvertDumps(FFolder.Path(), "FaultProgram", 10, SymbolResolver());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Failure, "signal 11 SIGSEGV (segmentation fault) at address 0x0");
    const std::string report = ReadWholeFile(reports[0].Path);
    EXPECT_EQ(report.find("CrashByNullDereference"), std::string::npos) << report;
    EXPECT_EQ(report.find("__libc_start_main"), std::string::npos) << report;
    EXPECT_NE(report.find("??  [" + std::filesystem::canonical(FAULT_PROGRAM).string() + " + 0x"), std::string::npos)
        << report;
    EXPECT_EQ(FilesIn(FFolder.Path(), ".taken").size(), 0u);
    EXPECT_EQ(FilesIn(FFolder.Path(), ".txt").size(), 1u);
}

TEST_F(TDumpTest, ReportListsEveryFrame) {
    const std::optional<TDump> dump = ParseDump(FDump);
    ASSERT_TRUE(dump);
    ASSERT_GE(dump->Frames.size(), 3u);  // the failing function, main, the C library's start
    const std::string report = FormatReport("FaultProgram", *dump, ModuleOnly);
    const std::regex frameLine(R"(#\d+  0x[0-9a-f]+  .*)");
    std::istringstream lines(report);
    std::size_t frames = 0;
    for (std::string line; std::getline(lines, line);) frames += std::regex_match(line, frameLine) ? 1 : 0;
    EXPECT_EQ(frames, dump->Frames.size()) << report;
    EXPECT_NE(report.find("Time: " + FormatLocalTime(dump->Time)), std::string::npos);
}

// A dump as the handler wrote it for a null dereference (the program's path
// changed, one frame outside every module added), read without the process
// that wrote it: every test here runs in any build.
class TGoldenDumpTest : public testing::Test {
protected:
    const std::string FText = ReadWholeFile(TREVALON_TEST_DATA_DIR "/data/segv.dump");
};

TEST_F(TGoldenDumpTest, FactsAndFramesAreRead) {
    const std::optional<TDump> dump = ParseDump(FText);
    ASSERT_TRUE(dump);
    EXPECT_EQ(dump->Version, "9.8.7");
    EXPECT_EQ(dump->Time, 1796647385);
    EXPECT_EQ(dump->Process, 10970u);
    EXPECT_EQ(dump->Thread, 10970u);
    EXPECT_TRUE(dump->MainThread);
    EXPECT_EQ(dump->Event, "signal 11 SIGSEGV (segmentation fault)");
    EXPECT_EQ(dump->Address, std::optional<std::uint64_t>(0));
    EXPECT_TRUE(dump->TopExact);
    EXPECT_EQ(dump->Frames, (std::vector<std::uint64_t>{0x5592812a8605, 0x5592812a8b2a, 0x7f5d6924524a,
                                                         0x7f5d69245305, 0x5592812a8531, 0x1234}));
    ASSERT_EQ(dump->Modules.size(), 11u);
    EXPECT_EQ(dump->Modules[5].Path, "/usr/lib/x86_64-linux-gnu/libc.so.6");
    EXPECT_EQ(dump->Modules[5].Id, "fe:00 332835");
    EXPECT_EQ(dump->Modules[10].Path, "[stack]");
    EXPECT_EQ(dump->Modules[10].Id, "");
}

TEST_F(TGoldenDumpTest, FramesAreNamedByModuleAndOffset) {
    const std::optional<TDump> dump = ParseDump(FText);
    ASSERT_TRUE(dump);
    // Offsets from the lowest mapping of each file, worked out by hand.
    const struct {
        const char* Module;
        std::uint64_t Offset;
    } expected[] = {{"/opt/lab/bin/labprogram", 0x6605},
                    {"/opt/lab/bin/labprogram", 0x6b2a},
                    {"/usr/lib/x86_64-linux-gnu/libc.so.6", 0x2724a},
                    {"/usr/lib/x86_64-linux-gnu/libc.so.6", 0x27305},
                    {"/opt/lab/bin/labprogram", 0x6531},
                    {"", 0}};
    ASSERT_EQ(dump->Frames.size(), std::size(expected));
    for (std::size_t i = 0; i < dump->Frames.size(); ++i) {
        const TFrameInfo info = ModuleOnly(*dump, i);
        EXPECT_EQ(info.Module, expected[i].Module) << "frame " << i;
        EXPECT_EQ(info.Offset, expected[i].Offset) << "frame " << i;
        EXPECT_TRUE(info.Function.empty());
    }
    const std::string report = FormatReport("Lab Program", *dump, ModuleOnly);
    EXPECT_NE(report.find("Lab Program stopped unexpectedly.\n\nVersion: 9.8.7\nTime: " + FormatLocalTime(1796647385) +
                          "\nWhat happened: signal 11 SIGSEGV (segmentation fault) at address 0x0\n"
                          "Thread: 10970 (main thread)\nProcess: 10970\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\n#0  0x5592812a8605  ??  [/opt/lab/bin/labprogram + 0x6605]\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\n#3  0x7f5d69245305  ??  [/usr/lib/x86_64-linux-gnu/libc.so.6 + 0x27305]\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\n#5  0x1234  ??\n"), std::string::npos) << report;
}

TEST_F(TGoldenDumpTest, EveryShorterDumpIsRefused) {
    ASSERT_TRUE(ParseDump(FText).has_value());
    for (std::size_t size = 0; size < FText.size(); ++size)
        ASSERT_FALSE(ParseDump(std::string_view(FText).substr(0, size)).has_value()) << "cut at " << size;
}

TEST_F(TGoldenDumpTest, DamagedBytesAreReadSafely) {
    // Whatever a damaged dump holds, reading and reporting it stays in bounds
    // (the sanitizer builds check that).
    for (std::size_t i = 0; i < FText.size(); ++i) {
        for (const char replacement : {'\n', ' ', '-', 'z', '\0'}) {
            std::string damaged = FText;
            damaged[i] = replacement;
            if (const std::optional<TDump> dump = ParseDump(damaged)) {
                EXPECT_FALSE(FormatReport("Lab Program", *dump, ModuleOnly).empty());
            }
        }
    }
}

TEST_F(TGoldenDumpTest, ConvertedIntoANamedReportAndTheOldestGoes) {
    TTempFolder folder;
    for (int day = 1; day <= 10; ++day) {
        char name[64];
        std::snprintf(name, sizeof name, "labprogram-202001%02d-120000-100.txt", day);
        WriteWholeFile(folder.Path() + "/" + name, "an earlier report\n");
    }
    WriteWholeFile(folder.Path() + "/1796647380-10970.dump", FText);
    const std::vector<TCrashReport> reports = ConvertDumps(folder.Path(), "LabProgram", 10, ModuleOnly);
    ASSERT_EQ(reports.size(), 1u);
    // 1796647385 is 2026-12-07 12:43:05 UTC.
    EXPECT_EQ(reports[0].Path, folder.Path() + "/labprogram-20261207-124305-10970.txt");
    EXPECT_EQ(reports[0].Time, 1796647385);
    EXPECT_EQ(reports[0].Failure, "signal 11 SIGSEGV (segmentation fault) at address 0x0");
    const std::vector<std::string> files = FilesIn(folder.Path(), ".txt");
    ASSERT_EQ(files.size(), 10u);
    EXPECT_EQ(files.front(), "labprogram-20200102-120000-100.txt");
    EXPECT_EQ(files.back(), "labprogram-20261207-124305-10970.txt");
    EXPECT_TRUE(FilesIn(folder.Path(), ".dump").empty());
}

}  // namespace

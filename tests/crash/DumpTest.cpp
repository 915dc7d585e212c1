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

TEST_F(TDumpTest, EveryShorterDumpIsRefused) {
    ASSERT_TRUE(ParseDump(FDump).has_value());
    for (std::size_t size = 0; size < FDump.size(); ++size)
        ASSERT_FALSE(ParseDump(std::string_view(FDump).substr(0, size)).has_value()) << "cut at " << size;
}

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

TEST_F(TDumpTest, DumpLeftHalfConvertedIsDropped) {
    // A start that failed while converting leaves the dump renamed; the next
    // start must not fail on it again.
    const std::string taken = FDumpPath.substr(0, FDumpPath.rfind('.')) + ".taken";
    std::filesystem::rename(FDumpPath, taken);
    EXPECT_TRUE(ConvertDumps(FFolder.Path(), "FaultProgram").empty());
    EXPECT_TRUE(std::filesystem::is_empty(FFolder.Path()));
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

}  // namespace

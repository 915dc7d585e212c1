// The communication log: its exact rendering and limits, the version lines,
// and its display from the window.
#include <QDir>
#include <QFileInfo>
#include <unistd.h>

#include <csignal>

#include "FormFixture.h"
#include "app/TerminationSignals.h"
#include "oma/OMAMach.h"

namespace {

const std::string Stamp = "14:03:27:045";

TEST(CommLog, LoneAcknowledgementAddsThreeLines) {
    TCommLog Log;
    Log.AddData(TCommLog::ldToHost, std::string(1, ACK), Stamp);
    const std::deque<std::string> Expected = {"14:03:27:045 ------------ Data To Host ---------",
                                              "14:03:27:045 <ack>", ""};
    EXPECT_EQ(Log.Lines(), Expected);
}

TEST(CommLog, PacketRendersOneLinePerRecord) {
    TCommLog Log;
    Log.AddData(TCommLog::ldFromHost, BuildPacket("REQ=INI\rOMAV=3.02\r"), Stamp);
    ASSERT_EQ(Log.Count(), 6u);  // header, 3 record lines, the GS line, empty
    EXPECT_EQ(Log.Lines()[0], "14:03:27:045 ------------ Data From Host ---------");
    EXPECT_EQ(Log.Lines()[1], "14:03:27:045 <fs>REQ=INI<cr>");
    EXPECT_EQ(Log.Lines()[2], "14:03:27:045 OMAV=3.02<cr>");
    EXPECT_EQ(Log.Lines()[3].substr(0, 21), "14:03:27:045 <rs>CRC=");
    EXPECT_EQ(Log.Lines()[4], "14:03:27:045 <gs>");
    EXPECT_EQ(Log.Lines()[5], "");
}

TEST(CommLog, EntryGrowsByItsRenderedLinesPlusTwo) {
    struct Row {
        std::string Data;
        std::size_t Added;
    } Rows[] = {
        {"A=1\rB=2\rC", 5},   // three rendered lines
        {"", 2},              // header and empty line only
        {"A=1\r\nB=2\n", 4},  // CR LF is one line end
        {"\r\r", 4},
    };
    for (const Row& R : Rows) {
        TCommLog Log;
        Log.AddData(TCommLog::ldToHost, R.Data, Stamp);
        EXPECT_EQ(Log.Count(), R.Added) << R.Data;
    }
}

TEST(CommLog, TrimsOldestLinesBeforeEachDataEntry) {
    struct Row {
        std::size_t Before, After;
    } Rows[] = {{760, 750 + 3}, {751, 750 + 3}, {750, 753}, {10, 13}};
    for (const Row& R : Rows) {
        TCommLog Log;
        for (std::size_t i = 0; i < R.Before; ++i) Log.AddLine("line " + std::to_string(i));
        Log.AddData(TCommLog::ldToHost, std::string(1, ACK), Stamp);
        EXPECT_EQ(Log.Count(), R.After) << R.Before;
        const std::size_t Removed = R.Before > 750 ? R.Before - 750 : 0;
        EXPECT_EQ(Log.Lines().front(), "line " + std::to_string(Removed));
    }
}

TEST(CommLog, EndAndPlainLinesDoNotTrim) {
    TCommLog Log;
    for (int i = 0; i < 760; ++i) Log.AddLine("x");
    Log.AddEndLine("Display Log", Stamp);
    EXPECT_EQ(Log.Count(), 761u);
    EXPECT_EQ(Log.Lines().back(), "14:03:27:045 ------------ Display Log ---------");
}

TEST(CommLog, TextEndsEveryLineWithCrLf) {
    TCommLog Log;
    Log.AddLine("a");
    Log.AddLine("");
    EXPECT_EQ(Log.Text(), "a\r\n\r\n");
}

TEST(CommLog, TimeStampFormat) {
    EXPECT_EQ(FormatTimeStamp(QTime(14, 3, 27, 45)), "14:03:27:045");
    EXPECT_EQ(FormatTimeStamp(QTime(0, 0, 0, 0)), "00:00:00:000");
    EXPECT_EQ(FormatTimeStamp(QTime(23, 59, 59, 999)), "23:59:59:999");
}

TEST(VersionInfo, OwnProgramCarriesTheNamedStringsInOrder) {
    EnsureApplication();
    std::vector<std::string> Lines{"stale"};
    ReadVersionInfo(QCoreApplication::applicationFilePath().toStdString(), Lines);
    ASSERT_FALSE(Lines.empty());
    EXPECT_EQ(Lines.front(), std::string("FileVersion=") + TREVALON_VERSION);
    std::size_t Next = 0;
    for (const std::string& Line : Lines) {
        const std::string Name = Line.substr(0, Line.find('='));
        while (Next < std::size(VersionInfoNames) && Name != VersionInfoNames[Next]) ++Next;
        ASSERT_LT(Next, std::size(VersionInfoNames)) << Line << " out of order";
        EXPECT_GT(Line.size(), Name.size() + 1) << "empty values are left out";
    }
    EXPECT_EQ(VersionValue(Lines, "ProductName"), "Trevalon");
}

TEST(VersionInfo, OtherFilesCarryNone) {
    EnsureApplication();
    std::vector<std::string> Lines{"stale"};
    ReadVersionInfo("/etc/hostname", Lines);
    EXPECT_TRUE(Lines.empty());
    ReadVersionInfo("/no/such/file", Lines);
    EXPECT_TRUE(Lines.empty());
    EXPECT_EQ(VersionValue(Lines, "FileVersion"), "");
}

class LogDisplayTest : public FormFixture {
protected:
    void ShowLogFromMenu() {
        Form->DisplayCommunicationLog1->trigger();
        Settle();
    }
};

TEST_F(LogDisplayTest, WithoutExchangeHoldsEndLineEmptyLineAndNoVersion) {
    Create();
    ShowLogFromMenu();
    ASSERT_EQ(Viewed.size(), 1u);
    EXPECT_EQ(ReadFileBytes(Viewed[0]), "14:03:27:045 ------------ Display Log ---------\r\n\r\n");
    EXPECT_EQ(Panel(0), "Display Log");
    EXPECT_EQ(TForm1Probe::EndMessage(*Form), "Display Log");
    EXPECT_EQ(TForm1Probe::State(*Form), cvIdle);
}

TEST_F(LogDisplayTest, TwoDisplaysRewriteTheSameFileAndCloseDeletesIt) {
    // A program file that is the running program carries version lines.
    const QString Link = Dir.filePath(QStringLiteral("trevalon"));
    ASSERT_TRUE(QFile::link(QCoreApplication::applicationFilePath(), Link));
    Create();
    Form->LogToHost(std::string(1, ACK));
    ShowLogFromMenu();
    ShowLogFromMenu();
    ASSERT_EQ(Viewed.size(), 2u);
    EXPECT_EQ(Viewed[0], Viewed[1]);
    EXPECT_EQ(QFileInfo(Viewed[0]).absolutePath(), QFileInfo(Dir.path()).absoluteFilePath());
    const std::string File = ReadFileBytes(Viewed[0]);
    const std::string End = "14:03:27:045 ------------ Display Log ---------\r\n";
    const std::string Version = std::string("FileVersion=") + TREVALON_VERSION + "\r\n";
    auto Count = [&](const std::string& Part) {
        int n = 0;
        for (std::size_t At = File.find(Part); At != std::string::npos;
             At = File.find(Part, At + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(Count(End), 2);
    EXPECT_EQ(Count(Version), 2);
    EXPECT_EQ(
        File.rfind(
            "14:03:27:045 ------------ Data To Host ---------\r\n14:03:27:045 <ack>\r\n\r\n" + End,
            0),
        0u);
    EXPECT_NE(File.find(End + "\r\n" + Version), std::string::npos);

    Form->close();
    EXPECT_FALSE(QFile::exists(Viewed[0]));
    EXPECT_TRUE(TForm1Probe::LogFileName(*Form).empty());
}

TEST_F(LogDisplayTest, ATerminationSignalClosesTheWindowAndDeletesTheLogFile) {
    Create();
    Form->show();
    ShowLogFromMenu();
    ASSERT_EQ(Viewed.size(), 1u);
    ASSERT_TRUE(QFile::exists(Viewed[0]));
    {
        TTerminationSignals Signals(*Form);
        ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
        EXPECT_TRUE(ProcessEventsUntil([&] { return !Form->isVisible(); }));
    }
    EXPECT_FALSE(QFile::exists(Viewed[0]));
}

TEST_F(LogDisplayTest, ViewerThatFailsToStartChangesNothing) {
    ViewerStarts = false;
    Create();
    ShowLogFromMenu();
    ASSERT_EQ(Viewed.size(), 1u);
    EXPECT_TRUE(QFile::exists(Viewed[0]));
    EXPECT_EQ(Panel(0), "Display Log");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(LogDisplayTest, LogFileThatCannotBeCreatedIsReportedAndRetried) {
    TempPath = Dir.filePath(QStringLiteral("later"));
    Create();
    ShowLogFromMenu();
    EXPECT_TRUE(Viewed.empty());
    EXPECT_EQ(Panel(0), "Cannot create the communication log file: No such file or directory");
    EXPECT_TRUE(TForm1Probe::LogFileName(*Form).empty());

    ASSERT_TRUE(QDir().mkpath(TempPath));
    ShowLogFromMenu();
    ASSERT_EQ(Viewed.size(), 1u);
    EXPECT_EQ(Panel(0), "Display Log");
    // The first display's lines were kept in memory.
    const std::string File = ReadFileBytes(Viewed[0]);
    EXPECT_EQ(File,
              "14:03:27:045 ------------ Display Log ---------\r\n\r\n"
              "14:03:27:045 ------------ Display Log ---------\r\n\r\n");
}

TEST_F(LogDisplayTest, LogFileThatCannotBeWrittenIsReportedAndRetried) {
    Create();
    ShowLogFromMenu();
    ASSERT_EQ(Viewed.size(), 1u);
    const QString Name = Viewed[0];
    // A directory in the file's place cannot be written, even by root.
    ASSERT_TRUE(QFile::remove(Name));
    ASSERT_TRUE(QDir().mkdir(Name));
    ShowLogFromMenu();
    EXPECT_EQ(Viewed.size(), 1u);
    EXPECT_EQ(Panel(0), QStringLiteral("Cannot write the communication log file ") + Name +
                            QStringLiteral(": Is a directory"));
    ASSERT_TRUE(QDir().rmdir(Name));
    ShowLogFromMenu();
    EXPECT_EQ(Viewed.size(), 2u);
    EXPECT_EQ(Viewed[1], Name);
}

TEST_F(LogDisplayTest, NoLogFileAfterCloseEvenWithAPendingDisplay) {
    Create();
    Form->DisplayCommunicationLog1->trigger();  // posted, not yet handled
    Form->close();
    Settle();
    EXPECT_TRUE(Viewed.empty());
    EXPECT_TRUE(QDir(Dir.path()).entryList({"trevalon-log-*"}).isEmpty());
}

}  // namespace

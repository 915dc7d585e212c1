// The communication log from the window: the version lines and its display.
#include <QDir>
#include <QFileInfo>
#include <unistd.h>

#include <csignal>

#include "FormFixture.h"
#include "app/TerminationSignals.h"
#include "oma/OMAMach.h"
#include "tests/support/PacketFiles.h"

namespace {

TEST(VersionInfo, OwnProgramCarriesTheNamedStringsInOrder) {
    EnsureApplication();
    std::vector<std::string> lines{"stale"};
    ReadVersionInfo(QCoreApplication::applicationFilePath().toStdString(), lines);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), std::string("FileVersion=") + TREVALON_VERSION);
    std::size_t next = 0;
    for (const std::string& line : lines) {
        const std::string name = line.substr(0, line.find('='));
        while (next < std::size(VersionInfoNames) && name != VersionInfoNames[next]) ++next;
        ASSERT_LT(next, std::size(VersionInfoNames)) << line << " out of order";
        EXPECT_GT(line.size(), name.size() + 1) << "empty values are left out";
    }
    EXPECT_EQ(VersionValue(lines, "ProductName"), "Trevalon");
}

TEST(VersionInfo, OtherFilesCarryNone) {
    EnsureApplication();
    std::vector<std::string> lines{"stale"};
    ReadVersionInfo("/etc/hostname", lines);
    EXPECT_TRUE(lines.empty());
    ReadVersionInfo("/no/such/file", lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(VersionValue(lines, "FileVersion"), "");
}

class TLogDisplayTest : public TFormFixture {
protected:
    void ShowLogFromMenu() {
        FForm->DisplayCommunicationLog1->trigger();
        Settle();
    }
};

TEST_F(TLogDisplayTest, WithoutExchangeHoldsEndLineEmptyLineAndNoVersion) {
    Create();
    ShowLogFromMenu();
    ASSERT_EQ(FViewed.size(), 1u);
    EXPECT_EQ(ReadFileBytes(FViewed[0]), "14:03:27:045 ------------ Display Log ---------\r\n\r\n");
    EXPECT_EQ(Panel(0), "Display Log");
    EXPECT_EQ(FForm->PictureMessage(), "Display Log");
    EXPECT_FALSE(FForm->Talking());
}

TEST_F(TLogDisplayTest, TwoDisplaysRewriteTheSameFileAndCloseDeletesIt) {
    // A program file that is the running program carries version lines.
    const QString link = FDir.filePath(QStringLiteral("trevalon"));
    ASSERT_TRUE(QFile::link(QCoreApplication::applicationFilePath(), link));
    Create();
    FForm->LogToHost(std::string(1, ACK));
    ShowLogFromMenu();
    ShowLogFromMenu();
    ASSERT_EQ(FViewed.size(), 2u);
    EXPECT_EQ(FViewed[0], FViewed[1]);
    EXPECT_EQ(QFileInfo(FViewed[0]).absolutePath(), QFileInfo(FDir.path()).absoluteFilePath());
    const std::string file = ReadFileBytes(FViewed[0]);
    const std::string end = "14:03:27:045 ------------ Display Log ---------\r\n";
    const std::string version = std::string("FileVersion=") + TREVALON_VERSION + "\r\n";
    auto count = [&](const std::string& part) {
        int n = 0;
        for (std::size_t at = file.find(part); at != std::string::npos;
             at = file.find(part, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(end), 2);
    EXPECT_EQ(count(version), 2);
    EXPECT_EQ(
        file.rfind(
            "14:03:27:045 ------------ Data To Host ---------\r\n14:03:27:045 <ack>\r\n\r\n" + end,
            0),
        0u);
    EXPECT_NE(file.find(end + "\r\n" + version), std::string::npos);

    FForm->close();
    EXPECT_FALSE(QFile::exists(FViewed[0]));
}

TEST_F(TLogDisplayTest, ATerminationSignalClosesTheWindowAndDeletesTheLogFile) {
    Create();
    FForm->show();
    ShowLogFromMenu();
    ASSERT_EQ(FViewed.size(), 1u);
    ASSERT_TRUE(QFile::exists(FViewed[0]));
    {
        TTerminationSignals terminationSignals(*FForm);
        ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
        EXPECT_TRUE(ProcessEventsUntil([&] { return !FForm->isVisible(); }));
    }
    EXPECT_FALSE(QFile::exists(FViewed[0]));
}

TEST_F(TLogDisplayTest, ViewerThatFailsToStartIsReportedWithTheFile) {
    FViewerStarts = false;
    Create();
    ShowLogFromMenu();
    ASSERT_EQ(FViewed.size(), 1u);
    EXPECT_TRUE(QFile::exists(FViewed[0]));
    EXPECT_EQ(Panel(0), "No viewer could be started for the communication log " + FViewed[0]);
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(TLogDisplayTest, LogFileThatCannotBeCreatedIsReportedAndRetried) {
    FTempPath = FDir.filePath(QStringLiteral("later"));
    Create();
    ShowLogFromMenu();
    EXPECT_TRUE(FViewed.empty());
    EXPECT_EQ(Panel(0), "Cannot create the communication log file: No such file or directory");

    ASSERT_TRUE(QDir().mkpath(FTempPath));
    ShowLogFromMenu();
    ASSERT_EQ(FViewed.size(), 1u);
    EXPECT_EQ(QFileInfo(FViewed[0]).absolutePath(), QFileInfo(FTempPath).absoluteFilePath());
    EXPECT_EQ(Panel(0), "Display Log");
    // The first display's lines were kept in memory.
    const std::string file = ReadFileBytes(FViewed[0]);
    EXPECT_EQ(file,
              "14:03:27:045 ------------ Display Log ---------\r\n\r\n"
              "14:03:27:045 ------------ Display Log ---------\r\n\r\n");
}

// A TMPDIR that does not exist leaves Qt no temp folder to give (an empty
// path): that is reported like a folder that cannot be written, and no file
// lands in the current folder.
TEST_F(TLogDisplayTest, AMissingTempFolderIsReportedAndNothingLandsInTheCurrentFolder) {
    const QByteArray previous = qgetenv("TMPDIR");
    const bool hadPrevious = qEnvironmentVariableIsSet("TMPDIR");
    ASSERT_TRUE(qputenv("TMPDIR", FDir.filePath(QStringLiteral("gone")).toLocal8Bit()));
    const QStringList before =
        QDir::current().entryList({QStringLiteral("trevalon-log-*")}, QDir::Files);
    std::string error;
    const std::string name = CreateLogFile(QDir::tempPath().toStdString(), error);
    const QStringList after =
        QDir::current().entryList({QStringLiteral("trevalon-log-*")}, QDir::Files);
    if (hadPrevious)
        qputenv("TMPDIR", previous);
    else
        qunsetenv("TMPDIR");
    EXPECT_EQ(name, "");
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(after, before);
}

TEST_F(TLogDisplayTest, LogFileThatCannotBeWrittenIsReportedAndRetried) {
    Create();
    ShowLogFromMenu();
    ASSERT_EQ(FViewed.size(), 1u);
    const QString name = FViewed[0];
    // A directory in the file's place cannot be written, even by root.
    ASSERT_TRUE(QFile::remove(name));
    ASSERT_TRUE(QDir().mkdir(name));
    ShowLogFromMenu();
    EXPECT_EQ(FViewed.size(), 1u);
    EXPECT_EQ(Panel(0), QStringLiteral("Cannot write the communication log file ") + name +
                            QStringLiteral(": Is a directory"));
    ASSERT_TRUE(QDir().rmdir(name));
    ShowLogFromMenu();
    EXPECT_EQ(FViewed.size(), 2u);
    EXPECT_EQ(FViewed[1], name);
}

TEST_F(TLogDisplayTest, NoLogFileAfterCloseEvenWithAPendingDisplay) {
    Create();
    FForm->DisplayCommunicationLog1->trigger();  // posted, not yet handled
    FForm->close();
    Settle();
    EXPECT_TRUE(FViewed.empty());
    EXPECT_TRUE(QDir(FDir.path()).entryList({"trevalon-log-*"}).isEmpty());
}

}  // namespace

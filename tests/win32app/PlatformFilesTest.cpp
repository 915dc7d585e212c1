// The Windows halves of the log file, the version strings and the end of the
// session, on Wine's file system and window messages.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>
#include <string>
#include <vector>

#include "app/CommLog.h"
#include "app/TerminationSignals.h"
#include "base/NameValueList.h"
#include "tests/win32app/WindowFixture.h"

namespace {

std::string Utf8(const QString& text) { return text.toStdString(); }

// trevalon.exe of this build, beside the test's own folder.
QString ProgramExe() {
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../../app"))
        .absoluteFilePath(QStringLiteral("trevalon.exe"));
}

class TPlatformFiles : public ::testing::Test {
protected:
    TPlatformFiles() { EnsureApplication(); }
};

TEST_F(TPlatformFiles, VersionStringsComeFromTheProgramsResource) {
    ASSERT_TRUE(QFileInfo::exists(ProgramExe())) << ProgramExe().toStdString();
    std::vector<std::string> lines{"left over"};
    ReadVersionInfo(Utf8(ProgramExe()), lines);
    const std::vector<std::string> expected = {
        "FileVersion=" TREVALON_VERSION,
        "CompanyName=VORMIK",
        "FileDescription=Trevalon frame shape editor for OMA hosts",
        "InternalName=Trevalon",
        "OriginalFileName=trevalon.exe",
        "ProductName=Trevalon",
        "ProductVersion=" TREVALON_VERSION,
        "CurrentProgramVersion=" TREVALON_VERSION,
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(VersionValue(lines, "FileVersion"), TREVALON_VERSION);
}

TEST_F(TPlatformFiles, FilesWithoutVersionStringsGiveNone) {
    std::vector<std::string> lines{"left over"};
    // The test program itself carries no version resource.
    ReadVersionInfo(Utf8(QCoreApplication::applicationFilePath()), lines);
    EXPECT_TRUE(lines.empty());
    lines = {"left over"};
    ReadVersionInfo(Utf8(QDir::tempPath() + QStringLiteral("/no-such-program.exe")), lines);
    EXPECT_TRUE(lines.empty());
}

// A folder named in several scripts: the file API must get it as it is.
TEST_F(TPlatformFiles, LogFileIsMadeWrittenAndRemovedInAFolderOfAnyName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("Protokoll J\u00fcrgen \u65e5\u672c"));
    ASSERT_TRUE(QDir().mkpath(folder));

    std::string error;
    const std::string first = CreateLogFile(Utf8(folder), error);
    ASSERT_FALSE(first.empty()) << error;
    const std::string second = CreateLogFile(Utf8(folder), error);
    ASSERT_FALSE(second.empty()) << error;
    EXPECT_NE(first, second);
    const QFileInfo made(QString::fromStdString(first));
    EXPECT_TRUE(made.exists());
    EXPECT_EQ(made.absolutePath(), QFileInfo(folder).absoluteFilePath());
    EXPECT_EQ(made.size(), 0);

    std::string content = "12:00:00:000 ------------ Data To Host ---------\r\n";
    content += std::string("\xb5\x1c\x1d\r\n", 5);  // bytes, not text
    content += std::string(3 << 20, 'R');           // more than one write
    ASSERT_TRUE(WriteLogFile(first, content, error)) << error;
    QFile file(QString::fromStdString(first));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().toStdString() == content);
    file.close();
    // Written again, the file holds only the new content.
    ASSERT_TRUE(WriteLogFile(first, "short", error)) << error;
    EXPECT_EQ(QFileInfo(QString::fromStdString(first)).size(), 5);

    RemoveLogFile(first);
    RemoveLogFile(second);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(first)));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(second)));
    RemoveLogFile(first);  // already gone: nothing happens
}

TEST_F(TPlatformFiles, LogFileInAMissingFolderFailsWithTheSystemsWords) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string error;
    EXPECT_EQ(CreateLogFile(Utf8(dir.filePath(QStringLiteral("missing"))), error), "");
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(CreateLogFile("", error), "");
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    error.clear();
    EXPECT_FALSE(WriteLogFile(Utf8(dir.filePath(QStringLiteral("missing/log.txt"))), "x", error));
    EXPECT_FALSE(error.empty());
}

// A portable copy unzipped into a user's folder keeps its settings beside it.
TEST_F(TPlatformFiles, SettingsFileInAFolderOfAnyNameIsWrittenAndReadBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("J\u00fcrgen \u0141\u00f3d\u017a"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::string name = Utf8(folder + QStringLiteral("/trevalon.dat"));

    TNameValueList written;
    written.Add("Port=COM28");
    written.Add("BaudRate=9600");
    ASSERT_NO_THROW(written.SaveToFile(name));
    QFile file(QString::fromStdString(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "Port=COM28\r\nBaudRate=9600\r\n");
    file.close();

    TNameValueList read;
    ASSERT_TRUE(read.LoadFromFile(name));
    EXPECT_EQ(read.Value("baudrate"), "9600");
    EXPECT_EQ(read.Strings(), written.Strings());

    // A folder that is not there: no file, and the reason names it.
    const std::string missing = Utf8(folder + QStringLiteral("/missing/trevalon.dat"));
    EXPECT_FALSE(read.LoadFromFile(missing));
    try {
        written.SaveToFile(missing);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + missing + "\". ", 0), 0u)
            << e.what();
    }
}

TEST_F(TPlatformFiles, TheEndOfTheSessionClosesTheWindowTheOrdinaryWay) {
    QWidget window;
    window.show();
    // On screen, as a window is when the session ends.
    ASSERT_TRUE(ProcessEventsUntil([&] {
        return window.windowHandle() != nullptr && window.windowHandle()->isExposed();
    }, 10s)) << "after 10 s the window " << (window.windowHandle() == nullptr ? "has no native window"
                                            : window.isVisible() ? "is visible but not exposed"
                                                                 : "is hidden");
    const auto hwnd = reinterpret_cast<HWND>(window.winId());
    {
        TTerminationSignals handling(window);
        EXPECT_THROW(TTerminationSignals second(window), std::logic_error);
        // The system asks first; a session end that was called off changes nothing.
        ::SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0);
        ::SendMessageW(hwnd, WM_ENDSESSION, FALSE, 0);
        QCoreApplication::processEvents();
        EXPECT_TRUE(window.isVisible());
        ::SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0);
        ::SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
        EXPECT_FALSE(window.isVisible());  // closed before the message is answered
    }
    // Once it is gone, the next window can have its own.
    EXPECT_NO_THROW(TTerminationSignals again(window));
}

}  // namespace

// What the window tells the operator when an action cannot start: a request or
// a store on a closed port, a log or help file that no viewer opens, a help
// file that is missing; and where an installed program finds its files.
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <cerrno>
#include <cstring>

#include "FormFixture.h"
#include "app/ProgramFiles.h"
#include "settings/Settings.h"

namespace {

using TOperatorMessagesTest = TFormFixture;

const std::string WhatToDo = ". Choose a port in Settings.";

TEST_F(TOperatorMessagesTest, RequestAndStoreOnAClosedPortSayWhyAndWhatToDo) {
    const std::string missing = FDir.filePath("no-such-device").toStdString();
    struct TRow {
        const char* What;
        std::string Settings;  // empty: no settings file
        std::string Reason;
        bool ReportsAtStart;   // the configuration's error reaches the error report
    } rows[] = {
        {"no settings file", "", "no port is chosen", false},
        {"a port that cannot be opened",
         "Port=" + missing + "\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n",
         "Unable to open " + missing + ": " + std::strerror(ENOENT), false},
        {"a baud rate that is not a number",
         "Port=COM5\r\nBaudRate=fast\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n",
         SettingsFile().toStdString() + ": BaudRate=fast is not a number", true},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.What);
        QFile::remove(SettingsFile());
        if (!row.Settings.empty()) WriteSettings(row.Settings);
        FErrors.clear();
        FViewed.clear();
        Create();
        EXPECT_EQ(FErrors.size(), row.ReportsAtStart ? 1U : 0U);
        FErrors.clear();
        ASSERT_FALSE(FForm->COMPort->Active());

        FForm->TrayEdit->setText("1234");
        FForm->ReqButton->click();
        Settle();
        const std::string expected = "The serial port is not open: " + row.Reason + WhatToDo;
        EXPECT_EQ(Panel(0).toStdString(), expected);
        EXPECT_EQ(FForm->PictureMessage(), expected);  // drawn on the picture
        EXPECT_TRUE(FErrors.empty()) << (FErrors.empty() ? "" : FErrors.front());
        EXPECT_TRUE(FViewed.empty());  // nothing was exchanged: no log to show
        EXPECT_FALSE(FForm->Talking());
        EXPECT_TRUE(FForm->ReqButton->isEnabled());
        EXPECT_FALSE(FForm->TimeoutTimer->isActive());
        // The port's own text of the failed send stays in the log: the last
        // entry before the display's own end line.
        const std::vector<std::string> log = ShownLog();
        ASSERT_GE(log.size(), 2u);
        EXPECT_NE(log[0].find(" ------------ Operation failed: "), std::string::npos) << log[0];
        EXPECT_NE(log[1].find(" ------------ Display Log "), std::string::npos) << log[1];

        // Save Shape of a preset shape says the same.
        FForm->Circle1->trigger();
        Settle();
        ASSERT_TRUE(FForm->SaveButton->isEnabled());
        FForm->ShowStatus("", 0);
        FForm->SaveButton->click();
        Settle();
        EXPECT_EQ(Panel(0).toStdString(), expected);
        EXPECT_TRUE(FErrors.empty());
        FForm.reset();
    }
}

TEST_F(TOperatorMessagesTest, ALogNoViewerOpensIsReportedWithItsPath) {
    FViewerStarts = false;
    Create();
    FForm->DisplayCommunicationLog1->trigger();
    Settle();
    ASSERT_EQ(FViewed.size(), 1U);
    const std::string logFile = FViewed.front().toStdString();
    EXPECT_TRUE(QFileInfo::exists(FViewed.front()));
    EXPECT_EQ(QFileInfo(FViewed.front()).absolutePath(), QFileInfo(FDir.path()).absoluteFilePath());
    EXPECT_EQ(Panel(0).toStdString(), "No viewer could be started for the communication log " + logFile);
    EXPECT_TRUE(FErrors.empty());

    // A viewer that starts leaves the end message in the panel.
    FViewerStarts = true;
    FForm->DisplayCommunicationLog1->trigger();
    Settle();
    EXPECT_EQ(Panel(0), "Display Log");
}

// The help file is looked for beside the program, then where an installed
// program keeps it; the operator learns when it is missing or cannot be shown.
TEST_F(TOperatorMessagesTest, HelpFileBesideOrInstalledAndItsFailures) {
    const QString root = FDir.path();
    const QString besideHelp = root + "/bin/trevalon.html";
    const QString installedHelp = root + "/share/trevalon/trevalon.html";
    ASSERT_TRUE(QDir().mkpath(root + "/bin"));
    ASSERT_TRUE(QDir().mkpath(root + "/share/trevalon"));
    const std::string program = (root + "/bin/trevalon").toStdString();
    EXPECT_EQ(HelpFileCandidates(program),
              (std::vector<std::string>{besideHelp.toStdString(), installedHelp.toStdString()}));

    struct TRow {
        const char* What;
        bool Beside, Installed, ViewerStarts;
        QString Opened;  // empty: none
        std::string Status;
    } rows[] = {
        {"neither", false, false, true, {},
         "Cannot find the help file " + besideHelp.toStdString() + " or " +
             installedHelp.toStdString()},
        {"installed only", false, true, true, installedHelp, ""},
        {"both: the one beside wins", true, true, true, besideHelp, ""},
        {"viewer fails", true, false, false, besideHelp,
         "No viewer could be started for the help file " + besideHelp.toStdString()},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.What);
        QFile::remove(besideHelp);
        QFile::remove(installedHelp);
        if (row.Beside) {
            ASSERT_TRUE(WriteFileBytes(besideHelp, "<html></html>"));
        }
        if (row.Installed) {
            ASSERT_TRUE(WriteFileBytes(installedHelp, "<html></html>"));
        }
        FViewed.clear();
        FViewerStarts = row.ViewerStarts;
        THooks hooks = Hooks();
        hooks.ProgramFile = program;
        FForm = std::make_unique<TForm1>(std::move(hooks));
        Settle();
        FForm->HelpButton->click();
        Settle();
        if (row.Opened.isEmpty()) {
            EXPECT_TRUE(FViewed.empty());
        } else {
            ASSERT_EQ(FViewed.size(), 1U);
            EXPECT_EQ(FViewed.front(), row.Opened);
        }
        EXPECT_EQ(Panel(0).toStdString(), row.Status);
        EXPECT_TRUE(FErrors.empty());
        FForm.reset();
    }
}

// Without a replacement the desktop's handler of file URLs gets the help file.
TEST_F(TOperatorMessagesTest, HelpGoesToTheDesktopsFileHandler) {
    const QString helpFile = FDir.filePath(QStringLiteral("trevalon.html"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TREVALON_TEST_DATA_DIR "/../../app/help/trevalon.html"),
                            helpFile));
    THooks hooks = Hooks();
    hooks.OpenViewer = nullptr;
    FForm = std::make_unique<TForm1>(std::move(hooks));
    Settle();
    QTextBrowser viewer;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &viewer, "setSource");
    FForm->HelpButton->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(viewer.source(), QUrl::fromLocalFile(helpFile));
    EXPECT_TRUE(viewer.toPlainText().contains(QStringLiteral("Trevalon Help")));
    EXPECT_EQ(Panel(0), "");
    EXPECT_TRUE(FErrors.empty());
}

// A program whose folder does not exist for writing (an installed one) reads
// and writes its settings in the user's configuration folder.
TEST_F(TOperatorMessagesTest, InstalledProgramKeepsItsSettingsInTheUserConfigFolder) {
    const QString config = FDir.filePath("config");
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    const bool hadPrevious = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    struct TRestore {
        QByteArray Value;
        bool Had;
        ~TRestore() {
            if (Had)
                qputenv("XDG_CONFIG_HOME", Value);
            else
                qunsetenv("XDG_CONFIG_HOME");
        }
    } restore{previous, hadPrevious};

    const std::string program = "/nonexistent-trevalon-folder/bin/trevalon";
    const QString settingsFile = config + "/trevalon/trevalon.dat";
    auto create = [&] {
        THooks hooks = Hooks();
        hooks.ProgramFile = program;
        hooks.ShowSettingsModal = [](TSettingsForm& dialog) {
            dialog.COMPortComboBox->setEditText("COM5");
            dialog.BitBtn1->click();
            return dialog.result();
        };
        FForm = std::make_unique<TForm1>(std::move(hooks));
        Settle();
    };

    create();
    EXPECT_EQ(FForm->SettingsFileName(), settingsFile.toStdString());
    EXPECT_EQ(Panel(0), "");  // no file yet: defaults, port closed
    FForm->SettingsButton->click();  // OK writes the file, creating its folder
    Settle();
    EXPECT_EQ(ReadFileBytes(settingsFile),
              "BaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPoints=512\r\n"
              "Port=COM5\r\nPauseMode=N\r\n");
    EXPECT_EQ(Panel(0), "Ready");
    FForm.reset();

    // The next start reads it back and opens the port.
    create();
    EXPECT_EQ(Panel(0), "Ready");
    EXPECT_TRUE(FForm->COMPort->Active());
    EXPECT_TRUE(FErrors.empty());
}

}  // namespace

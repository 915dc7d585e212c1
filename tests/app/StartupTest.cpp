// Start-up, port configuration, the Settings button and the window's layout.
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QMenu>

#include "FormFixture.h"
#include "app/ValueEdit.h"
#include "settings/Settings.h"

namespace {

class TStartupTest : public TFormFixture {
protected:
    // The dialog is answered with OK after Prepare has set its controls.
    void AnswerOk(std::function<void(TSettingsForm&)> prepare = {}) {
        FRunDialog = [this, prepare](TSettingsForm& dialog) {
            ++FDialogRuns;
            FPortOpenDuringDialog = FForm->COMPort->Active();
            FShownPorts.clear();
            for (int i = 0; i < dialog.COMPortComboBox->count(); ++i)
                FShownPorts.push_back(dialog.COMPortComboBox->itemText(i));
            if (prepare) prepare(dialog);
            dialog.BitBtn1->click();
            return dialog.result();
        };
    }

    void PressSettings() {
        FForm->SettingsButton->click();
        Settle();
    }

    int FDialogRuns = 0;
    bool FPortOpenDuringDialog = true;
    QStringList FShownPorts;
};

TEST_F(TStartupTest, FirstStartWithoutSettingsFile) {
    Create();
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(Panel(2), "Ver ");  // this program file has no version information
    EXPECT_FALSE(FForm->COMPort->Active());
    EXPECT_FALSE(FForm->ReqButton->isEnabled());
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
    EXPECT_TRUE(FForm->SettingsButton->isEnabled());
    EXPECT_FALSE(QFile::exists(SettingsFile()));  // nothing written
    FForm->TrayEdit->setText("1234");
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    FForm->TrayEdit->clear();
    EXPECT_FALSE(FForm->ReqButton->isEnabled());
    EXPECT_TRUE(FErrors.empty());

    // The defaults the window holds: OK in the dialog writes them as they
    // are, the dialog's own settings after them.
    AnswerOk();
    PressSettings();
    EXPECT_EQ(ReadFileBytes(SettingsFile())
                  .rfind("BaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPoints=512\r\n", 0),
              0u)
        << ReadFileBytes(SettingsFile());
}

TEST_F(TStartupTest, VersionOfTheProgramFileInPanelTwo) {
    ASSERT_TRUE(QFile::link(QCoreApplication::applicationFilePath(), ProgramFile()));
    Create();
    EXPECT_EQ(Panel(2), QStringLiteral("Ver ") + QStringLiteral(TREVALON_VERSION));
    // The whole text is shown, not cut off at the panel's edge: the last panel
    // runs on to the bar's right edge.
    FForm->show();
    const QLabel* version = FForm->StatusBar1->Panel(2);
    EXPECT_EQ(version->x(), 250);
    EXPECT_EQ(version->geometry().right(), FForm->StatusBar1->width() - 3);
    const int room = version->contentsRect().width() - version->indent();
    EXPECT_GE(room, version->fontMetrics().horizontalAdvance(Panel(2))) << room;
}

TEST_F(TStartupTest, GoodPortIsReady) {
    WriteSettings(PortSettings);
    Create();
    EXPECT_EQ(Panel(0), "Ready");
    EXPECT_TRUE(FForm->COMPort->Active());
    EXPECT_EQ(FForm->COMPort->Port(), "COM5");
    EXPECT_EQ(FForm->COMPort->BaudRate(), 9600);
    EXPECT_EQ(BaudRateOf(FHost.LineSettings()), 9600);
}

TEST_F(TStartupTest, PortSettingsAreTranslated) {
    struct TRow {
        std::string Parity, StopBits;
        TParityBits ParityBits;
        TStopBits Stop;
    } rows[] = {
        {"Even", "2", prEven, sbTwoStopBits},
        {"Odd", "1.5", prOdd, sbOne5StopBits},
        {"even", "1", prNone, sbOneStopBit},  // compared exactly
        {"Mark", "two", prNone, sbOneStopBit},
    };
    for (const TRow& r : rows) {
        WriteSettings("Port=COM5\r\nBaudRate=38400\r\nParity=" + r.Parity +
                      "\r\nDataBits=7\r\nStopBits=" + r.StopBits + "\r\n");
        Create();
        EXPECT_EQ(FForm->COMPort->Parity().Bits(), r.ParityBits) << r.Parity;
        EXPECT_EQ(FForm->COMPort->StopBits(), r.Stop) << r.StopBits;
        EXPECT_EQ(FForm->COMPort->DataBits(), 7);
        EXPECT_EQ(FForm->COMPort->BaudRate(), 38400);
        FForm.reset();
    }
}

TEST_F(TStartupTest, PortThatCannotBeOpenedShowsTheComponentsMessage) {
    FNames.Add("COM77", FDir.filePath(QStringLiteral("missing")).toStdString());
    WriteSettings("Port=COM77\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n");
    Create();
    EXPECT_EQ(Panel(0), "Unable to open COM77: No such file or directory");
    EXPECT_FALSE(FForm->COMPort->Active());
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(TStartupTest, HeldPortShowsTheComponentsMessage) {
    TComPort holder(WithQtOwner(FNames.PortHooks()));
    holder.SetPort("COM5");
    holder.SetActive(true);
    WriteSettings(PortSettings);
    Create();
    EXPECT_EQ(Panel(0).left(18), "Unable to open COM");
    EXPECT_TRUE(Panel(0).startsWith("Unable to open COM5: ")) << Panel(0).toStdString();
    EXPECT_FALSE(FForm->COMPort->Active());
}

// A value the port cannot use names the settings file, the key and the value,
// and the port stays closed.
TEST_F(TStartupTest, AnUnusableSettingNamesTheFileTheKeyAndTheValue) {
    const std::string file = SettingsFile().toStdString();
    const struct {
        const char* Settings;
        std::string Error;
    } rows[] = {
        {"Port=COM5\r\nBaudRate=fast\r\nDataBits=8\r\n", file + ": BaudRate=fast is not a number"},
        {"Port=COM5\r\nBaudRate=0\r\n", file + ": BaudRate=0 is not a line speed in baud"},
        {"Port=COM5\r\nDataBits=eight\r\n", file + ": DataBits=eight is not a number"},
        {"Port=COM5\r\nDataBits=9\r\n", file + ": DataBits=9 is not 5, 6, 7 or 8 data bits"},
        {"Port=http://127.0.0.1:80\r\n",
         file + ": Port=http://127.0.0.1:80: unknown scheme http:// (a network host is "
                "socket://HOST:PORT or rfc2217://HOST:PORT)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Settings);
        FErrors.clear();
        WriteSettings(row.Settings);
        Create();
        EXPECT_EQ(FErrors, std::vector<std::string>{row.Error});
        EXPECT_FALSE(FForm->COMPort->Active());
        EXPECT_EQ(Panel(0), "");
        FForm.reset();
    }
}

// A key the file leaves out takes its default, as without a file (the other
// values are ones a pseudo-terminal takes; every key's default is read in the
// session's own tests).
TEST_F(TStartupTest, AMissingLineSettingTakesItsDefault) {
    for (const char* missing : {"BaudRate", "DataBits", "Parity", "StopBits"}) {
        SCOPED_TRACE(missing);
        std::string settings = "Port=COM5\r\n";
        for (const auto& [key, value] : {std::pair{"BaudRate", "38400"}, std::pair{"Parity", "None"},
                                         std::pair{"DataBits", "8"}, std::pair{"StopBits", "1"}})
            if (std::string(key) != missing) settings += std::string(key) + "=" + value + "\r\n";
        FErrors.clear();
        WriteSettings(settings);
        Create();
        EXPECT_TRUE(FErrors.empty()) << FErrors.front();
        EXPECT_TRUE(FForm->COMPort->Active());
        EXPECT_EQ(Panel(0), "Ready");
        EXPECT_EQ(FForm->COMPort->BaudRate(), std::string(missing) == "BaudRate" ? 9600 : 38400);
        EXPECT_EQ(FForm->COMPort->DataBits(), 8);
        FForm.reset();
    }
}

TEST_F(TStartupTest, CancelReopensThePortWithTheSameSettings) {
    WriteSettings(PortSettings);
    Create();
    FForm->Circle1->trigger();
    ASSERT_FALSE(Received().Radii.empty());
    FRunDialog = [this](TSettingsForm& dialog) {
        ++FDialogRuns;
        FPortOpenDuringDialog = FForm->COMPort->Active();
        for (int i = 0; i < dialog.COMPortComboBox->count(); ++i)
            FShownPorts.push_back(dialog.COMPortComboBox->itemText(i));
        dialog.BitBtn2->click();
        return dialog.result();
    };
    FForm->ShowStatus("", 0);
    PressSettings();
    EXPECT_EQ(FDialogRuns, 1);
    EXPECT_FALSE(FPortOpenDuringDialog);
    EXPECT_TRUE(FShownPorts.contains("COM5"));  // the window's own port, closed first
    EXPECT_EQ(Panel(0), "Ready");
    EXPECT_TRUE(FForm->COMPort->Active());
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_EQ(ReadFileBytes(SettingsFile()), PortSettings);
}

// The dialog's port list opens every name through the window's own port hooks,
// so what each probe reaches is decided there (here: pseudo-terminals, or
// nothing), never the machine's own serial devices.
TEST_F(TStartupTest, SettingsDialogProbesOnlyThroughTheWindowsPortHooks) {
    TPtyHost com3;
    FNames.Add("COM3", com3.SlavePath());
    Create();
    FPortsAsked.clear();
    AnswerOk();
    PressSettings();
    ASSERT_EQ(FDialogRuns, 1);
    std::vector<std::string> probes;
    for (int n = 1; n <= 99; ++n) probes.push_back("COM" + std::to_string(n));
    ASSERT_GE(FPortsAsked.size(), probes.size());
    EXPECT_EQ(std::vector<std::string>(FPortsAsked.begin(), FPortsAsked.begin() + 99), probes);
    EXPECT_EQ(FShownPorts, QStringList({"COM3", "COM5"}));
}

// Paths are not single-byte text: a program in a folder with letters beyond
// ASCII names its help file as it is in the report, and still finds its
// settings file there.
TEST_F(TStartupTest, AFolderNamedBeyondAsciiIsShownAsItIs) {
    FProgramDir = FDir.filePath(QStringLiteral("Lab \u00C4rzte \u6A21\u578B"));
    ASSERT_TRUE(QDir().mkpath(FProgramDir));
    WriteSettings(PortSettings);
    Create();
    EXPECT_EQ(Panel(0), "Ready");
    FForm->HelpButton->click();
    EXPECT_TRUE(FErrors.empty());
    EXPECT_EQ(Panel(0), "Cannot find the help file " + FProgramDir + "/trevalon.html or " +
                            FDir.path() + "/share/trevalon/trevalon.html");
}

// The log file's name in a folder beyond ASCII reaches the viewer and the
// status bar as it is.
TEST_F(TStartupTest, ALogFileInAFolderBeyondAsciiIsNamedAsItIs) {
    FTempPath = FDir.filePath(QStringLiteral("Protokoll \u00DCbung \u65E5\u5FD7"));
    ASSERT_TRUE(QDir().mkpath(FTempPath));
    Create();
    FForm->DisplayCommunicationLog1->trigger();
    Settle();
    ASSERT_EQ(FViewed.size(), 1u);
    const QString name = FViewed[0];
    EXPECT_TRUE(name.startsWith(FTempPath + u'/')) << name.toStdString();
    EXPECT_TRUE(QFile::exists(name));
    // A directory in the file's place cannot be written: the message names it.
    ASSERT_TRUE(QFile::remove(name));
    ASSERT_TRUE(QDir().mkdir(name));
    FForm->DisplayCommunicationLog1->trigger();
    Settle();
    EXPECT_EQ(Panel(0), QStringLiteral("Cannot write the communication log file ") + name +
                            QStringLiteral(": Is a directory"));
    EXPECT_EQ(Hint(), Panel(0));
    ASSERT_TRUE(QDir().rmdir(name));
}

// Qt adds an application display name, after a dash, to every other
// window's title on the desktop; those titles must read as they are given
// ("Find Host", "Settings"), so the display name is left unset.
TEST_F(TStartupTest, OtherWindowsTitlesGetNothingAdded) {
    Create();
    EXPECT_EQ(FForm->windowTitle(), "Trevalon");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

TEST_F(TStartupTest, FirstStartThenOkWritesTheSixLines) {
    Create();
    AnswerOk();
    PressSettings();
    EXPECT_EQ(ReadFileBytes(SettingsFile()),
              "BaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPoints=512\r\n"
              "PauseMode=N\r\n");
    // No Port key: the port cannot be opened, with the component's message.
    EXPECT_TRUE(Panel(0).startsWith("Unable to open : ")) << Panel(0).toStdString();
}

TEST_F(TStartupTest, ChosenPortAndTracerModeTakeTheirPlaces) {
    Create();
    AnswerOk([](TSettingsForm& dialog) {
        dialog.COMPortComboBox->setEditText("COM5");
        dialog.TracerModeComboBox->setCurrentIndex(1);
    });
    PressSettings();
    EXPECT_EQ(ReadFileBytes(SettingsFile()),
              "BaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPoints=512\r\n"
              "Port=COM5\r\nTracerMode=No Init\r\nPauseMode=N\r\n");
    EXPECT_EQ(Panel(0), "Ready");
}

TEST_F(TStartupTest, FileRoundTripsThroughTheDialog) {
    struct TRow {
        const char* Name;
        std::string File;
        QString ShownParity;
        std::string Written;
    } rows[] = {
        {"lower-case key is found and rewritten",
         "port=COM5\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n", "None",
         "Port=COM5\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPauseMode="
         "N\r\n"},
        {"spaced key does not match",
         "Port = COM2\r\nPort=COM5\rBaudRate=9600\nParity=None\r\nDataBits=8\r\nStopBits=1", "None",
         "Port = COM2\r\nPort=COM5\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n"
         "PauseMode=N\r\n"},
        {"first of two keys counts",
         "Port=COM5\r\nPort=COM6\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n"
         "TracerMode=Fast\r\nPauseMode=Y\r\nextra line\r\n",
         "None",
         "Port=COM5\r\nPort=COM6\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n"
         "PauseMode=Y\r\nextra line\r\n"},
        {"lower-case value is selected without case",
         "Port=COM5\r\nBaudRate=9600\r\nParity=even\r\nDataBits=8\r\nStopBits=1\r\n", "Even",
         "Port=COM5\r\nBaudRate=9600\r\nParity=Even\r\nDataBits=8\r\nStopBits=1\r\nPauseMode="
         "N\r\n"},
    };
    for (const TRow& r : rows) {
        SCOPED_TRACE(r.Name);
        WriteSettings(r.File);
        Create();
        EXPECT_EQ(Panel(0), "Ready");
        QString parity;
        AnswerOk([&](TSettingsForm& dialog) { parity = dialog.ParityComboBox->currentText(); });
        PressSettings();
        EXPECT_EQ(parity, r.ShownParity);
        EXPECT_EQ(ReadFileBytes(SettingsFile()), r.Written);
        FForm.reset();
    }
}

TEST_F(TStartupTest, EvenParityAfterOkReachesThePort) {
    WriteSettings("Port=COM5\r\nBaudRate=9600\r\nParity=even\r\nDataBits=8\r\nStopBits=1\r\n");
    Create();
    EXPECT_EQ(FForm->COMPort->Parity().Bits(), prNone);
    AnswerOk();
    PressSettings();
    EXPECT_EQ(FForm->COMPort->Parity().Bits(), prEven);
    // A pseudo-terminal takes no parity; a serial device would be "Ready".
    EXPECT_TRUE(Panel(0) == "Ready" || Panel(0).startsWith("Unable to set com state: "))
        << Panel(0).toStdString();
}

TEST_F(TStartupTest, UnwritableSettingsFileReachesTheErrorReportAndLeavesThePortClosed) {
    ASSERT_TRUE(QDir().mkdir(SettingsFile()));
    Create();
    AnswerOk([](TSettingsForm& dialog) { dialog.COMPortComboBox->setEditText("COM5"); });
    PressSettings();
    ASSERT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(FErrors[0],
              "Cannot create file \"" + SettingsFile().toStdString() + "\". Is a directory");
    EXPECT_FALSE(FForm->COMPort->Active());
    EXPECT_EQ(Panel(0), "");

    // The window holds the choice all the same: Cancel applies it.
    FRunDialog = [](TSettingsForm& dialog) {
        dialog.BitBtn2->click();
        return dialog.result();
    };
    PressSettings();
    EXPECT_TRUE(FForm->COMPort->Active());
    EXPECT_EQ(Panel(0), "Ready");
}

TEST_F(TStartupTest, CloseClosesThePort) {
    WriteSettings(PortSettings);
    Create();
    FForm->close();
    EXPECT_FALSE(FForm->COMPort->Active());
}

TEST_F(TStartupTest, SettingsPendingAtCloseDoNotReopenThePort) {
    WriteSettings(PortSettings);
    Create();
    FForm->SettingsButton->click();  // the port is configured again once the loop runs
    FForm->close();
    Settle();
    EXPECT_FALSE(FForm->COMPort->Active());
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(TStartupTest, WindowLayout) {
    Create();
    EXPECT_EQ(FForm->windowTitle(), "Trevalon");
    EXPECT_EQ(FForm->size(), QSize(462, 586));
    EXPECT_EQ(FForm->minimumSize(), FForm->maximumSize());
    EXPECT_EQ(FForm->font().family(), "Arial");
    EXPECT_EQ(FForm->font().pixelSize(), 13);
    EXPECT_EQ(FForm->TrayEdit->font().pixelSize(), 19);

    struct TRow {
        QWidget* Control;
        QRect Geometry;
        QString Caption;
    } rows[] = {
        {FForm->Panel1, {0, 0, 462, 161}, ""},
        {FForm->TrayEdit, {15, 20, 129, 32}, ""},
        {FForm->ReqButton, {15, 57, 129, 30}, "&Request Shape"},
        {FForm->SaveButton, {15, 89, 129, 30}, "&Save Shape"},
        {FForm->RotLeftButton, {152, 128, 23, 22}, ""},
        {FForm->RotRightButton, {176, 128, 23, 22}, ""},
        {FForm->ResetButton, {208, 17, 82, 30}, "Reset"},
        {FForm->HelpButton, {208, 89, 82, 30}, "Help"},
        {FForm->SettingsButton, {208, 121, 82, 30}, "Settings"},
        {FForm->BoxAEdit, {42, 14, 67, 24}, ""},
        {FForm->BoxBEdit, {42, 38, 67, 24}, ""},
        {FForm->CircEdit, {42, 62, 67, 24}, ""},
        {FForm->DBLEdit, {42, 102, 67, 24}, ""},
        {FForm->Image1, {0, 161, 462, 406}, ""},
        {FForm->StatusBar1, {0, 567, 462, 19}, ""},
    };
    for (const TRow& r : rows) {
        EXPECT_EQ(r.Control->geometry(), r.Geometry) << r.Caption.toStdString();
        if (auto* button = qobject_cast<QAbstractButton*>(r.Control);
            button && !r.Caption.isEmpty()) {
            EXPECT_EQ(button->text(), r.Caption);
        }
    }
    EXPECT_EQ(FForm->Panel2->width(), 165);
    EXPECT_EQ(FForm->Panel2->geometry().right(), FForm->Panel1->width() - 2);
    EXPECT_EQ(FForm->Label1->text(), "&Tray/Job Number");
    EXPECT_EQ(FForm->Label1->buddy(), FForm->TrayEdit);
    EXPECT_EQ(FForm->ShowOrigCheckbox->text(), "Show Orig Shape");
    EXPECT_FALSE(FForm->ShowOrigCheckbox->isChecked());
    EXPECT_EQ(FForm->DetailedGridCheckBox->text(), "Detailed Grid");
    EXPECT_EQ(FForm->LockBCheckbox->text(), "Lock B at Datum");
    EXPECT_TRUE(FForm->LockBCheckbox->isChecked());
    EXPECT_EQ(FForm->RotLeftButton->toolTip(), "Rotate Shape One Data Point to the Left");
    EXPECT_EQ(FForm->RotRightButton->toolTip(), "Rotate Shape One Data Point to the Right");
    EXPECT_EQ(FForm->RotLeftButton->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(FForm->StatusBar1->toolTipDuration(), 10000);
    EXPECT_EQ(FForm->DisplayCommunicationLog1->text(), "Display Communication Log");
    const QStringList presets = {"Circle", "Square", "Diamond", "Flower Pot"};
    QStringList items;
    for (QAction* action : FForm->TrayNoPopupMenu->actions()) items << action->text();
    // The file commands follow the presets.
    EXPECT_EQ(items.mid(0, 4), presets);
    const int widths[] = {200, 50};
    for (int i = 0; i < 2; ++i) EXPECT_EQ(FForm->StatusBar1->Panel(i)->width(), widths[i] - 2);
    EXPECT_EQ(FForm->StatusBar1->Panel(1)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(FForm->TimeoutTimer->interval(), 1000);
    EXPECT_FALSE(FForm->TimeoutTimer->isActive());
}

}  // namespace

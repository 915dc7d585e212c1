// Start-up, port configuration, the Settings button and the window's layout.
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QMenu>

#include "FormFixture.h"
#include "app/ValueEdit.h"
#include "settings/Settings.h"

namespace {

class StartupTest : public FormFixture {
protected:
    // The dialog is answered with OK after Prepare has set its controls.
    void AnswerOk(std::function<void(TSettingsForm&)> Prepare = {}) {
        RunDialog = [this, Prepare](TSettingsForm& Dialog) {
            ++DialogRuns;
            PortOpenDuringDialog = Form->COMPort->Active();
            ShownPorts.clear();
            for (int i = 0; i < Dialog.COMPortComboBox->count(); ++i)
                ShownPorts.push_back(Dialog.COMPortComboBox->itemText(i));
            if (Prepare) Prepare(Dialog);
            Dialog.BitBtn1->click();
            return Dialog.result();
        };
    }

    void PressSettings() {
        Form->SettingsButton->click();
        Settle();
    }

    int DialogRuns = 0;
    bool PortOpenDuringDialog = true;
    QStringList ShownPorts;
};

TEST_F(StartupTest, FirstStartWithoutSettingsFile) {
    Create();
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(Panel(2), "Ver ");  // this program file has no version information
    EXPECT_FALSE(Form->COMPort->Active());
    EXPECT_FALSE(Form->ReqButton->isEnabled());
    EXPECT_FALSE(Form->SaveButton->isEnabled());
    EXPECT_TRUE(Form->SettingsButton->isEnabled());
    EXPECT_EQ(TForm1Probe::Settings(*Form).Strings(),
              (std::vector<std::string>{"BaudRate=9600", "Parity=None", "DataBits=8", "StopBits=1",
                                        "Points=512"}));
    EXPECT_FALSE(QFile::exists(SettingsFile()));  // nothing written
    Form->TrayEdit->setText("1234");
    EXPECT_TRUE(Form->ReqButton->isEnabled());
    Form->TrayEdit->clear();
    EXPECT_FALSE(Form->ReqButton->isEnabled());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(StartupTest, VersionOfTheProgramFileInPanelTwo) {
    ASSERT_TRUE(QFile::link(QCoreApplication::applicationFilePath(), ProgramFile()));
    Create();
    EXPECT_EQ(Panel(2), QStringLiteral("Ver ") + QStringLiteral(TREVALON_VERSION));
    // The whole text is shown, not cut off at the panel's edge: the last panel
    // runs on to the bar's right edge.
    Form->show();
    const QLabel* Version = Form->StatusBar1->Panel(2);
    EXPECT_EQ(Version->x(), 250);
    EXPECT_EQ(Version->geometry().right(), Form->StatusBar1->width() - 3);
    const int Room = Version->contentsRect().width() - Version->indent();
    EXPECT_GE(Room, Version->fontMetrics().horizontalAdvance(Panel(2))) << Room;
    EXPECT_EQ(QCoreApplication::applicationName().isEmpty(), false);
    EXPECT_EQ(QApplication::applicationDisplayName(), "Trevalon");
}

TEST_F(StartupTest, GoodPortIsReady) {
    WriteSettings(PortSettings);
    Create();
    EXPECT_EQ(Panel(0), "Ready");
    EXPECT_TRUE(Form->COMPort->Active());
    EXPECT_EQ(Form->COMPort->Port(), "COM5");
    EXPECT_EQ(Form->COMPort->BaudRate(), 9600);
    EXPECT_EQ(BaudRateOf(Host.LineSettings()), 9600);
}

TEST_F(StartupTest, PortSettingsAreTranslated) {
    struct Row {
        std::string Parity, StopBits;
        TParityBits ParityBits;
        TStopBits Stop;
    } Rows[] = {
        {"Even", "2", prEven, sbTwoStopBits},
        {"Odd", "1.5", prOdd, sbOne5StopBits},
        {"even", "1", prNone, sbOneStopBit},  // compared exactly
        {"Mark", "two", prNone, sbOneStopBit},
    };
    for (const Row& R : Rows) {
        WriteSettings("Port=COM5\r\nBaudRate=38400\r\nParity=" + R.Parity +
                      "\r\nDataBits=7\r\nStopBits=" + R.StopBits + "\r\n");
        Create();
        EXPECT_EQ(Form->COMPort->Parity().Bits(), R.ParityBits) << R.Parity;
        EXPECT_EQ(Form->COMPort->StopBits(), R.Stop) << R.StopBits;
        EXPECT_EQ(Form->COMPort->DataBits(), 7);
        EXPECT_EQ(Form->COMPort->BaudRate(), 38400);
        Form.reset();
    }
}

TEST_F(StartupTest, PortThatCannotBeOpenedShowsTheComponentsMessage) {
    Names.Add("COM77", Dir.filePath(QStringLiteral("missing")).toStdString());
    WriteSettings("Port=COM77\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\n");
    Create();
    EXPECT_EQ(Panel(0), "Unable to open COM77: No such file or directory");
    EXPECT_FALSE(Form->COMPort->Active());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(StartupTest, HeldPortShowsTheComponentsMessage) {
    TComPort Holder;
    Holder.SetPort("COM5");
    Holder.SetActive(true);
    WriteSettings(PortSettings);
    Create();
    EXPECT_EQ(Panel(0).left(18), "Unable to open COM");
    EXPECT_TRUE(Panel(0).startsWith("Unable to open COM5: ")) << Panel(0).toStdString();
    EXPECT_FALSE(Form->COMPort->Active());
}

TEST_F(StartupTest, NonNumericBaudRateReachesTheErrorReport) {
    WriteSettings("Port=COM5\r\nBaudRate=fast\r\nDataBits=8\r\n");
    Create();
    EXPECT_EQ(Errors, std::vector<std::string>{"'fast' is not a valid integer value"});
    EXPECT_FALSE(Form->COMPort->Active());
    EXPECT_EQ(Panel(0), "");
}

TEST_F(StartupTest, MissingDataBitsInAnExistingFileReachesTheErrorReport) {
    WriteSettings("Port=COM5\r\nBaudRate=9600\r\n");
    Create();
    EXPECT_EQ(Errors, std::vector<std::string>{"'' is not a valid integer value"});
    EXPECT_FALSE(Form->COMPort->Active());
}

TEST_F(StartupTest, CancelReopensThePortWithTheSameSettings) {
    WriteSettings(PortSettings);
    Create();
    Received().Radii = std::string(16, '1');
    RunDialog = [this](TSettingsForm& Dialog) {
        ++DialogRuns;
        PortOpenDuringDialog = Form->COMPort->Active();
        for (int i = 0; i < Dialog.COMPortComboBox->count(); ++i)
            ShownPorts.push_back(Dialog.COMPortComboBox->itemText(i));
        Dialog.BitBtn2->click();
        return Dialog.result();
    };
    Form->ShowStatus("", 0);
    PressSettings();
    EXPECT_EQ(DialogRuns, 1);
    EXPECT_FALSE(PortOpenDuringDialog);
    EXPECT_TRUE(ShownPorts.contains("COM5"));  // the window's own port, closed first
    EXPECT_EQ(Panel(0), "Ready");
    EXPECT_TRUE(Form->COMPort->Active());
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_EQ(ReadFileBytes(SettingsFile()), PortSettings);
}

TEST_F(StartupTest, FirstStartThenOkWritesTheSixLines) {
    Create();
    AnswerOk();
    PressSettings();
    EXPECT_EQ(ReadFileBytes(SettingsFile()),
              "BaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPoints=512\r\n"
              "PauseMode=N\r\n");
    // No Port key: the port cannot be opened, with the component's message.
    EXPECT_TRUE(Panel(0).startsWith("Unable to open : ")) << Panel(0).toStdString();
}

TEST_F(StartupTest, ChosenPortAndTracerModeTakeTheirPlaces) {
    Create();
    AnswerOk([](TSettingsForm& Dialog) {
        Dialog.COMPortComboBox->setEditText("COM5");
        Dialog.TracerModeComboBox->setCurrentIndex(1);
    });
    PressSettings();
    EXPECT_EQ(ReadFileBytes(SettingsFile()),
              "BaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPoints=512\r\n"
              "Port=COM5\r\nTracerMode=No Init\r\nPauseMode=N\r\n");
    EXPECT_EQ(Panel(0), "Ready");
}

TEST_F(StartupTest, FileRoundTripsThroughTheDialog) {
    struct Row {
        const char* Name;
        std::string File;
        QString ShownParity;
        std::string Written;
    } Rows[] = {
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
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        WriteSettings(R.File);
        Create();
        EXPECT_EQ(Panel(0), "Ready");
        QString Parity;
        AnswerOk([&](TSettingsForm& Dialog) { Parity = Dialog.ParityComboBox->currentText(); });
        PressSettings();
        EXPECT_EQ(Parity, R.ShownParity);
        EXPECT_EQ(ReadFileBytes(SettingsFile()), R.Written);
        Form.reset();
    }
}

TEST_F(StartupTest, EvenParityAfterOkReachesThePort) {
    WriteSettings("Port=COM5\r\nBaudRate=9600\r\nParity=even\r\nDataBits=8\r\nStopBits=1\r\n");
    Create();
    EXPECT_EQ(Form->COMPort->Parity().Bits(), prNone);
    AnswerOk();
    PressSettings();
    EXPECT_EQ(Form->COMPort->Parity().Bits(), prEven);
    // A pseudo-terminal takes no parity; a serial device would be "Ready".
    EXPECT_TRUE(Panel(0) == "Ready" || Panel(0).startsWith("Unable to set com state: "))
        << Panel(0).toStdString();
}

TEST_F(StartupTest, UnwritableSettingsFileReachesTheErrorReportAndLeavesThePortClosed) {
    ASSERT_TRUE(QDir().mkdir(SettingsFile()));
    Create();
    AnswerOk([](TSettingsForm& Dialog) { Dialog.COMPortComboBox->setEditText("COM5"); });
    PressSettings();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0],
              "Cannot create file \"" + SettingsFile().toStdString() + "\". Is a directory");
    EXPECT_FALSE(Form->COMPort->Active());
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(TForm1Probe::Settings(*Form).Value("Port"), "COM5");
}

TEST_F(StartupTest, CloseReleasesTheListsAndThePort) {
    WriteSettings(PortSettings);
    Create();
    Form->close();
    EXPECT_FALSE(Form->COMPort->Active());
    EXPECT_EQ(TForm1Probe::Settings(*Form).Count(), 0u);
    EXPECT_EQ(TForm1Probe::Log(*Form).Count(), 0u);
}

TEST_F(StartupTest, SettingsPendingAtCloseDoNotReopenThePort) {
    WriteSettings(PortSettings);
    Create();
    Form->SettingsButton->click();  // the port is configured again once the loop runs
    Form->close();
    Settle();
    EXPECT_FALSE(Form->COMPort->Active());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(StartupTest, WindowLayout) {
    Create();
    EXPECT_EQ(Form->windowTitle(), "Trevalon");
    EXPECT_EQ(Form->size(), QSize(462, 586));
    EXPECT_EQ(Form->minimumSize(), Form->maximumSize());
    EXPECT_EQ(Form->font().family(), "Arial");
    EXPECT_EQ(Form->font().pixelSize(), 13);
    EXPECT_EQ(Form->TrayEdit->font().pixelSize(), 19);

    struct Row {
        QWidget* Control;
        QRect Geometry;
        QString Caption;
    } Rows[] = {
        {Form->Panel1, {0, 0, 462, 161}, ""},
        {Form->TrayEdit, {15, 20, 129, 32}, ""},
        {Form->ReqButton, {15, 57, 129, 30}, "&Request Shape"},
        {Form->SaveButton, {15, 89, 129, 30}, "&Save Shape"},
        {Form->RotLeftButton, {152, 128, 23, 22}, ""},
        {Form->RotRightButton, {176, 128, 23, 22}, ""},
        {Form->ResetButton, {208, 17, 82, 30}, "Reset"},
        {Form->HelpButton, {208, 89, 82, 30}, "Help"},
        {Form->SettingsButton, {208, 121, 82, 30}, "Settings"},
        {Form->BoxAEdit, {42, 14, 67, 24}, ""},
        {Form->BoxBEdit, {42, 38, 67, 24}, ""},
        {Form->CircEdit, {42, 62, 67, 24}, ""},
        {Form->DBLEdit, {42, 102, 67, 24}, ""},
        {Form->Image1, {0, 161, 462, 406}, ""},
        {Form->StatusBar1, {0, 567, 462, 19}, ""},
    };
    for (const Row& R : Rows) {
        EXPECT_EQ(R.Control->geometry(), R.Geometry) << R.Caption.toStdString();
        if (auto* Button = qobject_cast<QAbstractButton*>(R.Control);
            Button && !R.Caption.isEmpty()) {
            EXPECT_EQ(Button->text(), R.Caption);
        }
    }
    EXPECT_EQ(Form->Panel2->width(), 165);
    EXPECT_EQ(Form->Panel2->geometry().right(), Form->Panel1->width() - 2);
    EXPECT_EQ(Form->Label1->text(), "&Tray/Job Number");
    EXPECT_EQ(Form->Label1->buddy(), Form->TrayEdit);
    EXPECT_EQ(Form->ShowOrigCheckbox->text(), "Show Orig Shape");
    EXPECT_FALSE(Form->ShowOrigCheckbox->isChecked());
    EXPECT_EQ(Form->DetailedGridCheckBox->text(), "Detailed Grid");
    EXPECT_EQ(Form->LockBCheckbox->text(), "Lock B at Datum");
    EXPECT_TRUE(Form->LockBCheckbox->isChecked());
    EXPECT_EQ(Form->RotLeftButton->toolTip(), "Rotate Shape One Data Point to the Left");
    EXPECT_EQ(Form->RotRightButton->toolTip(), "Rotate Shape One Data Point to the Right");
    EXPECT_EQ(Form->RotLeftButton->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Form->StatusBar1->toolTipDuration(), 10000);
    EXPECT_EQ(Form->DisplayCommunicationLog1->text(), "Display Communication Log");
    const QStringList Presets = {"Circle", "Square", "Diamond", "Flower Pot"};
    QStringList Items;
    for (QAction* Action : Form->TrayNoPopupMenu->actions()) Items << Action->text();
    EXPECT_EQ(Items, Presets);
    const int Widths[] = {200, 50};
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Form->StatusBar1->Panel(i)->width(), Widths[i] - 2);
    EXPECT_EQ(Form->StatusBar1->Panel(1)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(Form->TimeoutTimer->interval(), 1000);
    EXPECT_FALSE(Form->TimeoutTimer->isActive());
}

}  // namespace

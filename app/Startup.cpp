// Start-up, port configuration and shutdown of the main window.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "app/CommLog.h"
#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "serial/Comms.h"
#include "settings/Settings.h"
#include "shape/Convert.h"

namespace {
constexpr int HintHidePauseMs = 10000;
}

std::string TForm1::SettingsFileName() const {
    return ChangeFileExt(FProgramFile, ".dat");
}

void TForm1::FormCreate() {
    QApplication::setApplicationDisplayName(windowTitle());
    for (QWidget* Widget :
         std::initializer_list<QWidget*>{StatusBar1, RotLeftButton, RotRightButton})
        Widget->setToolTipDuration(HintHidePauseMs);

    SettingsList.Clear();
    if (SettingsList.LoadFromFile(SettingsFileName()))
        PostMessage(WM_APPLYSETTINGS);  // the port opens once the window runs
    else
        SetDefaultSettings(SettingsList);

    FReceived.Radii.clear();
    FWorking.Radii.clear();
    FRxBuffer.clear();
    FState = cvIdle;
    FCountdown = 0;
    FPointCount.clear();
    FHostDef.clear();
    FRecords.Clear();
    FLogFileName.clear();

    std::vector<std::string> Version;
    ReadVersionInfo(FProgramFile, Version);
    ShowStatus("Ver " + VersionValue(Version, "FileVersion"), 2);

    FLog.Clear();

    TrayEdit->clear();
    FLastRxTick = 0;
    EnableControls(true);
    ReqButton->setEnabled(false);  // the tray field is empty
    ShowValues();
    FEndMessage.clear();
}

void TForm1::ConfigurePort() {
    // A configuration still queued when the window closed would reopen the
    // port from the released settings.
    if (FClosed) return;
    COMPort->SetActive(false);
    FReceived.Radii.clear();
    ShowValues();

    COMPort->SetPort(SettingsList.Value("Port"));
    COMPort->SetBaudRate(StrToInt(SettingsList.Value("BaudRate")));
    const std::string Parity = SettingsList.Value("Parity");
    COMPort->Parity().SetBits(Parity == "Even" ? prEven : Parity == "Odd" ? prOdd : prNone);
    // Out of the byte's range the device refuses it when the port opens.
    const int DataBits = StrToInt(SettingsList.Value("DataBits"));
    COMPort->SetDataBits(static_cast<TDataBits>(DataBits >= 0 && DataBits <= 255 ? DataBits : 0));
    const std::string StopBits = SettingsList.Value("StopBits");
    COMPort->SetStopBits(StopBits == "1.5" ? sbOne5StopBits
                         : StopBits == "2" ? sbTwoStopBits
                                           : sbOneStopBit);
    try {
        COMPort->SetActive(true);
        ShowStatus("Ready", 0);
    } catch (const std::exception& E) {
        ShowStatus(E.what(), 0);
    }
}

void TForm1::SettingsButtonClick() {
    COMPort->SetActive(false);  // frees the device for the dialog's port list and scan
    int Result = QDialog::Rejected;
    {
        TSettingsForm Dialog(SettingsList, this);
        Result = FHooks.ShowSettingsModal ? FHooks.ShowSettingsModal(Dialog) : Dialog.exec();
        if (Result == QDialog::Accepted) SettingsList.SaveToFile(SettingsFileName());
    }
    PostMessage(WM_APPLYSETTINGS);
}

void TForm1::FormClose() {
    if (FClosed) return;
    FClosed = true;
    // Nothing may reopen the log after this: no timeout, no late reply.
    TimeoutTimer->stop();
    COMPort->SetActive(false);
    SettingsList.Clear();
    FRecords.Clear();
    FLog.Clear();
    DeleteLogFile();
}

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
#include "link/LinkName.h"
#include "link/Link.h"
#include "serial/Comms.h"
#include "settings/Settings.h"
#include "settings/SettingsLocation.h"
#include "shape/Convert.h"

namespace {
constexpr int HintHidePauseMs = 10000;
}

std::string TForm1::SettingsFileName() const {
    return SettingsFileFor(FProgramFile);
}

void TForm1::FormCreate() {
    // Qt's application display name stays unset: Qt would add it, after a
    // dash, to the title of every other window ("Find Host", "Settings"),
    // whose captions must read exactly as they are.
    for (QWidget* widget :
         std::initializer_list<QWidget*>{StatusBar1, RotLeftButton, RotRightButton})
        widget->setToolTipDuration(HintHidePauseMs);

    SettingsList.Clear();
    if (SettingsList.LoadFromFile(SettingsFileName()))
        PostMessage(WM_APPLYSETTINGS);  // the port opens once the window runs
    else
        SetDefaultSettings(SettingsList);

    FReceived.Radii.clear();
    FWorking.Radii.clear();
    FEngine->Reset();
    FRecords.Clear();
    FLogFileName.clear();

    std::vector<std::string> version;
    ReadVersionInfo(FProgramFile, version);
    ShowStatus("Ver " + VersionValue(version, "FileVersion"), 2);

    FLog.Clear();

    TrayEdit->clear();
    EnableControls(true);
    ReqButton->setEnabled(false);  // the tray field is empty
    ShowValues();
    FEndMessage.clear();
}

void TForm1::ConfigurePort() {
    // A configuration still queued when the window closed would reopen the
    // port from the released settings.
    if (FClosed) return;
    FLink->Close();
    FReceived.Radii.clear();
    ShowValues();

    // A conversation started while the port is closed reports why it is.
    TLinkSettings settings;
    try {
        settings = LinkSettingsFrom(SettingsList);
    } catch (const std::exception& e) {
        FPortError = e.what();
        throw;
    }
    ChooseLink(settings.Port);
    try {
        FLink->Open(settings);
        FPortError.clear();
        ShowStatus("Ready", 0);
    } catch (const std::exception& e) {
        FPortError = e.what();
        ShowStatus(e.what(), 0);
    }
}

void TForm1::ChooseLink(const std::string& port) {
    // The port setting may have changed kind: a serial port, a network host.
    if (FLinkIsNetwork == IsNetworkPort(port)) return;
    FLink.reset();  // the serial link lets go of COMPort's handler first
    FLink = NewLink(port, FHooks.ComPortHooks(), *COMPort);
    FLinkIsNetwork = IsNetworkPort(port);
    FLink->OnReceive = [this](std::int32_t inQue) { COMPortRxChar(inQue); };
    FLink->OnClosed = [this](const std::string& reason) { LinkClosedByHost(reason); };
    FLink->OnLogLine = [this](const std::string& text) {
        FLog.AddEndLine(text, FormatTimeStamp(LocalTime()));
    };
}

void TForm1::ReopenClosedLink() {
    // A network link that the host ended, or that could not connect, is
    // tried again at each request; a serial port waits for Settings.
    if (!FLinkIsNetwork || FLink->IsOpen() || FClosed) return;
    try {
        FLink->Open(LinkSettingsFrom(SettingsList));
        FPortError.clear();
    } catch (const std::exception& e) {
        FPortError = e.what();
    }
}

void TForm1::LinkClosedByHost(const std::string& reason) {
    // Between conversations it is only noted: the next request connects again.
    if (FEngine->Talking())
        FEngine->LinkLost(reason);
    else
        FLog.AddEndLine(reason, FormatTimeStamp(LocalTime()));
}

void TForm1::SettingsButtonClick() {
    FLink->Close();  // frees the device for the dialog's port list and scan
    int result = QDialog::Rejected;
    {
        TSettingsForm dialog(SettingsList, FHooks, this);
        result = FHooks.ShowSettingsModal ? FHooks.ShowSettingsModal(dialog) : dialog.exec();
        if (result == QDialog::Accepted) {
            const std::string fileName = SettingsFileName();
            MakeSettingsFolder(fileName);  // a failure shows as the file's creation error
            SettingsList.SaveToFile(fileName);
        }
    }
    PostMessage(WM_APPLYSETTINGS);
}

void TForm1::FormClose() {
    if (FClosed) return;
    FClosed = true;
    // Nothing may reopen the log after this: no timeout, no late reply.
    FEngine->Cancel();
    FEngine->Abandon();
    FinishTranscript();
    FLink->Close();
    SettingsList.Clear();
    FRecords.Clear();
    FLog.Clear();
    DeleteLogFile();
}

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
#include "settings/Settings.h"
#include "settings/SettingsLocation.h"

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
    FSession->Reset();
    FRecords.Clear();
    FLogFileName.clear();

    std::vector<std::string> version;
    ReadVersionInfo(FProgramFile, version);
    ShowStatus("Ver " + VersionValue(version, "FileVersion"), 2);

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
    FSession->CloseLink();
    FReceived.Radii.clear();
    ShowValues();
    // A conversation started while the port is closed reports why it is.
    const std::string error = FSession->OpenLink(SettingsList, SettingsFileName());
    ShowStatus(error.empty() ? std::string("Ready") : error, 0);
}

void TForm1::SettingsButtonClick() {
    FSession->CloseLink();  // frees the device for the dialog's port list and scan
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
    FSession->Close();
    SettingsList.Clear();
    FRecords.Clear();
    DeleteLogFile();
}

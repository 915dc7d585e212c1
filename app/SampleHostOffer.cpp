// The first start's offer of the sample host: an installed program without a
// settings file can be tried at once against the lab host simulator.
#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "app/SampleHost.h"
#include "app/Unit1.h"
#include "settings/SettingsLocation.h"

namespace {

// Takes the offer off the menu; the action may be the one being handled.
void EndOffer(QMenu* menu, QAction*& offer) {
    menu->removeAction(offer);
    offer->deleteLater();
    offer = nullptr;
}

}  // namespace

void TForm1::OfferSampleHost() {
    FSampleHost = TSampleHost::Find(FProgramFile);
    if (!FSampleHost) return;
    if (!QFileInfo::exists(QString::fromStdString(SettingsFileName()))) {
        TrayNoPopupMenu->addSeparator();
        TrySampleHost1 = TrayNoPopupMenu->addAction(tr("Try with the sample host"));
        connect(TrySampleHost1, &QAction::triggered, this,
                [this] { Guarded(FHooks, [this] { TrySampleHost1Click(); }); });
        return;
    }
    // Settings that still name the sample host start it again, before the
    // posted configuration opens its line.
    if (SettingsList.Value("Port") == FSampleHost->Port().toStdString()) {
        try {
            FSampleHost->Start();
        } catch (const ESampleHost& e) {
            ShowStatusText(QString::fromStdString(e.what()), 0);
        }
    } else {
        FSampleHost.reset();
    }
}

void TForm1::TrySampleHost1Click() {
    if (!FSampleHost) return;
    try {
        FSampleHost->Start();
    } catch (const ESampleHost& e) {
        ShowStatusText(QString::fromStdString(e.what()), 0);
        return;
    }
    // The defaults, the sample host's line, and no pause after the
    // initialization, which the simulator does not need.
    SetDefaultSettings(SettingsList);
    SettingsList.SetValue("Port", FSampleHost->Port().toStdString());
    SettingsList.SetValue("PauseMode", "N");
    const std::string fileName = SettingsFileName();
    MakeSettingsFolder(fileName);  // a failure shows as the file's creation error
    SettingsList.SaveToFile(fileName);
    EndOffer(TrayNoPopupMenu, TrySampleHost1);  // taken
    PostMessage(WM_APPLYSETTINGS);
}

void TForm1::SampleHostSettingsApplied() {
    if (TrySampleHost1 != nullptr &&
        QFileInfo::exists(QString::fromStdString(SettingsFileName()))) {
        EndOffer(TrayNoPopupMenu, TrySampleHost1);  // settings chosen in the dialog
    }
    if (FSampleHost && FSampleHost->Running() &&
        SettingsList.Value("Port") != FSampleHost->Port().toStdString())
        FSampleHost.reset();
}

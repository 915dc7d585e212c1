// The store conversation's start: Save Shape.

#include <QLineEdit>

#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "oma/OmaTrace.h"

void TForm1::SaveButtonClick() {
    StartStore();
}

void TForm1::StartStore() {
    if (std::string fault = TrayNumberFault(TrayEdit->text()); !fault.empty()) {
        ShowStatus(fault, 0);
        return;
    }
    // A trace that few points describe no frame: nothing goes to the host.
    if (std::string fault = PointCountFault(RadiusCount(FWorking.Radii), "store"); !fault.empty()) {
        ShowStatus(fault, 0);
        return;
    }
    // FEndMessage stays: Escape shows it again, and the picture keeps it.
    FSession->StartStore(SettingsList, TrayText());
}

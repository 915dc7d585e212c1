// The request conversation's start: Request Shape.

#include <QLineEdit>

#include "app/TrayNumber.h"
#include "app/Unit1.h"

void TForm1::ReqButtonClick() {
    if (std::string fault = TrayNumberFault(TrayEdit->text()); !fault.empty()) {
        ShowStatus(fault, 0);
        return;
    }
    FEndMessage.clear();
    FReceived.Radii.clear();
    FReceived.DBL = 0;
    FWorking = FReceived;
    ShowValues();
    DrawShape();
    FOverlayX = -1;
    FOverlayY = -1;
    FRecords.Clear();
    FSession->StartRequest(SettingsList, TrayText());
}

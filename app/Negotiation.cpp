// What the conversations take from the window: the tray number for each
// packet and the measuring of a received shape.

#include <QLineEdit>
#include <stdexcept>

#include "app/TrayNumber.h"
#include "app/Unit1.h"

std::string TForm1::TrayText() const {
    return TrayEdit->text().toLatin1().toStdString();
}

std::string TForm1::PacketTray() const {
    // The field stays editable during a conversation, so every packet checks again.
    if (std::string fault = TrayNumberFault(TrayEdit->text()); !fault.empty())
        throw std::runtime_error(fault);
    return TrayText();
}

void TForm1::MeasureShape(TTraceInfo& trace) {
    MeasureTrace(trace);
}

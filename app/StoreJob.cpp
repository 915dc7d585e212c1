// The store conversation: Save Shape, the host's grant, the upload of the
// working shape with the job's records, and the host's verdict.

#include <QLineEdit>
#include <stdexcept>

#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "oma/HostPackets.h"
#include "oma/HostReplies.h"
#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"
#include "shape/Convert.h"

namespace {

// Records of the job data that the host gets back only as the program's own.
constexpr const char* NeverEchoed[] = {"ANS", "STATUS", "DO",    "INI", "REQ", "TRCFMT", "ZFMT",
                                       "JOB", "VEN",    "MODEL", "VER", "REM", "CRC"};

}  // namespace

void TForm1::SaveButtonClick() {
    StartStore();
}

void TForm1::StartStore() {
    if (std::string fault = TrayNumberFault(TrayEdit->text()); !fault.empty()) {
        ShowStatus(fault, 0);
        return;
    }
    FHostDef.clear();
    FStoreInitReply.clear();
    // FEndMessage stays: Escape shows it again, and the picture keeps it.
    StartConversation(cvAwaitStoreInit);
}

void TForm1::StoreGrantStep() {
    const bool noInit = SettingsList.Value("TracerMode") == "No Init";
    const std::optional<TTraceFormat> granted =
        ReadStoreGrant(FRxBuffer, noInit ? FRxBuffer : FStoreInitReply);
    SendToHost(std::string(1, ACK));

    std::string format = "1";
    std::string count = std::to_string(RadiusCount(FWorking.Radii));
    if (granted) {
        format = granted->Format;
        count = granted->PointCount;
    }
    // The point tables hold at most MaxTracePoints; a count of 0 would upload no trace.
    const std::int64_t points = PointCountValue(count);
    if (points < 1 || points > MaxTracePoints)
        throw std::runtime_error("Cannot store a trace of " + count + " points");

    const std::string tray = PacketTray();
    std::string body = "ANS=" + (FHostDef.empty() ? std::string("TRC") : FHostDef) + "\r";
    body += JobRecord(tray);
    body += std::string("VEN=") + VendorName + "\r";
    body += std::string("MODEL=") + ModelName + "\r";
    body += "TRCFMT=" + format + ";" + count + ";E;R;F\r";

    if (points != RadiusCount(FWorking.Radii)) {
        TTraceCalc calc;
        calc.LoadTrace(FWorking.Radii);
        calc.Resample(static_cast<std::uint16_t>(points));
        FWorking.Radii = calc.GetTrace();
    }
    body += TraceRecords(format, FWorking.Radii);

    FRecords.SetValue("HBOX", FormatBoxValue(FWorking.HBox));
    FRecords.SetValue("VBOX", FormatBoxValue(FWorking.VBox));
    FRecords.SetValue("CIRC", FormatBoxValue(FWorking.Circ));
    const QString dblText = DBLEdit->Text();
    const std::optional<double> dbl = TValueEdit::ParseValue(dblText);
    if (!dbl) throw EConvertError::NotFloat(dblText.toLatin1().toStdString());
    FRecords.SetValue("DBL", FormatWireNumber(*dbl));
    for (const char* label : NeverEchoed)
        while (FRecords.IndexOfName(label) >= 0) FRecords.SetValue(label, "");

    for (const std::string& line : FRecords.Strings()) {
        const std::string name = line.substr(0, line.find('='));
        body += name + "=" + FRecords.Value(name) + "\r";
    }

    const std::string packet = BuildPacket(body);
    ShowStatus("Storing the shape to job " + tray, 0);
    FState = cvAwaitStoreResult;
    SendToHost(packet);
}

void TForm1::StoreResultStep() {
    SendToHost(std::string(1, ACK));
    ReadStoreVerdict(FRxBuffer);
    FReceived.Radii.clear();
    FWorking.Radii.clear();
    DrawShape();
    FState = cvIdle;
    ShowStatus("Job stored", 0);
    EnableControls(true);
    ShowValues();
    TrayEdit->clear();
    TrayEdit->setFocus();
}

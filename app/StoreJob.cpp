// The store conversation: Save Shape, the host's grant, the upload of the
// working shape with the job's records, and the host's verdict.

#include <QLineEdit>
#include <stdexcept>

#include "app/HostPackets.h"
#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"
#include "oma/ReplyMatcher.h"
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
    if (std::string Fault = TrayNumberFault(TrayText()); !Fault.empty()) {
        ShowStatus(Fault, 0);
        return;
    }
    FHostDef.clear();
    FStoreInitReply.clear();
    // FEndMessage stays: Escape shows it again, and the picture keeps it.
    StartConversation(cvAwaitStoreInit);
}

void TForm1::StoreGrantStep(TReplyMatcher& Matcher) {
    if (!Matcher.Match(R"(STATUS\s*=\s*0\s*\D+)", FRxBuffer))
        throw std::runtime_error("Did not get positive response from host");
    SendToHost(std::string(1, ACK));

    const bool NoInit = SettingsList.Value("TracerMode") == "No Init";
    std::string Format = "1";
    std::string Count = std::to_string(RadiusCount(FWorking.Radii));
    if (Matcher.Match(R"(TRCFMT\s*=\s*([1-4])\s*;\s*(\d+)\s*;)",
                      NoInit ? FRxBuffer : FStoreInitReply)) {
        Format = Matcher.Group(1);
        Count = Matcher.Group(2);
    }
    // The point tables hold at most MaxTracePoints; a count of 0 would upload no trace.
    const std::int64_t Points = PointCountValue(Count);
    if (Points < 1 || Points > MaxTracePoints)
        throw std::runtime_error("Cannot store a trace of " + Count + " points");

    const std::string Tray = PacketTray();
    std::string Body = "ANS=" + (FHostDef.empty() ? std::string("TRC") : FHostDef) + "\r";
    Body += JobRecord(Tray);
    Body += std::string("VEN=") + VendorName + "\r";
    Body += std::string("MODEL=") + ModelName + "\r";
    Body += "TRCFMT=" + Format + ";" + Count + ";E;R;F\r";

    if (Points != RadiusCount(FWorking.Radii)) {
        TTraceCalc Calc;
        Calc.LoadTrace(FWorking.Radii);
        Calc.Resample(static_cast<std::uint16_t>(Points));
        FWorking.Radii = Calc.GetTrace();
    }
    Body += TraceRecords(Format, FWorking.Radii);

    FRecords.SetValue("HBOX", FormatBoxValue(FWorking.HBox));
    FRecords.SetValue("VBOX", FormatBoxValue(FWorking.VBox));
    FRecords.SetValue("CIRC", FormatBoxValue(FWorking.Circ));
    const QString DBLText = DBLEdit->Text();
    const std::optional<double> DBL = TValueEdit::ParseValue(DBLText);
    if (!DBL) throw EConvertError::NotFloat(DBLText.toLatin1().toStdString());
    FRecords.SetValue("DBL", FormatWireNumber(*DBL));
    for (const char* Label : NeverEchoed)
        while (FRecords.IndexOfName(Label) >= 0) FRecords.SetValue(Label, "");

    for (const std::string& Line : FRecords.Strings()) {
        const std::string Name = Line.substr(0, Line.find('='));
        Body += Name + "=" + FRecords.Value(Name) + "\r";
    }

    const std::string Packet = BuildPacket(Body);
    ShowStatus("Storing the shape to job " + Tray, 0);
    FState = cvAwaitStoreResult;
    SendToHost(Packet);
}

void TForm1::StoreResultStep(TReplyMatcher& Matcher) {
    SendToHost(std::string(1, ACK));
    if (!Matcher.Match(R"re(STATUS\s*=\s*(\d+)\s*;?\s*"?([^"]*)"?\s*[\n\r])re", FRxBuffer) ||
        Matcher.Group(1) != "0") {
        const std::string Text = Matcher.Group(2);
        throw std::runtime_error(Text.empty() ? "Did not store the shape to the host" : Text);
    }
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

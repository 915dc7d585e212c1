// The request conversation: Request Shape and the reading of the host's job
// data into the received shape and the job's records.

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <stdexcept>

#include "app/HostPackets.h"
#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"
#include "oma/ReplyMatcher.h"

namespace {

constexpr char NotUnderstood[] = "Did not understand response from host";

// Support reads a reply the program could not make sense of from the clipboard.
[[noreturn]] void FailNotUnderstood(const std::string& Reply) {
    if (QClipboard* Clipboard = QGuiApplication::clipboard())
        Clipboard->setText(QString::fromLatin1(Reply.data(), static_cast<qsizetype>(Reply.size())));
    throw std::runtime_error(NotUnderstood);
}

struct TJobStatus {
    std::string Code;
    std::string Text;
};

// The STATUS record after a line end: the one after the first CR, then the
// one after the first LF, the latter winning when both are there.
TJobStatus ReadJobStatus(TReplyMatcher& Matcher, const std::string& Reply) {
    TJobStatus Status;
    for (const char* Start : {"\rSTATUS", "\nSTATUS"}) {
        const std::size_t At = Reply.find(Start);
        if (At == std::string::npos) continue;
        if (!Matcher.Match(R"([\n\r\s]STATUS\s*=\s*(\d+)\s*;?\s*"?([0-9a-zA-Z ]*)\s*)",
                           std::string_view(Reply).substr(At)))
            FailNotUnderstood(Reply);
        Status = {Matcher.Group(1), Matcher.Group(2)};
    }
    return Status;
}

// Whether a record line is trace data (R or Z): its text before the first
// "=" names it. A binary payload may hold "=" and spaces, which the record
// pattern would otherwise read as records of their own.
bool IsTraceRecordLine(std::string_view Line) {
    const std::size_t Equals = Line.find('=');
    if (Equals == std::string_view::npos) return false;
    const std::string Label = TrimControl(Line.substr(0, Equals));
    return Label == "R" || Label == "Z";
}

}  // namespace

void TForm1::ReqButtonClick() {
    if (std::string Fault = TrayNumberFault(TrayText()); !Fault.empty()) {
        ShowStatus(Fault, 0);
        return;
    }
    FEndMessage.clear();
    FReceived.Radii.clear();
    FReceived.DBL = 0;
    FWorking = FReceived;
    DrawShape();
    FOverlayX = -1;
    FOverlayY = -1;
    FRecords.Clear();
    StartConversation(cvAwaitInitAnswer);
}

void TForm1::JobStep(TReplyMatcher& Matcher) {
    const std::string& Reply = FRxBuffer;
    SendToHost(std::string(1, ACK));
    if (!Matcher.Match("ANS\\s*=\\s*" + FHostDef + "\\D", Reply)) FailNotUnderstood(Reply);

    const TJobStatus Status = ReadJobStatus(Matcher, Reply);
    if (Status.Code != "0") {
        FReceived.Radii.clear();
        FWorking = FReceived;
        DrawShape();
        throw EJobNotFound(Status.Text.empty() ? "Job not found/not available" : Status.Text);
    }

    FReceived.Radii.clear();
    FReceived.DBL = 0;
    std::string Format;
    if (Matcher.Match(R"(TRCFMT\s*=\s*([1234])\s*;\s*([\d]+)\s*;)", Reply)) {
        Format = Matcher.Group(1);
        FPointCount = Matcher.Group(2);
    }
    const std::int64_t Count = PointCountValue(FPointCount);

    // The trace is built aside: a reply that fails below must leave no
    // partial trace behind, which would enable Save Shape.
    std::string Radii;

    // Records, and the format 1 trace: the first Count points of R lines,
    // each line taken whole, so the first trace in the data is the one taken.
    std::string Rest = Reply;
    while (!Rest.empty()) {
        const std::string Line = ExtractLine(Rest);
        const std::string Subject = "\r" + Line + "\r";
        if (!IsTraceRecordLine(Line) && Matcher.Match(R"((\S*)\s*=\s*(\S*)[\r\n])", Subject)) {
            const std::string Label = TrimControl(Matcher.Group(1));
            if (Label != "R" && Label != "Z")
                FRecords.SetValue(Label, TrimControl(Matcher.Group(2)));
        }
        if (Format == "1" && Matcher.Match(R"([\n\r]\s*R\s*=\s*(.*)[\r\n])", Subject) &&
            RadiusCount(Radii) < Count)
            Radii += KeepDigits(TrimControl(Matcher.Group(1)));
    }

    if (Format != "1") {
        FReceived.DBL = -99.9;
        std::string TraceLine;
        bool HasTrace = false;
        Rest = Reply;
        while (!Rest.empty()) {
            const std::string Line = ExtractLine(Rest);
            if (Matcher.Match(R"(DBL\s*=\s*([0-9\.]+)\s*[\n\r])", Line + "\r"))
                if (auto DBL = ReadWireNumber(Matcher.Group(1))) FReceived.DBL = *DBL;
            if (Matcher.Match(R"(\s*R\s*=)", Line)) {
                TraceLine = Line;
                HasTrace = true;
            }
        }
        if (!HasTrace) throw std::runtime_error("Cannot find trace data");
        const std::string_view Data = std::string_view(TraceLine).substr(TraceLine.find('=') + 1);
        if (Format == "2")
            Radii = DecodeTraceFmt2(Data);
        else if (Format == "3")
            Radii = DecodeTraceFmt3(Data);
        else if (Format == "4")
            Radii = DecodeTraceFmt4(
                Data, static_cast<int>(std::min<std::int64_t>(Count, MaxTracePoints + 1)));
        else
            throw std::runtime_error("Trace type " + Format + " is unsupported");
    }

    const int Points = RadiusCount(Radii);
    if (Points != Count)
        throw std::runtime_error("Trace contains " + std::to_string(Points) +
                                 " points, but number of points is " + FPointCount);
    FReceived.Radii = std::move(Radii);

    ShowStatus("Received data", 0);
    FState = cvIdle;
    if (const std::string DBL = FRecords.Value("DBL"); !DBL.empty())
        if (auto Value = ReadWireNumber(DBL)) FReceived.DBL = *Value;
    MeasureShape(FReceived);
    FWorking = FReceived;
    DrawShape();
    EnableControls(true);
    ShowValues();
    ShowStatus("", 0);
}

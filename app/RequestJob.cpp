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
[[noreturn]] void FailNotUnderstood(const std::string& reply) {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(QString::fromLatin1(reply.data(), static_cast<qsizetype>(reply.size())));
    throw std::runtime_error(NotUnderstood);
}

struct TJobStatus {
    std::string Code;
    std::string Text;
};

// The STATUS record after a line end: the one after the first CR, then the
// one after the first LF, the latter winning when both are there.
TJobStatus ReadJobStatus(TReplyMatcher& matcher, const std::string& reply) {
    TJobStatus status;
    for (const char* start : {"\rSTATUS", "\nSTATUS"}) {
        const std::size_t at = reply.find(start);
        if (at == std::string::npos) continue;
        if (!matcher.Match(R"([\n\r\s]STATUS\s*=\s*(\d+)\s*;?\s*"?([0-9a-zA-Z ]*)\s*)",
                           std::string_view(reply).substr(at)))
            FailNotUnderstood(reply);
        status = {matcher.Group(1), matcher.Group(2)};
    }
    return status;
}

// Whether a record line is trace data (R or Z): its text before the first
// "=" names it. A binary payload may hold "=" and spaces, which the record
// pattern would otherwise read as records of their own.
bool IsTraceRecordLine(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string label = TrimControl(line.substr(0, equals));
    return label == "R" || label == "Z";
}

}  // namespace

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
    StartConversation(cvAwaitInitAnswer);
}

void TForm1::JobStep(TReplyMatcher& matcher) {
    const std::string& reply = FRxBuffer;
    SendToHost(std::string(1, ACK));
    if (!matcher.Match("ANS\\s*=\\s*" + FHostDef + "\\D", reply)) FailNotUnderstood(reply);

    const TJobStatus status = ReadJobStatus(matcher, reply);
    if (status.Code != "0") {
        FReceived.Radii.clear();
        FWorking = FReceived;
        DrawShape();
        throw EJobNotFound(status.Text.empty() ? "Job not found/not available" : status.Text);
    }

    FReceived.Radii.clear();
    FReceived.DBL = 0;
    std::string format;
    if (matcher.Match(R"(TRCFMT\s*=\s*([1234])\s*;\s*([\d]+)\s*;)", reply)) {
        format = matcher.Group(1);
        FPointCount = matcher.Group(2);
    }
    const std::int64_t count = PointCountValue(FPointCount);

    // The trace is built aside: a reply that fails below must leave no
    // partial trace behind, which would enable Save Shape.
    std::string radii;

    // Records, and the format 1 trace: the first Count points of R lines,
    // each line taken whole, so the first trace in the data is the one taken.
    std::string rest = reply;
    while (!rest.empty()) {
        const std::string line = ExtractLine(rest);
        const std::string subject = "\r" + line + "\r";
        if (!IsTraceRecordLine(line) && matcher.Match(R"((\S*)\s*=\s*(\S*)[\r\n])", subject)) {
            const std::string label = TrimControl(matcher.Group(1));
            if (label != "R" && label != "Z")
                FRecords.SetValue(label, TrimControl(matcher.Group(2)));
        }
        if (format == "1" && matcher.Match(R"([\n\r]\s*R\s*=\s*(.*)[\r\n])", subject) &&
            RadiusCount(radii) < count)
            radii += KeepDigits(TrimControl(matcher.Group(1)));
    }

    if (format != "1") {
        FReceived.DBL = -99.9;
        std::string traceLine;
        bool hasTrace = false;
        rest = reply;
        while (!rest.empty()) {
            const std::string line = ExtractLine(rest);
            if (matcher.Match(R"(DBL\s*=\s*([0-9\.]+)\s*[\n\r])", line + "\r"))
                if (auto dbl = ReadWireNumber(matcher.Group(1))) FReceived.DBL = *dbl;
            if (matcher.Match(R"(\s*R\s*=)", line)) {
                traceLine = line;
                hasTrace = true;
            }
        }
        if (!hasTrace) throw std::runtime_error("Cannot find trace data");
        const std::string_view payload = std::string_view(traceLine).substr(traceLine.find('=') + 1);
        if (format == "2")
            radii = DecodeTraceFmt2(payload);
        else if (format == "3")
            radii = DecodeTraceFmt3(payload);
        else if (format == "4")
            radii = DecodeTraceFmt4(
                payload, static_cast<int>(std::min<std::int64_t>(count, MaxTracePoints + 1)));
        else
            throw std::runtime_error("Trace type " + format + " is unsupported");
    }

    const int points = RadiusCount(radii);
    if (points != count)
        throw std::runtime_error("Trace contains " + std::to_string(points) +
                                 " points, but number of points is " + FPointCount);
    FReceived.Radii = std::move(radii);

    ShowStatus("Received data", 0);
    FState = cvIdle;
    if (const std::string dbl = FRecords.Value("DBL"); !dbl.empty())
        if (auto value = ReadWireNumber(dbl)) FReceived.DBL = *value;
    MeasureShape(FReceived);
    FWorking = FReceived;
    DrawShape();
    EnableControls(true);
    ShowValues();
    ShowStatus("", 0);
}

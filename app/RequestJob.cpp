// The request conversation: Request Shape and the reading of the host's job
// data into the received shape and the job's records.

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "oma/HostPackets.h"
#include "oma/HostReplies.h"
#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"

namespace {

// Support reads a reply the program could not make sense of from the clipboard.
void CopyToClipboard(const std::string& reply) {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(QString::fromLatin1(reply.data(), static_cast<qsizetype>(reply.size())));
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

void TForm1::JobStep() {
    SendToHost(std::string(1, ACK));
    // Nothing of a reply that fails is kept: a partial trace would enable Save Shape.
    FReceived.Radii.clear();
    TJobData job;
    try {
        job = ReadJobReply(FRxBuffer, FHostDef, FPointCount);
    } catch (const EReplyNotUnderstood&) {
        CopyToClipboard(FRxBuffer);
        throw;
    } catch (const EJobNotFound&) {
        FWorking = FReceived;
        DrawShape();
        throw;
    }

    FPointCount = job.PointCount;
    FRecords.Clear();
    for (std::string& line : job.Records) FRecords.Add(std::move(line));
    FReceived.Radii = std::move(job.Radii);
    FReceived.DBL = job.DBL;
    ShowStatus("Received data", 0);
    FState = cvIdle;
    MeasureShape(FReceived);
    FWorking = FReceived;
    DrawShape();
    EnableControls(true);
    ShowValues();
    ShowStatus("", 0);
}

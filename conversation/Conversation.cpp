#include "conversation/Conversation.h"

#include <algorithm>
#include <stdexcept>

#include "oma/HostPackets.h"
#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"
#include "shape/ShapeEdit.h"

namespace {

const std::string Ack(1, ACK);

}  // namespace

bool TicksApart(std::uint32_t now, std::uint32_t last, std::uint32_t limit) {
    const std::uint32_t forward = now - last;
    const std::uint32_t backward = last - now;
    return std::min(forward, backward) > limit;
}

std::string DropBeforeFS(std::string& buffer) {
    const std::size_t first = buffer.find(FS);
    const std::size_t count = first == std::string::npos ? buffer.size() : first;
    std::string dropped = buffer.substr(0, count);
    buffer.erase(0, count);
    return dropped;
}

// --- Sending and the timer ------------------------------------------------------

void TConversation::SendToHost(const std::string& text) {
    const std::int32_t sent = FSink.Write(text);
    // A write that runs out of time succeeds with fewer bytes: the host then
    // holds a broken packet, so the log shows what went and the send fails.
    if (sent < 0 || static_cast<std::size_t>(sent) < text.size()) {
        const std::size_t went = static_cast<std::size_t>(std::max(sent, 0));
        FSink.LogToHost(text.substr(0, went));
        if (FRecorder) FRecorder->ToHost(text.substr(0, went));
        throw std::runtime_error("Timeout sending to host: " + std::to_string(went) + " of " +
                                 std::to_string(text.size()) + " bytes sent");
    }
    FSink.LogToHost(text);
    if (FRecorder) FRecorder->ToHost(text);
    if (FState != cvIdle) {
        FCountdown = ReplyTimeoutSeconds;
        // A running timer keeps its one-second rhythm.
        if (!FTimerOn) SetTimer(true);
    }
}

void TConversation::SetState(std::uint8_t state) {
    if (FRecorder && state != FState) FRecorder->Event("state", StateName(state));
    FState = state;
}

void TConversation::Record(std::string_view result, std::string_view message) {
    if (FRecorder) FRecorder->Outcome(result, message);
}

void TConversation::SetTimer(bool on) {
    FTimerOn = on;
    FSink.TimerRunning(on);
}

void TConversation::LogUnfinishedReply() {
    LogDroppedCount();
    if (!FRxBuffer.empty()) FSink.LogIncompleteReply(FRxBuffer);
}

void TConversation::Tick() {
    --FCountdown;
    if (FCountdown <= 0) {
        SetTimer(false);
        LogUnfinishedReply();
        if (FRecorder) FRecorder->Event("timeout");
        if (FResends > 0 && FState != cvIdle) {
            // What came damaged never came again.
            Fail(ChecksumMessage, fdShown);
        } else {
            Record("timeout", TimeoutMessage);
            FSink.TimedOut();
        }
    } else if (FCountdown < 10) {
        FSink.ShowCountdown(FCountdown);
    }
    if (FState == cvIdle) {
        if (FTimerOn) SetTimer(false);
        FSink.ShowCountdown(0);
    }
}

bool TConversation::Cancel() {
    if (!FTimerOn) return false;
    SetTimer(false);
    LogUnfinishedReply();
    if (FRecorder) FRecorder->Event("escape");
    Record("cancelled", {});
    return true;
}

void TConversation::LinkLost(const std::string& message) {
    if (FState == cvIdle) return;
    LogUnfinishedReply();
    Fail(message, fdShown);
}

void TConversation::Abandon() {
    if (FRecorder && !FRecorder->Ended() && FState != cvIdle) Record("abandoned", {});
    LogDroppedCount();
    SetState(cvIdle);
    FResends = 0;
    // A partial reply must not be glued onto the next conversation's first reply.
    FRxBuffer.clear();
}

void TConversation::StopTimer() {
    if (!FTimerOn) return;
    SetTimer(false);
    FSink.ShowCountdown(0);
}

void TConversation::Reset() {
    FRxBuffer.clear();
    SetState(cvIdle);
    FCountdown = 0;
    FPointCount.clear();
    FHostDef.clear();
    FStoreInitReply.clear();
    FLastRxTick = 0;
    FResends = 0;
    FUncheckedNoted = false;
    FDroppedLogged = 0;
    FDroppedCounted = 0;
}

// --- Starting ---------------------------------------------------------------------

void TConversation::StartRequest(const TConversationSettings& settings) {
    StartConversation(cvAwaitInitAnswer, settings);
}

void TConversation::StartStore(const TConversationSettings& settings) {
    FHostDef.clear();
    FStoreInitReply.clear();
    StartConversation(cvAwaitStoreInit, settings);
}

void TConversation::StartConversation(TConversationState state,
                                      const TConversationSettings& settings) {
    FSettings = settings;
    FFailedReply.clear();
    // What was dropped since the last conversation is counted before it starts.
    LogDroppedCount();
    FResends = 0;
    FUncheckedNoted = false;
    const std::string packet = BuildPacket(InitRequestBody());
    SetState(state);
    FSink.ShowStatus("Sent request to initialize", 0);
    FSink.EnableControls(false);
    try {
        SendToHost(packet);
    } catch (const std::exception& e) {
        // No countdown runs for an unsent request: a stray packet must not
        // be taken for its answer.
        SetState(cvIdle);
        Record("not sent", e.what());
        FSink.EnableControls(true);
        if (FSink.StartFailed(e.what())) throw;
    }
}

// --- Receiving -------------------------------------------------------------------

void TConversation::Received(const std::string& bytes, std::uint32_t now) {
    if (FRecorder) FRecorder->FromHost(bytes);
    if (TicksApart(now, FLastRxTick, RxStaleMs)) FRxBuffer.clear();
    FLastRxTick = now;

    // Only new bytes can hold a GS not yet announced: an earlier one has
    // already been announced and is waiting for its handler.
    const std::size_t scanFrom = FRxBuffer.size();
    FRxBuffer += bytes;
    const std::string dropped = DropBeforeFS(FRxBuffer);
    LogDropped(dropped);
    // A packet has begun: the run of dropped bytes is over.
    if (!FRxBuffer.empty()) LogDroppedCount();

    const std::size_t from = dropped.empty() ? scanFrom : 0;
    if (FRxBuffer.find(GS, from) != std::string::npos) {
        FSink.ReplyComplete();
    } else if (FRxBuffer.size() > MaxRxBuffer && FRxBuffer.find(GS) == std::string::npos) {
        FSink.LogLine("Receive buffer overflow: " + std::to_string(FRxBuffer.size()) +
                      " bytes without GS dropped");
        FRxBuffer.clear();
        FRxBuffer.shrink_to_fit();
    }
}

void TConversation::HostReply() {
    // A reply is handled once, even if a second announcement was queued.
    if (FRxBuffer.find(GS) == std::string::npos) return;
    FSink.LogFromHost(FRxBuffer);
    if (!ChecksumAccepted()) return;
    try {
        ProcessReply();
    } catch (const EJobNotFound& e) {
        FFailedReply = FRxBuffer;
        Fail(e.what(), fdQuiet);
        return;
    } catch (const std::exception& e) {
        FFailedReply = FRxBuffer;
        Fail(e.what(), fdShown);
        return;
    }
    FRxBuffer.clear();
}

void TConversation::LogDropped(const std::string& dropped) {
    std::size_t logged = 0;
    for (; logged < dropped.size() && FDroppedLogged < MaxDroppedLogged; ++logged, ++FDroppedLogged)
        FSink.LogFromHost(std::string(1, dropped[logged]));
    FDroppedCounted += dropped.size() - logged;
}

void TConversation::LogDroppedCount() {
    if (FDroppedCounted > 0)
        FSink.LogLine(std::to_string(FDroppedCounted) +
                      " more bytes before FS dropped (only the first " +
                      std::to_string(MaxDroppedLogged) + " are logged one by one)");
    FDroppedLogged = 0;
    FDroppedCounted = 0;
}

bool TConversation::ChecksumAccepted() {
    // Between conversations a packet is only logged, and without the check
    // every packet is taken as it came.
    if (FState == cvIdle || !FSettings.VerifyChecksums) return true;
    const TPacketCheck check = CheckPacket(FRxBuffer);
    if (check.Kind != TPacketCheck::ckBad) {
        if (check.Kind == TPacketCheck::ckMissing && !FUncheckedNoted) {
            FUncheckedNoted = true;
            FSink.LogLine("The host's packet carries no checksum: taken unchecked");
        }
        FResends = 0;
        return true;
    }
    // The log line stays one line, and short, whatever stood in the record.
    std::string received = RenderControlChars(check.Received.substr(0, 40));
    received.erase(
        std::remove_if(received.begin(), received.end(), [](char c) { return c == CR || c == LF; }),
        received.end());
    if (check.Received.size() > 40) received += "...";
    FSink.LogLine("Checksum error: expected CRC=" + std::to_string(check.Expected) + ", received " +
                  received);
    FRxBuffer.clear();
    if (FResends >= MaxResends) {
        Fail(ChecksumMessage, fdShown);
        return false;
    }
    ++FResends;
    if (FRecorder) FRecorder->Event("checksum error");
    try {
        SendToHost(std::string(1, NAK));
    } catch (const std::exception& e) {
        Fail(e.what(), fdShown);
    }
    return false;
}

void TConversation::Fail(const std::string& message, TFailure failure) {
    FRxBuffer.clear();
    FSink.ShowStatus(message, 0);
    SetState(cvIdle);
    Record(failure == fdQuiet ? "not found" : "failed", message);
    if (FTimerOn) SetTimer(false);
    FSink.EnableControls(true);
    FSink.ShowStatus(std::string(), 1);
    FSink.Failed(message, failure);
}

void TConversation::ProcessReply() {
    switch (FState) {
        case cvAwaitInitAnswer:
            return InitAnswerStep();
        case cvAwaitDefinition:
            return DefinitionStep();
        case cvAwaitJob:
            return JobStep();
        case cvAwaitStoreInit:
            return StoreInitStep();
        case cvAwaitStoreGrant:
            return StoreGrantStep();
        case cvAwaitStoreResult:
            return StoreResultStep();
        case cvAwaitStoreDefinition:
            return StoreDefinitionStep();
        default:
            return;  // cvIdle: a packet is logged and otherwise ignored
    }
}

// --- Steps: initialization and negotiation -----------------------------------------------

void TConversation::PauseAfterInit() {
    if (FSettings.PauseAfterInit) FSink.Pause(PauseAfterInitMs);
}

void TConversation::InitAnswerStep() {
    ReadInitAnswer(FRxBuffer);
    SendToHost(Ack);
    const std::string packet = BuildPacket(EdgerDescriptionBody());
    FSink.ShowStatus("Sent information specs to host", 0);
    SetState(cvAwaitDefinition);
    SendToHost(packet);
}

void TConversation::DefinitionStep() {
    const THostDefinition definition = ReadHostDefinition(FRxBuffer);
    FHostDef = definition.HostDef;
    FPointCount = definition.Trace.PointCount;
    SendToHost(Ack);
    PauseAfterInit();
    const std::string tray = FSink.Tray();
    const std::string packet =
        BuildPacket(JobRequestBody(FHostDef, tray, definition.Trace.Format, FPointCount));
    FSink.ShowStatus("Requesting job " + tray, 0);
    SetState(cvAwaitJob);
    SendToHost(packet);
}

void TConversation::StoreInitStep() {
    ReadStoreInitAnswer(FRxBuffer);
    SendToHost(Ack);
    std::string packet;
    if (FSettings.NoInit) {
        const std::string tray = FSink.Tray();
        packet = BuildPacket(NoInitStoreBody(tray));
        FSink.ShowStatus("Requesting to store job " + tray, 0);
        SetState(cvAwaitStoreGrant);
    } else {
        packet = BuildPacket(TracerDescriptionBody());
        FSink.ShowStatus("Negotiating trace format with host", 0);
        SetState(cvAwaitStoreDefinition);
    }
    SendToHost(packet);
}

void TConversation::StoreDefinitionStep() {
    const std::optional<std::string> def = ReadStoreDefinition(FRxBuffer);
    // A reply with a positive status is acknowledged even without its DEF.
    SendToHost(Ack);
    FStoreInitReply = FRxBuffer;
    if (!def) throw std::runtime_error(HostDefMissing);
    FHostDef = *def;
    const std::string tray = FSink.Tray();
    const std::string packet = BuildPacket(StoreRequestBody(FHostDef, tray));
    PauseAfterInit();
    SendToHost(packet);
    FSink.ShowStatus("Requesting to store job " + tray, 0);
    SetState(cvAwaitStoreGrant);
}

// --- Steps: the job and the store ----------------------------------------------------------

void TConversation::JobStep() {
    SendToHost(Ack);
    // Nothing of a reply that fails is kept: a partial trace would enable Save Shape.
    FSink.JobReading();
    TJobData job;
    try {
        job = ReadJobReply(FRxBuffer, FHostDef, FPointCount);
    } catch (const EReplyNotUnderstood&) {
        FSink.ReplyNotUnderstood(FRxBuffer);
        throw;
    } catch (const EJobNotFound&) {
        FSink.JobNotFound();
        throw;
    }
    FPointCount = job.PointCount;
    FSink.ShowStatus("Received data", 0);
    SetState(cvIdle);
    Record("job", {});
    FSink.JobReceived(job);
    FSink.ShowStatus("", 0);
}

void TConversation::StoreGrantStep() {
    const std::optional<TTraceFormat> granted =
        ReadStoreGrant(FRxBuffer, FSettings.NoInit ? FRxBuffer : FStoreInitReply);
    SendToHost(Ack);

    TStoreSource upload = FSink.StoreSource();
    std::string format = "1";
    std::string count = std::to_string(RadiusCount(upload.Working.Radii));
    if (granted) {
        format = granted->Format;
        count = granted->PointCount;
    }
    // The point tables hold at most MaxTracePoints; fewer than MinTracePoints
    // describe no frame an edger could cut.
    const std::int64_t points = PointCountValue(count);
    if (points < MinTracePoints || points > MaxTracePoints)
        throw std::runtime_error("Cannot store a trace of " + count + " points");

    const std::string tray = FSink.Tray();
    upload.Format = format;
    upload.Working.Radii = ResampledRadii(upload.Working.Radii, static_cast<int>(points));
    TNameValueList& records = upload.Records;
    records.SetValue("HBOX", FormatBoxValue(upload.Working.HBox));
    records.SetValue("VBOX", FormatBoxValue(upload.Working.VBox));
    records.SetValue("CIRC", FormatBoxValue(upload.Working.Circ));
    double dbl = 0;
    try {
        dbl = FSink.StoreDBL();
    } catch (...) {
        FSink.StoreUploading(upload);
        throw;
    }
    records.SetValue("DBL", FormatWireNumber(dbl));
    for (const char* label : NeverEchoedLabels)
        while (records.IndexOfName(label) >= 0) records.SetValue(label, "");
    FSink.StoreUploading(upload);

    const std::string packet = BuildPacket(
        StoreUploadBody(FHostDef, tray, format, count, upload.Working.Radii, records));
    FSink.ShowStatus("Storing the shape to job " + tray, 0);
    SetState(cvAwaitStoreResult);
    SendToHost(packet);
}

void TConversation::StoreResultStep() {
    SendToHost(Ack);
    ReadStoreVerdict(FRxBuffer);
    SetState(cvIdle);
    Record("stored", "Job stored");
    FSink.ShowStatus("Job stored", 0);
    FSink.JobStored();
}

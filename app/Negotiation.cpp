// The opening of every conversation: the initialization request, the device
// descriptions and the agreement on DEF label, trace format and point count.

#include <QLineEdit>
#include <stdexcept>

#include "app/CommLog.h"
#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "oma/HostPackets.h"
#include "oma/HostReplies.h"
#include "oma/OMAMach.h"
#include "serial/Comms.h"

namespace {

constexpr unsigned PauseAfterInitMs = 4000;

}  // namespace

std::string TForm1::TrayText() const {
    return TrayEdit->text().toLatin1().toStdString();
}

std::string TForm1::PacketTray() const {
    // The field stays editable during a conversation, so every packet checks again.
    if (std::string fault = TrayNumberFault(TrayEdit->text()); !fault.empty())
        throw std::runtime_error(fault);
    return TrayText();
}

void TForm1::StartConversation(TConversationState state) {
    const std::string packet = BuildPacket(InitRequestBody());
    FState = state;
    ShowStatus("Sent request to initialize", 0);
    EnableControls(false);
    try {
        SendToHost(packet);
    } catch (const std::exception& e) {
        // No countdown runs for an unsent request: a stray packet must not
        // be taken for its answer.
        FState = cvIdle;
        EnableControls(true);
        if (!COMPort->Active()) {
            ReportPortNotOpen(e.what());
            return;
        }
        // The request did not go (a dead line): the panel must not go on
        // saying it did, and the log keeps why.
        FLog.AddEndLine(e.what(), FormatTimeStamp(LocalTime()));
        ShowStatus(e.what(), 0);
        throw;
    }
}

void TForm1::PauseAfterInit() {
    if (SettingsList.Value("PauseMode") == "Y") Pause(PauseAfterInitMs);
}

void TForm1::MeasureShape(TTraceInfo& trace) {
    MeasureTrace(trace);
}

void TForm1::InitAnswerStep() {
    ReadInitAnswer(FRxBuffer);
    SendToHost(std::string(1, ACK));
    const std::string packet = BuildPacket(EdgerDescriptionBody());
    ShowStatus("Sent information specs to host", 0);
    FState = cvAwaitDefinition;
    SendToHost(packet);
}

void TForm1::DefinitionStep() {
    const THostDefinition definition = ReadHostDefinition(FRxBuffer);
    FHostDef = definition.HostDef;
    FPointCount = definition.Trace.PointCount;
    SendToHost(std::string(1, ACK));
    PauseAfterInit();
    const std::string tray = PacketTray();
    const std::string packet =
        BuildPacket(JobRequestBody(FHostDef, tray, definition.Trace.Format, FPointCount));
    ShowStatus("Requesting job " + tray, 0);
    FState = cvAwaitJob;
    SendToHost(packet);
}

void TForm1::StoreInitStep() {
    ReadStoreInitAnswer(FRxBuffer);
    SendToHost(std::string(1, ACK));
    std::string packet;
    if (SettingsList.Value("TracerMode") == "No Init") {
        const std::string tray = PacketTray();
        packet = BuildPacket(NoInitStoreBody(tray));
        ShowStatus("Requesting to store job " + tray, 0);
        FState = cvAwaitStoreGrant;
    } else {
        packet = BuildPacket(TracerDescriptionBody());
        ShowStatus("Negotiating trace format with host", 0);
        FState = cvAwaitStoreDefinition;
    }
    SendToHost(packet);
}

void TForm1::StoreDefinitionStep() {
    const std::optional<std::string> def = ReadStoreDefinition(FRxBuffer);
    // A reply with a positive status is acknowledged even without its DEF.
    SendToHost(std::string(1, ACK));
    FStoreInitReply = FRxBuffer;
    if (!def) throw std::runtime_error(HostDefMissing);
    FHostDef = *def;
    const std::string tray = PacketTray();
    const std::string packet = BuildPacket(StoreRequestBody(FHostDef, tray));
    PauseAfterInit();
    SendToHost(packet);
    ShowStatus("Requesting to store job " + tray, 0);
    FState = cvAwaitStoreGrant;
}

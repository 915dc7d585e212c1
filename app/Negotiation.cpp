// The opening of every conversation: the initialization request, the device
// descriptions and the agreement on DEF label, trace format and point count.

#include <QLineEdit>
#include <stdexcept>

#include "app/HostPackets.h"
#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "oma/OMAMach.h"
#include "oma/ReplyMatcher.h"

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
    } catch (...) {
        // No countdown runs for an unsent request: a stray packet must not
        // be taken for its answer.
        FState = cvIdle;
        EnableControls(true);
        throw;
    }
}

void TForm1::PauseAfterInit() {
    if (SettingsList.Value("PauseMode") == "Y") Pause(PauseAfterInitMs);
}

void TForm1::MeasureShape(TTraceInfo& trace) {
    MeasureTrace(trace);
}

void TForm1::InitAnswerStep(TReplyMatcher& matcher) {
    if (!matcher.Match(R"(ANS.*=.*INI.*STATUS.*=.*0\D)", FRxBuffer))
        throw std::runtime_error("Did not receive status 0 on init");
    SendToHost(std::string(1, ACK));
    const std::string packet = BuildPacket(EdgerDescriptionBody());
    ShowStatus("Sent information specs to host", 0);
    FState = cvAwaitDefinition;
    SendToHost(packet);
}

void TForm1::DefinitionStep(TReplyMatcher& matcher) {
    if (!matcher.Match(R"(DEF\s*=\D*(\d+)\D)", FRxBuffer))
        throw std::runtime_error("Did not receive DEF from host (init 2)");
    FHostDef = matcher.Group(1);
    if (!matcher.Match(R"(TRCFMT\s*=\s*([1-4])\s*;\D*(\d+)\D*;)", FRxBuffer))
        throw std::runtime_error("Did not receive TRCFMT from host (init 2)");
    const std::string format = matcher.Group(1);
    FPointCount = matcher.Group(2);
    SendToHost(std::string(1, ACK));
    PauseAfterInit();
    const std::string tray = PacketTray();
    const std::string packet = BuildPacket(JobRequestBody(FHostDef, tray, format, FPointCount));
    ShowStatus("Requesting job " + tray, 0);
    FState = cvAwaitJob;
    SendToHost(packet);
}

void TForm1::StoreInitStep(TReplyMatcher& matcher) {
    if (!matcher.Match(R"(STATUS\s*=\s*0\s*\D+)", FRxBuffer))
        throw std::runtime_error("Did not get positive response from host");
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

void TForm1::StoreDefinitionStep(TReplyMatcher& matcher) {
    if (!matcher.Match(R"(STATUS\s*=\s*0[\s\D])", FRxBuffer))
        throw std::runtime_error("Did not get positive response from host");
    SendToHost(std::string(1, ACK));
    FStoreInitReply = FRxBuffer;
    if (!matcher.Match(R"([\n\r]DEF\s*=.*?;?\s*([0-9A-Za-z]+)\s*[\r\n])", FRxBuffer))
        throw std::runtime_error("Did not find the host's DEF value");
    FHostDef = matcher.Group(1);
    const std::string tray = PacketTray();
    const std::string packet = BuildPacket(StoreRequestBody(FHostDef, tray));
    PauseAfterInit();
    SendToHost(packet);
    ShowStatus("Requesting to store job " + tray, 0);
    FState = cvAwaitStoreGrant;
}

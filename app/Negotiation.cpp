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
    std::string Tray = TrayText();
    // The field stays editable during a conversation, so every packet checks again.
    if (std::string Fault = TrayNumberFault(Tray); !Fault.empty()) throw std::runtime_error(Fault);
    return Tray;
}

void TForm1::StartConversation(TConversationState State) {
    const std::string Packet = BuildPacket(InitRequestBody());
    FState = State;
    ShowStatus("Sent request to initialize", 0);
    EnableControls(false);
    try {
        SendToHost(Packet);
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

void TForm1::MeasureShape(TTraceInfo& Trace) {
    MeasureTrace(Trace);
}

void TForm1::InitAnswerStep(TReplyMatcher& Matcher) {
    if (!Matcher.Match(R"(ANS.*=.*INI.*STATUS.*=.*0\D)", FRxBuffer))
        throw std::runtime_error("Did not receive status 0 on init");
    SendToHost(std::string(1, ACK));
    const std::string Packet = BuildPacket(EdgerDescriptionBody());
    ShowStatus("Sent information specs to host", 0);
    FState = cvAwaitDefinition;
    SendToHost(Packet);
}

void TForm1::DefinitionStep(TReplyMatcher& Matcher) {
    if (!Matcher.Match(R"(DEF\s*=\D*(\d+)\D)", FRxBuffer))
        throw std::runtime_error("Did not receive DEF from host (init 2)");
    FHostDef = Matcher.Group(1);
    if (!Matcher.Match(R"(TRCFMT\s*=\s*([1-4])\s*;\D*(\d+)\D*;)", FRxBuffer))
        throw std::runtime_error("Did not receive TRCFMT from host (init 2)");
    const std::string Format = Matcher.Group(1);
    FPointCount = Matcher.Group(2);
    SendToHost(std::string(1, ACK));
    PauseAfterInit();
    const std::string Tray = PacketTray();
    const std::string Packet = BuildPacket(JobRequestBody(FHostDef, Tray, Format, FPointCount));
    ShowStatus("Requesting job " + Tray, 0);
    FState = cvAwaitJob;
    SendToHost(Packet);
}

void TForm1::StoreInitStep(TReplyMatcher& Matcher) {
    if (!Matcher.Match(R"(STATUS\s*=\s*0\s*\D+)", FRxBuffer))
        throw std::runtime_error("Did not get positive response from host");
    SendToHost(std::string(1, ACK));
    std::string Packet;
    if (SettingsList.Value("TracerMode") == "No Init") {
        const std::string Tray = PacketTray();
        Packet = BuildPacket(NoInitStoreBody(Tray));
        ShowStatus("Requesting to store job " + Tray, 0);
        FState = cvAwaitStoreGrant;
    } else {
        Packet = BuildPacket(TracerDescriptionBody());
        ShowStatus("Negotiating trace format with host", 0);
        FState = cvAwaitStoreDefinition;
    }
    SendToHost(Packet);
}

void TForm1::StoreDefinitionStep(TReplyMatcher& Matcher) {
    if (!Matcher.Match(R"(STATUS\s*=\s*0[\s\D])", FRxBuffer))
        throw std::runtime_error("Did not get positive response from host");
    SendToHost(std::string(1, ACK));
    FStoreInitReply = FRxBuffer;
    if (!Matcher.Match(R"([\n\r]DEF\s*=.*?;?\s*([0-9A-Za-z]+)\s*[\r\n])", FRxBuffer))
        throw std::runtime_error("Did not find the host's DEF value");
    FHostDef = Matcher.Group(1);
    const std::string Tray = PacketTray();
    const std::string Packet = BuildPacket(StoreRequestBody(FHostDef, Tray));
    PauseAfterInit();
    SendToHost(Packet);
    ShowStatus("Requesting to store job " + Tray, 0);
    FState = cvAwaitStoreGrant;
}

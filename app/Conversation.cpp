#include "app/Conversation.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "oma/OMAMach.h"
#include "serial/Comms.h"

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

void TForm1::SendToHost(const std::string& text) {
    const std::int32_t sent = COMPort->Write(text, true);
    // A write that runs out of time succeeds with fewer bytes: the host then
    // holds a broken packet, so the log shows what went and the send fails.
    if (sent < 0 || static_cast<std::size_t>(sent) < text.size()) {
        const std::size_t went = static_cast<std::size_t>(std::max(sent, 0));
        LogToHost(text.substr(0, went));
        throw std::runtime_error("Timeout sending to host: " + std::to_string(went) + " of " +
                                 std::to_string(text.size()) + " bytes sent");
    }
    LogToHost(text);
    if (FState != cvIdle) {
        FCountdown = ReplyTimeoutSeconds;
        // A running timer keeps its one-second rhythm.
        if (!TimeoutTimer->isActive()) TimeoutTimer->start();
    }
}

void TForm1::Pause(unsigned milliseconds) {
    if (FHooks.Sleep)
        FHooks.Sleep(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void TForm1::ShowStatus(const std::string& text, int panel) {
    ShowStatusText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), panel);
}

void TForm1::ShowStatusText(const QString& text, int panel) {
    StatusBar1->SetPanelText(panel, text);
    // Panel 0 may cut a long message; the bar's tooltip always holds all of it,
    // whichever panel changed last (the countdown changes every second).
    StatusBar1->SetHint(StatusBar1->PanelText(0));
}

void TForm1::EnableControls(bool enable) {
    SaveButton->setEnabled(enable && !FReceived.Radii.empty());
    ReqButton->setEnabled(enable);
    SettingsButton->setEnabled(enable);
    ResetButton->setEnabled(SaveButton->isEnabled());
    ShowOrigCheckbox->setEnabled(ResetButton->isEnabled());
    DetailedGridCheckBox->setEnabled(ResetButton->isEnabled());
}

void TForm1::COMPortRxChar(std::int32_t count) {
    const std::uint32_t now = TickCount();
    if (TicksApart(now, FLastRxTick, RxStaleMs)) FRxBuffer.clear();

    std::string bytes = ReadWaiting(count);
    FLastRxTick = now;

    // Only new bytes can hold a GS not yet announced: an earlier one has
    // already been posted and is waiting for its handler.
    const std::size_t scanFrom = FRxBuffer.size();
    FRxBuffer += bytes;
    const std::string dropped = DropBeforeFS(FRxBuffer);
    for (char byte : dropped) LogFromHost(std::string(1, byte));

    const std::size_t from = dropped.empty() ? scanFrom : 0;
    if (FRxBuffer.find(GS, from) != std::string::npos) {
        PostMessage(WM_HOSTREPLY);
    } else if (FRxBuffer.size() > MaxRxBuffer && FRxBuffer.find(GS) == std::string::npos) {
        FLog.AddEndLine("Receive buffer overflow: " + std::to_string(FRxBuffer.size()) +
                            " bytes without GS dropped",
                        FormatTimeStamp(LocalTime()));
        FRxBuffer.clear();
        FRxBuffer.shrink_to_fit();
    }
}

// Reads the Count bytes the receive event reported; bytes that arrive
// meanwhile are announced by the port's next event.
std::string TForm1::ReadWaiting(std::int32_t count) {
    std::string bytes;
    if (count <= 0) return bytes;
    // Read leaves Data at Count bytes whatever it got; keep what it got.
    const std::int32_t got = COMPort->Read(bytes, count, true);
    bytes.resize(static_cast<std::size_t>(std::max(got, 0)));
    return bytes;
}

void TForm1::HostReply() {
    // A reply is handled once, even if a second announcement was queued.
    if (FRxBuffer.find(GS) == std::string::npos) return;
    LogFromHost(FRxBuffer);
    try {
        ProcessReply();
    } catch (const EJobNotFound& e) {
        FRxBuffer.clear();
        EndConversationQuietly(e.what());
        return;
    } catch (const std::exception& e) {
        FRxBuffer.clear();
        EndConversationQuietly(e.what());
        SendMessage(WM_ENDCONVERSATION);
        return;
    }
    FRxBuffer.clear();
}

void TForm1::ProcessReply() {
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

void TForm1::EndConversationQuietly(const std::string& message) {
    ShowStatus(message, 0);
    FState = cvIdle;
    FRxBuffer.clear();
    TimeoutTimer->stop();
    EnableControls(true);
    ShowStatus(std::string(), 1);
    FEndMessage = message;
    // A request that ends here leaves no shape: nothing to edit or store.
    ShowValues();
}

void TForm1::TimeoutTimerTimer() {
    --FCountdown;
    if (FCountdown <= 0) {
        TimeoutTimer->stop();
        FEndMessage = "Timeout waiting for host";
        SendMessage(WM_ENDCONVERSATION);
    } else if (FCountdown < 10) {
        StatusBar1->SetPanelText(1, QString::number(FCountdown));
    }
    if (FState == cvIdle) {
        TimeoutTimer->stop();
        StatusBar1->SetPanelText(1, QString());
    }
}

bool TForm1::FormKeyDown(QKeyEvent* key) {
    if (key->key() == Qt::Key_Escape) {
        if (TimeoutTimer->isActive()) {
            TimeoutTimer->stop();
            SendMessage(WM_ENDCONVERSATION);
        }
        return false;  // passed on either way
    }
    return OverlayKeyDown(key);
}

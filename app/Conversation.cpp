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
#include "oma/ReplyMatcher.h"
#include "serial/Comms.h"

bool TicksApart(std::uint32_t Now, std::uint32_t Last, std::uint32_t Limit) {
    const std::uint32_t Forward = Now - Last;
    const std::uint32_t Backward = Last - Now;
    return std::min(Forward, Backward) > Limit;
}

std::string DropBeforeFS(std::string& Buffer) {
    const std::size_t First = Buffer.find(FS);
    const std::size_t Count = First == std::string::npos ? Buffer.size() : First;
    std::string Dropped = Buffer.substr(0, Count);
    Buffer.erase(0, Count);
    return Dropped;
}

void TForm1::SendToHost(const std::string& Text) {
    const std::int32_t Sent = COMPort->Write(Text, true);
    // A write that runs out of time succeeds with fewer bytes: the host then
    // holds a broken packet, so the log shows what went and the send fails.
    if (Sent < 0 || static_cast<std::size_t>(Sent) < Text.size()) {
        const std::size_t Went = static_cast<std::size_t>(std::max(Sent, 0));
        LogToHost(Text.substr(0, Went));
        throw std::runtime_error("Timeout sending to host: " + std::to_string(Went) + " of " +
                                 std::to_string(Text.size()) + " bytes sent");
    }
    LogToHost(Text);
    if (FState != cvIdle) {
        FCountdown = ReplyTimeoutSeconds;
        // A running timer keeps its one-second rhythm.
        if (!TimeoutTimer->isActive()) TimeoutTimer->start();
    }
}

void TForm1::Pause(unsigned Milliseconds) {
    if (FHooks.Sleep)
        FHooks.Sleep(Milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

void TForm1::ShowStatus(const std::string& Text, int Panel) {
    const QString Shown = QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
    StatusBar1->SetPanelText(Panel, Shown);
    StatusBar1->SetHint(Shown);
}

void TForm1::EnableControls(bool Enable) {
    SaveButton->setEnabled(Enable && !FReceived.Radii.empty());
    ReqButton->setEnabled(Enable);
    SettingsButton->setEnabled(Enable);
    ResetButton->setEnabled(SaveButton->isEnabled());
    ShowOrigCheckbox->setEnabled(ResetButton->isEnabled());
    DetailedGridCheckBox->setEnabled(ResetButton->isEnabled());
}

void TForm1::COMPortRxChar(std::int32_t Count) {
    const std::uint32_t Now = TickCount();
    if (TicksApart(Now, FLastRxTick, RxStaleMs)) FRxBuffer.clear();

    std::string Data = ReadWaiting(Count);
    FLastRxTick = Now;

    // Only new bytes can hold a GS not yet announced: an earlier one has
    // already been posted and is waiting for its handler.
    const std::size_t ScanFrom = FRxBuffer.size();
    FRxBuffer += Data;
    const std::string Dropped = DropBeforeFS(FRxBuffer);
    for (char Byte : Dropped) LogFromHost(std::string(1, Byte));

    const std::size_t From = Dropped.empty() ? ScanFrom : 0;
    if (FRxBuffer.find(GS, From) != std::string::npos) {
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
std::string TForm1::ReadWaiting(std::int32_t Count) {
    std::string Data;
    if (Count <= 0) return Data;
    // Read leaves Data at Count bytes whatever it got; keep what it got.
    const std::int32_t Got = COMPort->Read(Data, Count, true);
    Data.resize(static_cast<std::size_t>(std::max(Got, 0)));
    return Data;
}

void TForm1::HostReply() {
    // A reply is handled once, even if a second announcement was queued.
    if (FRxBuffer.find(GS) == std::string::npos) return;
    LogFromHost(FRxBuffer);
    try {
        ProcessReply();
    } catch (const EJobNotFound& E) {
        FRxBuffer.clear();
        EndConversationQuietly(E.what());
        return;
    } catch (const std::exception& E) {
        FRxBuffer.clear();
        EndConversationQuietly(E.what());
        SendMessage(WM_ENDCONVERSATION);
        return;
    }
    FRxBuffer.clear();
}

void TForm1::ProcessReply() {
    TReplyMatcher Matcher;  // a fresh matcher for every reply
    if (FState >= ConversationStateCount) return;
    if (const TStepHandler& Step = FStepTable[FState]) Step(*this, Matcher);
}

void TForm1::EndConversationQuietly(const std::string& Message) {
    ShowStatus(Message, 0);
    FState = cvIdle;
    TimeoutTimer->stop();
    EnableControls(true);
    // Panel 1 only: the hint keeps the message.
    StatusBar1->SetPanelText(1, QString());
    FEndMessage = Message;
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

bool TForm1::FormKeyDown(QKeyEvent* Key) {
    if (Key->key() == Qt::Key_Escape) {
        if (TimeoutTimer->isActive()) {
            TimeoutTimer->stop();
            SendMessage(WM_ENDCONVERSATION);
        }
        return false;  // passed on either way
    }
    return OverlayKeyDown(Key);
}

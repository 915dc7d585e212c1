#include "cli/CliSession.h"

#include <chrono>
#include <thread>

TCliSession::TCliSession(std::shared_ptr<TCliLoop> loop, const TComPortHooks& hooks,
                         TComPort& serialPort, TSessionOptions options)
    : FLoop(std::move(loop)), FSession(*this, hooks, serialPort, {}, std::move(options)) {
    FLoop->OnTick = [this] { FSession.Tick(); };
}

TCliSession::~TCliSession() {
    FLoop->OnTick = nullptr;
    FLoop->StopTimer();
}

TCliOutcome TCliSession::Request(const TNameValueList& settings, const std::string& tray) {
    FTray = tray;
    return Run([&] { FSession.StartRequest(settings, tray); });
}

TCliOutcome TCliSession::Store(const TNameValueList& settings, const std::string& tray,
                               TStoreSource source, double dbl) {
    FTray = tray;
    FSource = std::move(source);
    FDBL = dbl;
    return Run([&] { FSession.StartStore(settings, tray); });
}

TCliOutcome TCliSession::Run(const std::function<void()>& start) {
    FOutcome = {};
    FEnded = false;
    try {
        start();
    } catch (const std::exception&) {
        // The first packet did not go; Ended has told why.
    }
    FLoop->Run([this] { return FEnded; });
    FSession.Abandon();
    FLoop->StopTimer();
    FOutcome.BytesSent = FSession.BytesSent();
    FOutcome.BytesReceived = FSession.BytesReceived();
    return FOutcome;
}

void TCliSession::End(TCliOutcome::TKind kind, const std::string& message) {
    if (FEnded) return;  // the first ending counts
    FOutcome.Kind = kind;
    FOutcome.Message = message;
    FEnded = true;
}

void TCliSession::ReplyWaiting() {
    // As the window does: the step runs after the delivery has returned.
    FLoop->Post([this] {
        if (!FEnded) FSession.HostReply();
    });
}

void TCliSession::TimerRunning(bool running) {
    if (running)
        FLoop->StartTimer();
    else
        FLoop->StopTimer();
}

void TCliSession::Pause(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void TCliSession::ShowCountdown(std::int32_t seconds) {
    if (OnCountdown) OnCountdown(seconds);
}

void TCliSession::JobReceived(TJobData& job) {
    FOutcome.Job = job;
    End(TCliOutcome::okJob, {});
}

void TCliSession::JobStored() {
    End(TCliOutcome::okStored, "Job stored");
}

void TCliSession::Ended(const TSessionEnd& end) {
    switch (end.Kind) {
        case TSessionEnd::seNotStarted:
            return End(TCliOutcome::okNotStarted, end.Message);
        case TSessionEnd::seTimeout:
            return End(TCliOutcome::okTimeout, end.Message);
        case TSessionEnd::seNotFound:
        case TSessionEnd::seFailed:
            if (!FEnded) FOutcome.HostStatus = HostStatusOf(end.HostReply);
            return End(TCliOutcome::okFailed, end.Message);
    }
}

#include "cli/CliSession.h"

#include <QTime>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {

std::uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string Stamp() {
    return FormatTimeStamp(QTime::currentTime());
}

}  // namespace

TCliSession::TCliSession(TLink& link, TCliLoop& loop, TCommLog& log)
    : FLink(link), FLoop(loop), FLog(log), FEngine(*this) {
    FLink.OnReceive = [this](std::int32_t count) {
        const std::string bytes = FLink.Read(count);
        FOutcome.BytesReceived += bytes.size();
        FEngine.Received(bytes, TickCount());
    };
    // A network host that closes its connection ends the conversation at once.
    FLink.OnClosed = [this](const std::string& reason) { FEngine.LinkLost(reason); };
    FLink.OnLogLine = [this](const std::string& text) { FLog.AddEndLine(text, Stamp()); };
    FLoop.OnTick = [this] { FEngine.Tick(); };
}

TCliSession::~TCliSession() {
    FLink.OnReceive = nullptr;
    FLink.OnClosed = nullptr;
    FLink.OnLogLine = nullptr;
    FLoop.OnTick = nullptr;
    FLoop.StopTimer();
}

TCliOutcome TCliSession::Request(const std::string& tray, const TConversationSettings& settings) {
    FTray = tray;
    return Run([&] { FEngine.StartRequest(settings); });
}

TCliOutcome TCliSession::Store(const std::string& tray, TStoreSource source, double dbl,
                               const TConversationSettings& settings) {
    FTray = tray;
    FSource = std::move(source);
    FDBL = dbl;
    return Run([&] { FEngine.StartStore(settings); });
}

TCliOutcome TCliSession::Run(const std::function<void()>& start) {
    FOutcome = {};
    FEnded = false;
    start();
    FLoop.Run([this] { return FEnded; });
    FEngine.Abandon();
    FLoop.StopTimer();
    return FOutcome;
}

void TCliSession::End(TCliOutcome::TKind kind, const std::string& message) {
    if (FEnded) return;  // the first ending counts
    FOutcome.Kind = kind;
    FOutcome.Message = message;
    FEnded = true;
}

std::int32_t TCliSession::Write(const std::string& bytes) {
    const std::int32_t sent = FLink.Write(bytes);
    FOutcome.BytesSent += static_cast<std::size_t>(std::max(sent, 0));
    return sent;
}

void TCliSession::ReplyComplete() {
    // As the window does: the step runs after the delivery has returned.
    FLoop.Post([this] {
        if (!FEnded) FEngine.HostReply();
    });
}

void TCliSession::LogToHost(const std::string& bytes) {
    FLog.AddData(TCommLog::ldToHost, bytes, Stamp());
}

void TCliSession::LogFromHost(const std::string& bytes) {
    FLog.AddData(TCommLog::ldFromHost, bytes, Stamp());
}

void TCliSession::LogLine(const std::string& text) {
    FLog.AddEndLine(text, Stamp());
}

void TCliSession::ShowStatus(const std::string&, int) {}

void TCliSession::ShowCountdown(std::int32_t seconds) {
    if (OnCountdown) OnCountdown(seconds);
}

void TCliSession::TimerRunning(bool running) {
    if (running)
        FLoop.StartTimer();
    else
        FLoop.StopTimer();
}

void TCliSession::Pause(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool TCliSession::StartFailed(const std::string& message) {
    LogLine(message);
    End(TCliOutcome::okNotStarted, message);
    return false;
}

void TCliSession::JobReceived(TJobData& job) {
    FOutcome.Job = job;
    End(TCliOutcome::okJob, {});
}

void TCliSession::JobStored() {
    End(TCliOutcome::okStored, "Job stored");
}

void TCliSession::Failed(const std::string& message, TFailure failure) {
    // The window's log gets the end line of every ending but a missing job.
    if (failure == fdShown) LogLine(message);
    FOutcome.Failure = failure;
    End(TCliOutcome::okFailed, message);
}

void TCliSession::TimedOut() {
    LogLine(TimeoutMessage);
    FEngine.Abandon();
    End(TCliOutcome::okTimeout, TimeoutMessage);
}

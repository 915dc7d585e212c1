#pragma once

// One conversation of the command line: the session (conversation/Session.h)
// over a link, driven by the command line's loop, with the countdown going
// to a terminal when there is one.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliLoop.h"
#include "conversation/Session.h"
#include "oma/HostReplies.h"

// How a conversation of the command line ended.
struct TCliOutcome {
    enum TKind {
        okJob,         // the job was read: Job
        okStored,      // the host confirmed the stored shape
        okNotStarted,  // the first packet could not be sent: Message
        okFailed,      // a step failed, or the host has no such job: Message
        okTimeout,     // the host did not answer in time
    } Kind = okFailed;
    std::string Message;
    TJobData Job;
    std::optional<TStoreSource> Upload;  // what went to the host (store)
    std::size_t BytesSent = 0;           // on the line, both ways
    std::size_t BytesReceived = 0;
    // okFailed: the STATUS record of the host's reply that ended it, if any.
    std::optional<THostStatus> HostStatus;
};

class TCliSession : private TSessionFace {
public:
    // Runs its conversations on Loop, which Hooks name as the ports' owner's thread.
    TCliSession(std::shared_ptr<TCliLoop> loop, const TComPortHooks& hooks, TComPort& serialPort,
                TSessionOptions options);
    ~TCliSession() override;
    TCliSession(const TCliSession&) = delete;
    TCliSession& operator=(const TCliSession&) = delete;

    // The countdown of the last nine seconds goes here (a terminal); empty: nowhere.
    std::function<void(std::int32_t seconds)> OnCountdown;
    // What the operator must know about the link (stderr).
    std::function<void(const std::string& text)> OnWarning;

    TSession& Session() { return FSession; }

    TCliOutcome Request(const TNameValueList& settings, const std::string& tray);
    TCliOutcome Store(const TNameValueList& settings, const std::string& tray, TStoreSource source,
                      double dbl);

private:
    TCliOutcome Run(const std::function<void()>& start);
    void End(TCliOutcome::TKind kind, const std::string& message);

    // TSessionFace
    void ReplyWaiting() override;
    void TimerRunning(bool running) override;
    void Pause(unsigned milliseconds) override;
    std::string Tray() override { return FTray; }
    TStoreSource StoreSource() override { return FSource; }
    double StoreDBL() override { return FDBL; }
    void ShowCountdown(std::int32_t seconds) override;
    void LinkWarning(const std::string& text) override {
        if (OnWarning) OnWarning(text);
    }
    void JobReceived(TJobData& job) override;
    void StoreUploading(const TStoreSource& upload) override { FOutcome.Upload = upload; }
    void JobStored() override;
    void Ended(const TSessionEnd& end) override;

    std::shared_ptr<TCliLoop> FLoop;
    TSession FSession;
    std::string FTray;
    TStoreSource FSource;
    double FDBL = 0;
    TCliOutcome FOutcome;
    bool FEnded = false;
};
